// The real kernel32 calls behind Win32Calls. Only the Windows build compiles this file.

#include <windows.h>

#include <QString>
#include <cstdio>

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

namespace {

HANDLE toNative(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

Handle fromNative(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return kNoHandle;
    return reinterpret_cast<Handle>(handle);
}

HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

DWORD stdHandleOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input:
            return STD_INPUT_HANDLE;
        case StandardStream::Output:
            return STD_OUTPUT_HANDLE;
        default:
            return STD_ERROR_HANDLE;
    }
}

ErrorCode lastErrorOr(bool ok) {
    return ok ? kErrorSuccess : static_cast<ErrorCode>(GetLastError());
}

// FILETIME counts 100 ns steps from 1601; FileIdentity counts nanoseconds from 1970.
qint64 unixNanoseconds(const FILETIME& time) {
    constexpr qint64 kEpochDifference = 116444736000000000LL;
    const qint64 ticks = (qint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kEpochDifference) * 100;
}

ErrorCode openFile(const std::filesystem::path& file, DWORD access, DWORD share, DWORD disposition,
                   Handle* handle) {
    *handle = fromNative(CreateFileW(file.c_str(), access, share, nullptr, disposition,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return lastErrorOr(*handle != kNoHandle);
}

class SystemWin32Calls : public Win32Calls {
  public:
    ErrorCode createMutex(const std::wstring& name, Handle* mutex, bool* alreadyExisted) override {
        SetLastError(ERROR_SUCCESS);
        *mutex = fromNative(CreateMutexW(nullptr, FALSE, name.c_str()));
        const DWORD error = GetLastError();
        *alreadyExisted = *mutex != kNoHandle && error == ERROR_ALREADY_EXISTS;
        return *mutex != kNoHandle ? kErrorSuccess : static_cast<ErrorCode>(error);
    }

    void closeHandle(Handle handle) override {
        if (handle != kNoHandle) CloseHandle(toNative(handle));
    }

    ErrorCode fileAttributes(const std::filesystem::path& file,
                             std::uint32_t* attributes) override {
        const DWORD value = GetFileAttributesW(file.c_str());
        if (value == INVALID_FILE_ATTRIBUTES) return static_cast<ErrorCode>(GetLastError());
        *attributes = value;
        return kErrorSuccess;
    }

    ErrorCode setFileAttributes(const std::filesystem::path& file,
                                std::uint32_t attributes) override {
        return lastErrorOr(SetFileAttributesW(file.c_str(), attributes));
    }

    std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file) override {
        // No access and every sharing: looking must not get in a writer's way. Backup
        // semantics lets a directory open too, so that it is told apart, not missed.
        const HANDLE handle =
            CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = GetFileInformationByHandle(handle, &info);
        const DWORD type = GetFileType(handle);
        CloseHandle(handle);
        if (!ok) return std::nullopt;
        FileIdentity v;
        v.device = info.dwVolumeSerialNumber;
        v.inode = (qint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        v.size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        v.modifiedNs = unixNanoseconds(info.ftLastWriteTime);
        const DWORD attributes = info.dwFileAttributes;
        v.regular = type == FILE_TYPE_DISK &&
                    (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
        v.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        v.hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        return v;
    }

    ErrorCode createForWriting(const std::filesystem::path& file, Handle* handle) override {
        return openFile(file, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, handle);
    }

    ErrorCode openLockFile(const std::filesystem::path& file, Handle* handle) override {
        return openFile(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        OPEN_ALWAYS, handle);
    }

    ErrorCode writeFile(Handle file, const char* bytes, std::uint32_t size,
                        std::uint32_t* written) override {
        DWORD done = 0;
        const bool ok = WriteFile(toNative(file), bytes, size, &done, nullptr);
        *written = done;
        return lastErrorOr(ok);
    }

    ErrorCode flushFileBuffers(Handle file) override {
        return lastErrorOr(FlushFileBuffers(toNative(file)));
    }

    ErrorCode lockFile(Handle file, bool wait) override {
        OVERLAPPED where{};
        const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
        return lastErrorOr(LockFileEx(toNative(file), flags, 0, 1, 0, &where));
    }

    ErrorCode moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                       std::uint32_t flags) override {
        return lastErrorOr(MoveFileExW(from.c_str(), to.c_str(), flags));
    }

    ErrorCode deleteFile(const std::filesystem::path& file) override {
        return lastErrorOr(DeleteFileW(file.c_str()));
    }

    ErrorCode registryStrings(RegistryRoot root, const std::wstring& key,
                              std::map<std::wstring, std::wstring>* values) override {
        HKEY handle = nullptr;
        const LSTATUS opened = RegOpenKeyExW(rootKey(root), key.c_str(), 0, KEY_READ, &handle);
        if (opened != ERROR_SUCCESS) return static_cast<ErrorCode>(opened);
        LSTATUS status = ERROR_SUCCESS;
        for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
            wchar_t name[256];
            DWORD nameLength = 256;
            DWORD type = 0;
            BYTE data[1024];
            DWORD dataSize = sizeof data - sizeof(wchar_t);
            status = RegEnumValueW(handle, i, name, &nameLength, nullptr, &type, data, &dataSize);
            if (status == ERROR_MORE_DATA) {
                status = ERROR_SUCCESS;  // a value too long for anything we look for
                continue;
            }
            if (status != ERROR_SUCCESS || type != REG_SZ) continue;
            const auto* text = reinterpret_cast<const wchar_t*>(data);
            std::wstring value(text, dataSize / sizeof(wchar_t));
            while (!value.empty() && value.back() == L'\0') value.pop_back();
            (*values)[std::wstring(name, nameLength)] = value;
        }
        RegCloseKey(handle);
        return status == ERROR_NO_MORE_ITEMS ? kErrorSuccess : static_cast<ErrorCode>(status);
    }

    ErrorCode setRegistryString(RegistryRoot root, const std::wstring& key,
                                const std::wstring& name, const std::wstring& value) override {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return static_cast<ErrorCode>(RegSetKeyValueW(rootKey(root), key.c_str(), name.c_str(),
                                                      REG_SZ, value.c_str(), bytes));
    }

    ErrorCode deleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                  const std::wstring& name) override {
        return static_cast<ErrorCode>(RegDeleteKeyValueW(rootKey(root), key.c_str(), name.c_str()));
    }

    bool standardStreamRedirected(StandardStream stream) override {
        const HANDLE handle = GetStdHandle(stdHandleOf(stream));
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
        const DWORD type = GetFileType(handle);
        return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
    }

    bool attachParentConsole() override { return AttachConsole(ATTACH_PARENT_PROCESS); }

    void reopenOnConsole(StandardStream stream) override {
        FILE* file = stream == StandardStream::Input    ? stdin
                     : stream == StandardStream::Output ? stdout
                                                        : stderr;
        const wchar_t* device = stream == StandardStream::Input ? L"CONIN$" : L"CONOUT$";
        const wchar_t* mode = stream == StandardStream::Input ? L"r" : L"w";
        if (_wfreopen(device, mode, file)) setvbuf(file, nullptr, _IONBF, 0);
    }

    void sleepMs(unsigned milliseconds) override { Sleep(milliseconds); }

    std::string errorText(ErrorCode code) override {
        wchar_t* text = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                                 : QStringLiteral("Windows error");
        if (text) LocalFree(text);
        return message.toStdString();
    }
};

}  // namespace

Win32Calls& systemWin32Calls() {
    static SystemWin32Calls calls;
    return calls;
}

}  // namespace kest::win32
