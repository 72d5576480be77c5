#include "platform/FileIdentity.h"

namespace kest {

QByteArray identityKey(const FileIdentity& v) {
    return QByteArray::number(v.device) + ' ' + QByteArray::number(v.inode) + ' ' +
           QByteArray::number(v.size) + ' ' + QByteArray::number(v.modifiedNs) + ' ' +
           QByteArray::number(v.changedNs);
}

}  // namespace kest
