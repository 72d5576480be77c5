#pragma once
// The steps of a crash-safe save, each done the platform's own way, so that a power
// loss at any moment leaves either the old or the new file whole:
//
//                 Linux                         Windows
//   write         write, fsync                  WriteFile, FlushFileBuffers
//   replace       rename                        MoveFileExW, replacing, write-through
//   directory     fsync of the directory        (done by the write-through move)
//   save lock     flock on <dir>/.save.lock     LockFileEx on <dir>/.save.lock
//
// Failures come back as a message fit for the log; nothing here throws.

#include <filesystem>
#include <memory>
#include <string>

namespace kest::durable {

// Creates or truncates the file, writes the bytes and has them on the disk.
bool writeFile(const std::filesystem::path& file, const std::string& bytes, std::string* error);

// Renames from over to in one step: to is either its old or its new self.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string* error);

// Makes the renames in the directory durable; best effort.
void syncDirectory(const std::filesystem::path& directory);

// Two copies of one instance share a directory; holding this around a save keeps
// their saves apart. It waits for the other copy's save. Best effort: when the lock
// file cannot be made (a missing directory, say), the save goes on and says itself
// what is wrong.
class SaveLock {
  public:
    explicit SaveLock(const std::filesystem::path& directory);
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

  private:
    struct Held;
    std::unique_ptr<Held> held_;
};

// The path as text for messages (UTF-8), whatever the platform's narrow code page.
std::string displayName(const std::filesystem::path& path);

}  // namespace kest::durable
