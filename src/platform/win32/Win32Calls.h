#pragma once
// The kernel32 calls that the platform services make on Windows, behind one interface.
// The logic that decides which calls to make includes no Windows header, so it builds
// and is tested everywhere against a fake; the real calls live in SystemWin32Calls.cpp,
// which only the Windows build compiles. Every call that can fail returns the Windows
// error code (GetLastError), 0 for success.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileIdentity.h"

namespace kest::win32 {

using Handle = std::uintptr_t;  // HANDLE; kNoHandle stands for NULL and INVALID_HANDLE_VALUE
constexpr Handle kNoHandle = 0;
using ErrorCode = std::uint32_t;

// GetFileAttributesW / SetFileAttributesW
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;

// MoveFileExW
constexpr std::uint32_t kMoveReplaceExisting = 0x1;
constexpr std::uint32_t kMoveWriteThrough = 0x8;

// GetLastError values the logic tells apart.
constexpr ErrorCode kErrorSuccess = 0;
constexpr ErrorCode kErrorFileNotFound = 2;
constexpr ErrorCode kErrorAccessDenied = 5;
constexpr ErrorCode kErrorSharingViolation = 32;
constexpr ErrorCode kErrorLockViolation = 33;
constexpr ErrorCode kErrorAlreadyExists = 183;

enum class RegistryRoot { CurrentUser, LocalMachine };

// The standard streams, as GetStdHandle numbers them from 0.
enum class StandardStream { Input, Output, Error };

class Win32Calls {
  public:
    virtual ~Win32Calls() = default;

    // CreateMutexW(nullptr, FALSE, name): the handle, and whether a mutex of that name
    // existed already (ERROR_ALREADY_EXISTS with a valid handle).
    virtual ErrorCode createMutex(const std::wstring& name, Handle* mutex,
                                  bool* alreadyExisted) = 0;
    virtual void closeHandle(Handle handle) = 0;

    // GetFileAttributesW
    virtual ErrorCode fileAttributes(const std::filesystem::path& file,
                                     std::uint32_t* attributes) = 0;
    // SetFileAttributesW
    virtual ErrorCode setFileAttributes(const std::filesystem::path& file,
                                        std::uint32_t attributes) = 0;
    // GetFileInformationByHandle on the file opened for no access at all, so that a
    // writer holding it open is not disturbed.
    virtual std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file) = 0;

    // CreateFileW for writing, CREATE_ALWAYS, shared for reading only.
    virtual ErrorCode createForWriting(const std::filesystem::path& file, Handle* handle) = 0;
    // CreateFileW for reading and writing, OPEN_ALWAYS, shared for reading and writing:
    // a file that exists only to be locked.
    virtual ErrorCode openLockFile(const std::filesystem::path& file, Handle* handle) = 0;
    // WriteFile; written tells how much went in, which may be less than asked.
    virtual ErrorCode writeFile(Handle file, const char* bytes, std::uint32_t size,
                                std::uint32_t* written) = 0;
    virtual ErrorCode flushFileBuffers(Handle file) = 0;
    // LockFileEx, exclusive, on the file's first byte; without wait it fails at once
    // with ERROR_LOCK_VIOLATION when another handle holds the lock.
    virtual ErrorCode lockFile(Handle file, bool wait) = 0;
    // MoveFileExW
    virtual ErrorCode moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::uint32_t flags) = 0;
    // DeleteFileW
    virtual ErrorCode deleteFile(const std::filesystem::path& file) = 0;

    // Every string value of a registry key, by name (RegOpenKeyExW, RegEnumValueW).
    virtual ErrorCode registryStrings(RegistryRoot root, const std::wstring& key,
                                      std::map<std::wstring, std::wstring>* values) = 0;
    // RegSetKeyValueW with a REG_SZ, the key made when it is missing.
    virtual ErrorCode setRegistryString(RegistryRoot root, const std::wstring& key,
                                        const std::wstring& name, const std::wstring& value) = 0;
    // RegDeleteKeyValueW
    virtual ErrorCode deleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                          const std::wstring& name) = 0;

    // GetFileType(GetStdHandle(stream)) is a file or a pipe: whoever started us sent
    // the stream there.
    virtual bool standardStreamRedirected(StandardStream stream) = 0;
    // AttachConsole(ATTACH_PARENT_PROCESS): false when the parent has no console.
    virtual bool attachParentConsole() = 0;
    // Points the C stream (stdin, stdout, stderr) at the attached console.
    virtual void reopenOnConsole(StandardStream stream) = 0;

    virtual void sleepMs(unsigned milliseconds) = 0;  // Sleep
    // FormatMessageW, for the log.
    virtual std::string errorText(ErrorCode code) = 0;
};

// The real calls. Exists only in the Windows build.
Win32Calls& systemWin32Calls();

}  // namespace kest::win32
