#include "platform/win32/Win32DurableFiles.h"

#include <QDebug>
#include <QString>
#include <algorithm>
#include <limits>

#include "platform/DurableFiles.h"

namespace kest::win32 {

namespace {

bool fail(Win32Calls& calls, const char* what, const std::filesystem::path& file, ErrorCode code,
          std::string* error) {
    if (error)
        *error = std::string(what) + " " + durable::displayName(file) + ": " +
                 calls.errorText(code) + " (error " + std::to_string(code) + ")";
    return false;
}

bool isPassingHold(ErrorCode code) {
    return code == kErrorAccessDenied || code == kErrorSharingViolation ||
           code == kErrorLockViolation;
}

}  // namespace

bool writeDurably(Win32Calls& calls, const std::filesystem::path& file, const std::string& bytes,
                  std::string* error) {
    Handle handle = kNoHandle;
    if (const ErrorCode e = calls.createForWriting(file, &handle); e != kErrorSuccess)
        return fail(calls, "cannot create", file, e, error);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto chunk = static_cast<std::uint32_t>(
            std::min<std::size_t>(bytes.size() - done, std::numeric_limits<std::uint32_t>::max()));
        std::uint32_t written = 0;
        const ErrorCode e = calls.writeFile(handle, bytes.data() + done, chunk, &written);
        // A write that takes nothing without saying why would loop for ever.
        if (e != kErrorSuccess || written == 0) {
            calls.closeHandle(handle);
            return fail(calls, "cannot write", file, e, error);
        }
        done += written;
    }
    const ErrorCode flushed = calls.flushFileBuffers(handle);
    calls.closeHandle(handle);
    if (flushed != kErrorSuccess)
        return fail(calls, "cannot flush to the disk", file, flushed, error);
    return true;
}

bool replaceDurably(Win32Calls& calls, const std::filesystem::path& from,
                    const std::filesystem::path& to, std::string* error) {
    ErrorCode e = kErrorSuccess;
    for (int attempt = 1; attempt <= kReplaceAttempts; ++attempt) {
        e = calls.moveFile(from, to, kMoveReplaceExisting | kMoveWriteThrough);
        if (e == kErrorSuccess) return true;
        if (!isPassingHold(e)) break;
        if (attempt < kReplaceAttempts) calls.sleepMs(kReplaceRetryMs);
    }
    return fail(calls, "cannot replace", to, e, error);
}

Handle lockForSave(Win32Calls& calls, const std::filesystem::path& directory) {
    const auto lockFile = directory / ".save.lock";
    Handle handle = kNoHandle;
    // e.g. the directory is missing: the save itself will say so
    if (calls.openLockFile(lockFile, &handle) != kErrorSuccess) return kNoHandle;
    if (const ErrorCode e = calls.lockFile(handle, true); e != kErrorSuccess) {
        qWarning() << "cannot lock" << QString::fromStdU16String(lockFile.u16string())
                   << "for the save:" << QString::fromStdString(calls.errorText(e));
        calls.closeHandle(handle);
        return kNoHandle;
    }
    return handle;
}

}  // namespace kest::win32
