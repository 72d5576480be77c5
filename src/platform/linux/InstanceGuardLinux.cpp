#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/DosPaths.h"
#include "platform/InstanceGuard.h"

namespace kest {

namespace {

QString pathHash(const QString& path) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha1).toHex());
}

}  // namespace

struct InstanceGuard::Held {
    int fd = -1;
    ~Held() {
        if (fd >= 0) ::close(fd);
    }
};

InstanceGuard::InstanceGuard(QString key) : key_(std::move(key)), held_(std::make_unique<Held>()) {}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::instanceKey(const QString& configDirectory) {
    return dos::baseDirectory() + QStringLiteral("/instances/") + pathHash(configDirectory) +
           QStringLiteral(".lock");
}

QString InstanceGuard::channelName() const {
    // Short: a socket path has room for about a hundred bytes.
    return QStringLiteral("kest-redirect-") + pathHash(key_).left(24);
}

bool InstanceGuard::enter(bool unnamed) {
    QDir().mkpath(QFileInfo(key_).absolutePath());
    const QByteArray path = QFile::encodeName(key_);
    int& fd = held_->fd;
    fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        // Without the lock file nothing can be told about other copies; running is
        // the useful choice, and the developer learns why the rule did not apply.
        qWarning() << "instance lock" << key_ << "cannot be opened:" << std::strerror(errno);
        return true;
    }
    if (unnamed && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return false;
        qWarning() << "instance lock" << key_ << "failed:" << std::strerror(errno);
    }
    // Keep a shared lock for the rest of the run (an exclusive one becomes shared).
    while (::flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace kest
