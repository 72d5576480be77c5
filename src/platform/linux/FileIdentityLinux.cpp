#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "platform/FileIdentity.h"

namespace kest {

std::optional<FileIdentity> readFileIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    FileIdentity v;
    v.device = static_cast<qint64>(st.st_dev);
    v.inode = static_cast<qint64>(st.st_ino);
    v.size = static_cast<qint64>(st.st_size);
    v.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    v.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    v.regular = S_ISREG(st.st_mode);
    // The owner's write bit, not access(): root may write anything, yet a file its
    // user marked read-only must still be left alone.
    v.readOnly = (st.st_mode & S_IWUSR) == 0;
    v.hidden = QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
    return v;
}

}  // namespace kest
