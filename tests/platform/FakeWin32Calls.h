#pragma once
// A stand-in for the kernel32 calls with just enough of Windows behind it to check the
// platform's Windows logic by its effect: files with attributes that a write sets to
// archive as Windows does, an identity that changes with every write, named mutexes,
// exclusive locks per handle, moves that a reader holding the target can refuse, a
// registry of string values, and standard streams with or without a console.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/Win32Calls.h"

namespace kest::win32::testing {

struct FakeFile {
    std::string bytes;
    std::uint32_t attributes = kAttrArchive;
    qint64 writes = 0;  // stands for the last write time
};

class FakeWin32Calls final : public Win32Calls {
  public:
    std::map<std::filesystem::path, FakeFile> files;
    std::map<Handle, std::wstring> mutexHandles;  // a name exists while a handle is open
    std::map<Handle, std::filesystem::path> fileHandles;
    std::map<std::filesystem::path, Handle> lockHolders;
    std::vector<unsigned> sleeps;
    std::uint32_t lastMoveFlags = 0;

    // Errors the next calls of one kind give, in order, before they work again.
    std::deque<ErrorCode> createMutexErrors, moveErrors, writeErrors, flushErrors;
    std::deque<ErrorCode> setAttributeErrors;
    // SetFileAttributes says yes but leaves the archive bit on, as Wine does.
    bool archiveBitSticks = false;
    // Registry string values by root and key, then name; a key is made by its first value.
    std::map<std::pair<RegistryRoot, std::wstring>, std::map<std::wstring, std::wstring>> registry;
    std::deque<ErrorCode> registryErrors;
    // Streams that whoever started us redirected; whether it has a console for us.
    std::set<StandardStream> redirected;
    bool parentHasConsole = true;
    bool attachedToConsole = false;
    std::vector<StandardStream> reopened;
    // Each WriteFile takes at most this many bytes.
    std::uint32_t writeChunk = 1u << 30;
    // Runs inside SetFileAttributes, after the change: a writer that comes just then.
    std::function<void()> afterSetAttributes;

    // A program writes the file (as a user's editor or a device logger would).
    void writeAsUser(const std::filesystem::path& file, const std::string& bytes);
    std::size_t openHandles() const { return mutexHandles.size() + fileHandles.size(); }

    ErrorCode createMutex(const std::wstring& name, Handle* mutex, bool* alreadyExisted) override;
    void closeHandle(Handle handle) override;
    ErrorCode fileAttributes(const std::filesystem::path& file, std::uint32_t* attributes) override;
    ErrorCode setFileAttributes(const std::filesystem::path& file,
                                std::uint32_t attributes) override;
    std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file) override;
    ErrorCode createForWriting(const std::filesystem::path& file, Handle* handle) override;
    ErrorCode openLockFile(const std::filesystem::path& file, Handle* handle) override;
    ErrorCode writeFile(Handle file, const char* bytes, std::uint32_t size,
                        std::uint32_t* written) override;
    ErrorCode flushFileBuffers(Handle file) override;
    ErrorCode lockFile(Handle file, bool wait) override;
    ErrorCode moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::uint32_t flags) override;
    ErrorCode deleteFile(const std::filesystem::path& file) override;
    ErrorCode registryStrings(RegistryRoot root, const std::wstring& key,
                              std::map<std::wstring, std::wstring>* values) override;
    ErrorCode setRegistryString(RegistryRoot root, const std::wstring& key,
                                const std::wstring& name, const std::wstring& value) override;
    ErrorCode deleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                  const std::wstring& name) override;
    bool standardStreamRedirected(StandardStream stream) override {
        return redirected.count(stream) > 0;
    }
    bool attachParentConsole() override { return attachedToConsole = parentHasConsole; }
    void reopenOnConsole(StandardStream stream) override { reopened.push_back(stream); }
    void sleepMs(unsigned milliseconds) override { sleeps.push_back(milliseconds); }
    std::string errorText(ErrorCode code) override { return "fake error " + std::to_string(code); }

  private:
    static ErrorCode take(std::deque<ErrorCode>& errors);
    Handle newHandle() { return ++lastHandle_; }
    Handle lastHandle_ = 100;
};

}  // namespace kest::win32::testing
