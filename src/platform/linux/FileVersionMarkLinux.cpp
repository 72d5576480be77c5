// Linux has no archive attribute. Each watched file gets a record in the mark
// directory holding the identity of its last processed version; the claim is an
// exclusive flock on the lock file of the directory that holds the watched file. The
// lock goes with the process, however it ends, so a killed copy never blocks the others.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/DosPaths.h"
#include "platform/FileVersionMark.h"
#include "platform/MarkRecords.h"

namespace kest {

namespace {

class LinuxClaim : public FileVersionMark::Claim {
  public:
    LinuxClaim(int lockFd, QString recordPath)
        : lockFd_(lockFd), recordPath_(std::move(recordPath)) {}
    ~LinuxClaim() override { ::close(lockFd_); }

    bool isProcessed(const QByteArray& version) const override {
        return marks::recordHolds(recordPath_, version);
    }

    bool markProcessed(const QByteArray& version, QString* error) override {
        return marks::storeRecord(recordPath_, version, error);
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
        const QString file = marks::canonicalPath(watchedPath);
        const QString lockPath = marks::claimLockPath(directory_, file);
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
        return std::make_unique<LinuxClaim>(fd, marks::recordPath(directory_, file));
    }

  private:
    QString directory_;
};

}  // namespace

std::unique_ptr<FileVersionMark> makeFileVersionMark(const QString& recordDirectory) {
    return std::make_unique<LinuxFileVersionMark>(recordDirectory);
}

}  // namespace kest
