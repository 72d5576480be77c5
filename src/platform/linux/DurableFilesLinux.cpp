#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDebug>
#include <cerrno>
#include <cstring>

#include "platform/DurableFiles.h"

namespace kest::durable {

namespace {

bool fail(const char* what, const std::filesystem::path& file, int code, std::string* error) {
    if (error) *error = std::string(what) + " " + displayName(file) + ": " + std::strerror(code);
    return false;
}

}  // namespace

bool writeFile(const std::filesystem::path& file, const std::string& bytes, std::string* error) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail("cannot create", file, errno, error);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int why = n < 0 ? errno : EIO;
            ::close(fd);
            return fail("cannot write", file, why, error);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int why = errno;
        ::close(fd);
        return fail("cannot flush to the disk", file, why, error);
    }
    if (::close(fd) != 0) return fail("cannot close", file, errno, error);
    return true;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string* error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    return fail("cannot rename", from, errno, error);
}

void syncDirectory(const std::filesystem::path& directory) {
    // The renames become durable with the directory; a failure here leaves whole files.
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    if (::fsync(fd) != 0) qDebug() << "cannot sync" << directory.c_str();
    ::close(fd);
}

struct SaveLock::Held {
    int fd = -1;
};

SaveLock::SaveLock(const std::filesystem::path& directory) : held_(std::make_unique<Held>()) {
    const auto lockFile = directory / ".save.lock";
    held_->fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (held_->fd < 0) return;  // e.g. the directory is missing: the save itself will say so
    while (::flock(held_->fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            qWarning() << "cannot lock" << lockFile.c_str() << "for the save";
            break;
        }
    }
}

SaveLock::~SaveLock() {
    if (held_->fd >= 0) ::close(held_->fd);  // closing releases the lock
}

}  // namespace kest::durable
