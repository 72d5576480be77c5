// Linux has no archive attribute. Each watched file gets a record in the mark
// directory holding the identity of its last processed version, named after a hash of
// the file's path; the claim is an exclusive flock on a lock file named after the
// directory that holds the watched file, since the working files of every file in
// that directory lie beside each other. The lock goes with the process, however it
// ends, so a killed copy never blocks the others.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "platform/DosPaths.h"
#include "platform/FileVersionMark.h"

namespace kest {

namespace {

QString hashName(const QString& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// One name for one file however it is written: relative, with "..", or through a link.
QString canonical(const QString& path) {
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
}

class LinuxClaim : public FileVersionMark::Claim {
  public:
    LinuxClaim(int lockFd, QString recordPath)
        : lockFd_(lockFd), recordPath_(std::move(recordPath)) {}
    ~LinuxClaim() override { ::close(lockFd_); }

    bool isProcessed(const QByteArray& version) const override {
        QFile record(recordPath_);
        if (!record.open(QIODevice::ReadOnly)) return false;
        return record.readAll() == version;
    }

    bool markProcessed(const QByteArray& version, QString* error) override {
        // Written whole or not at all: a copy killed here leaves the old record.
        QSaveFile record(recordPath_);
        if (record.open(QIODevice::WriteOnly) && record.write(version) == version.size() &&
            record.commit())
            return true;
        if (error)
            *error = QStringLiteral("cannot store ") + recordPath_ + ": " + record.errorString();
        return false;
    }

  private:
    int lockFd_;
    QString recordPath_;
};

class LinuxFileVersionMark : public FileVersionMark {
  public:
    explicit LinuxFileVersionMark(QString directory) : directory_(std::move(directory)) {}

    std::unique_ptr<Claim> tryClaim(const QString& watchedPath, QString* error) override {
        if (!QDir().mkpath(directory_)) {
            if (error) *error = QStringLiteral("cannot create ") + directory_;
            return nullptr;
        }
        const QString file = canonical(watchedPath);
        const QString lockPath =
            directory_ + '/' + hashName(QFileInfo(file).absolutePath()) + QStringLiteral(".lock");
        const int fd =
            ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (error)
                *error = QStringLiteral("cannot open ") + lockPath + ": " + std::strerror(errno);
            return nullptr;
        }
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (locked != 0) {
            const int why = errno;
            ::close(fd);
            if (why != EWOULDBLOCK && error)
                *error = QStringLiteral("cannot lock ") + lockPath + ": " + std::strerror(why);
            return nullptr;
        }
        return std::make_unique<LinuxClaim>(
            fd, directory_ + '/' + hashName(file) + QStringLiteral(".mark"));
    }

  private:
    QString directory_;
};

}  // namespace

std::unique_ptr<FileVersionMark> makeFileVersionMark(const QString& recordDirectory) {
    return std::make_unique<LinuxFileVersionMark>(recordDirectory);
}

QString defaultFileMarkDirectory() {
    return dos::baseDirectory() + QStringLiteral("/file-marks");
}

}  // namespace kest
