#pragma once
// The file-version mark on Windows: the watched file's archive attribute. Windows sets
// it at every write; a version whose attributes, among read-only, hidden, system,
// directory and archive, are exactly archive has not been processed yet, and marking
// it processed clears the archive bit (the file's other attributes stay as they are).
//
// A write may come between the copy of a version and the mark: the mark then checks
// the file's identity after clearing the bit and sets the bit again when the file is
// no longer the version that was copied, so that the newer version is taken at the
// next tick instead of being lost. Where the file system does not keep the cleared
// bit (Wine's, some network shares), the version is recorded in the mark directory
// as on Linux, so that it is still processed only once.
//
// The claim is LockFileEx on a lock file in the mark directory, one per directory of
// watched files; the lock goes with the process, however it ends.

#include <QString>

#include "platform/FileVersionMark.h"
#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

class Win32FileVersionMark : public FileVersionMark {
  public:
    Win32FileVersionMark(Win32Calls& calls, QString recordDirectory)
        : calls_(calls), directory_(std::move(recordDirectory)) {}

    std::unique_ptr<Claim> tryClaim(const QString& watchedPath, QString* error) override;

  private:
    Win32Calls& calls_;
    QString directory_;
};

// The attributes that decide whether a file is waiting to be processed.
bool isWaitingForProcessing(std::uint32_t attributes);

// The path as the Windows calls take it.
std::filesystem::path filesystemPath(const QString& path);

}  // namespace kest::win32
