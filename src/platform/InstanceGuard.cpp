#include "platform/InstanceGuard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/DosPaths.h"

namespace kest {

InstanceGuard::InstanceGuard(QString lockFile) : lockFile_(std::move(lockFile)) {}

InstanceGuard::~InstanceGuard() {
    if (fd_ >= 0) ::close(fd_);
}

QString InstanceGuard::defaultLockFile() {
    return dos::baseDirectory() + QStringLiteral("/instances.lock");
}

bool InstanceGuard::enter(bool unnamed) {
    QDir().mkpath(QFileInfo(lockFile_).absolutePath());
    const QByteArray path = QFile::encodeName(lockFile_);
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        // Without the lock file nothing can be told about other copies; running is
        // the useful choice, and the developer learns why the rule did not apply.
        qWarning() << "instance lock" << lockFile_ << "cannot be opened:" << std::strerror(errno);
        return true;
    }
    if (unnamed && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return false;
        qWarning() << "instance lock" << lockFile_ << "failed:" << std::strerror(errno);
    }
    // Keep a shared lock for the rest of the run (an exclusive one becomes shared).
    while (::flock(fd_, LOCK_SH) != 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace kest
