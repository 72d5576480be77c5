#include "platform/DurableFiles.h"
#include "platform/win32/Win32DurableFiles.h"

namespace kest::durable {

bool writeFile(const std::filesystem::path& file, const std::string& bytes, std::string* error) {
    return win32::writeDurably(win32::systemWin32Calls(), file, bytes, error);
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string* error) {
    return win32::replaceDurably(win32::systemWin32Calls(), from, to, error);
}

void syncDirectory(const std::filesystem::path&) {
    // Windows cannot flush a directory; the write-through move has made it durable.
}

struct SaveLock::Held {
    win32::Handle lock = win32::kNoHandle;
};

SaveLock::SaveLock(const std::filesystem::path& directory)
    : held_(
          std::make_unique<Held>(Held{win32::lockForSave(win32::systemWin32Calls(), directory)})) {}

SaveLock::~SaveLock() {
    // Closing the handle releases the lock.
    if (held_->lock != win32::kNoHandle) win32::systemWin32Calls().closeHandle(held_->lock);
}

}  // namespace kest::durable
