#include "platform/win32/Win32FileVersionMark.h"

#include <QDir>

#include "platform/MarkRecords.h"

namespace kest::win32 {

namespace {

// The attributes of the DOS days, the ones a user sets to keep a file away; newer
// ones (not content indexed, compressed, ...) say nothing about the file's version.
constexpr std::uint32_t kDecidingAttributes =
    kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive;

QString describe(Win32Calls& calls, ErrorCode code) {
    return QString::fromStdString(calls.errorText(code)) + QStringLiteral(" (error ") +
           QString::number(code) + QLatin1Char(')');
}

class Win32Claim : public FileVersionMark::Claim {
  public:
    Win32Claim(Win32Calls& calls, Handle lock, QString file, QString recordPath)
        : calls_(calls), lock_(lock), file_(std::move(file)), recordPath_(std::move(recordPath)) {}
    ~Win32Claim() override { calls_.closeHandle(lock_); }

    bool isProcessed(const QByteArray& version) const override {
        std::uint32_t attributes = 0;
        // A file that cannot be looked at now is left for a later tick.
        if (calls_.fileAttributes(filesystemPath(file_), &attributes) != kErrorSuccess) return true;
        if (!isWaitingForProcessing(attributes)) return true;
        return marks::recordHolds(recordPath_, version);
    }

    bool markProcessed(const QByteArray& version, QString* error) override;

  private:
    bool versionIsCurrent(const QByteArray& version) const {
        const auto now = calls_.fileIdentity(filesystemPath(file_));
        return now && identityKey(*now) == version;
    }
    bool fail(const QString& what, ErrorCode code, QString* error) const {
        if (error) *error = what + file_ + QStringLiteral(": ") + describe(calls_, code);
        return false;
    }

    Win32Calls& calls_;
    Handle lock_;
    QString file_;
    QString recordPath_;
};

bool Win32Claim::markProcessed(const QByteArray& version, QString* error) {
    const auto path = filesystemPath(file_);
    std::uint32_t before = 0;
    if (const ErrorCode e = calls_.fileAttributes(path, &before); e != kErrorSuccess)
        return fail(QStringLiteral("cannot read the attributes of "), e, error);
    const std::uint32_t cleared = before & ~kAttrArchive;
    if (const ErrorCode e = calls_.setFileAttributes(path, cleared ? cleared : kAttrNormal);
        e != kErrorSuccess)
        return fail(QStringLiteral("cannot clear the archive attribute of "), e, error);
    if (!versionIsCurrent(version)) {
        // Written after the version was taken: the bit belongs to the newer version.
        if (const ErrorCode e = calls_.setFileAttributes(path, before | kAttrArchive);
            e != kErrorSuccess)
            return fail(QStringLiteral("cannot set the archive attribute again on "), e, error);
        return true;
    }
    std::uint32_t after = 0;
    if (calls_.fileAttributes(path, &after) == kErrorSuccess && (after & kAttrArchive))
        return marks::storeRecord(recordPath_, version, error);
    return true;
}

}  // namespace

bool isWaitingForProcessing(std::uint32_t attributes) {
    return (attributes & kDecidingAttributes) == kAttrArchive;
}

std::filesystem::path filesystemPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

std::unique_ptr<FileVersionMark::Claim> Win32FileVersionMark::tryClaim(const QString& watchedPath,
                                                                       QString* error) {
    if (!QDir().mkpath(directory_)) {
        if (error) *error = QStringLiteral("cannot create ") + directory_;
        return nullptr;
    }
    // One file whatever the letter case it is named in.
    const QString file = marks::canonicalPath(watchedPath);
    const QString folded = file.toLower();
    const QString lockPath = marks::claimLockPath(directory_, folded);
    Handle lock = kNoHandle;
    if (const ErrorCode e = calls_.openLockFile(filesystemPath(lockPath), &lock);
        e != kErrorSuccess) {
        if (error) *error = QStringLiteral("cannot open ") + lockPath + ": " + describe(calls_, e);
        return nullptr;
    }
    if (const ErrorCode e = calls_.lockFile(lock, false); e != kErrorSuccess) {
        calls_.closeHandle(lock);
        if (e != kErrorLockViolation && error)
            *error = QStringLiteral("cannot lock ") + lockPath + ": " + describe(calls_, e);
        return nullptr;
    }
    return std::make_unique<Win32Claim>(calls_, lock, file, marks::recordPath(directory_, folded));
}

}  // namespace kest::win32
