#include "platform/FileVersionMark.h"

#include "platform/DosPaths.h"

namespace kest {

QString defaultFileMarkDirectory() {
    return dos::baseDirectory() + QStringLiteral("/file-marks");
}

}  // namespace kest
