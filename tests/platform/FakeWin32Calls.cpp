#include "FakeWin32Calls.h"

#include <algorithm>
#include <utility>

namespace kest::win32::testing {

ErrorCode FakeWin32Calls::take(std::deque<ErrorCode>& errors) {
    if (errors.empty()) return kErrorSuccess;
    const ErrorCode e = errors.front();
    errors.pop_front();
    return e;
}

void FakeWin32Calls::writeAsUser(const std::filesystem::path& file, const std::string& bytes) {
    FakeFile& f = files[file];
    f.bytes = bytes;
    ++f.writes;
    f.attributes |= kAttrArchive;
    f.attributes &= ~kAttrNormal;
}

ErrorCode FakeWin32Calls::createMutex(const std::wstring& name, Handle* mutex,
                                      bool* alreadyExisted) {
    *mutex = kNoHandle;
    *alreadyExisted = false;
    if (const ErrorCode e = take(createMutexErrors)) return e;
    *alreadyExisted = std::any_of(mutexHandles.begin(), mutexHandles.end(),
                                  [&](const auto& h) { return h.second == name; });
    *mutex = newHandle();
    mutexHandles[*mutex] = name;
    return kErrorSuccess;
}

void FakeWin32Calls::closeHandle(Handle handle) {
    mutexHandles.erase(handle);
    if (auto f = fileHandles.find(handle); f != fileHandles.end()) {
        if (auto l = lockHolders.find(f->second); l != lockHolders.end() && l->second == handle)
            lockHolders.erase(l);
        fileHandles.erase(f);
    }
}

ErrorCode FakeWin32Calls::fileAttributes(const std::filesystem::path& file,
                                         std::uint32_t* attributes) {
    const auto f = files.find(file);
    if (f == files.end()) return kErrorFileNotFound;
    *attributes = f->second.attributes;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::setFileAttributes(const std::filesystem::path& file,
                                            std::uint32_t attributes) {
    if (const ErrorCode e = take(setAttributeErrors)) return e;
    const auto f = files.find(file);
    if (f == files.end()) return kErrorFileNotFound;
    const bool keepArchive = archiveBitSticks && (f->second.attributes & kAttrArchive);
    f->second.attributes = attributes | (keepArchive ? kAttrArchive : 0);
    if (afterSetAttributes) std::exchange(afterSetAttributes, nullptr)();
    return kErrorSuccess;
}

std::optional<FileIdentity> FakeWin32Calls::fileIdentity(const std::filesystem::path& file) {
    const auto f = files.find(file);
    if (f == files.end()) return std::nullopt;
    FileIdentity v;
    v.device = 7;
    v.inode = 1;  // one file per test reads its identity
    v.size = static_cast<qint64>(f->second.bytes.size());
    v.modifiedNs = f->second.writes;
    v.regular = (f->second.attributes & kAttrDirectory) == 0;
    v.readOnly = (f->second.attributes & kAttrReadOnly) != 0;
    v.hidden = (f->second.attributes & (kAttrHidden | kAttrSystem)) != 0;
    return v;
}

ErrorCode FakeWin32Calls::createForWriting(const std::filesystem::path& file, Handle* handle) {
    writeAsUser(file, {});
    return openLockFile(file, handle);
}

ErrorCode FakeWin32Calls::openLockFile(const std::filesystem::path& file, Handle* handle) {
    if (!files.count(file)) writeAsUser(file, {});
    *handle = newHandle();
    fileHandles[*handle] = file;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::writeFile(Handle file, const char* bytes, std::uint32_t size,
                                    std::uint32_t* written) {
    *written = 0;
    if (const ErrorCode e = take(writeErrors)) return e;
    const std::uint32_t n = std::min(size, writeChunk);
    FakeFile& f = files[fileHandles.at(file)];
    f.bytes.append(bytes, n);
    *written = n;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::flushFileBuffers(Handle file) {
    if (!fileHandles.count(file)) return 6;  // ERROR_INVALID_HANDLE
    return take(flushErrors);
}

ErrorCode FakeWin32Calls::lockFile(Handle file, bool /*wait*/) {
    const auto& path = fileHandles.at(file);
    const auto holder = lockHolders.find(path);
    // A real waiting lock would block for ever here: a test that waits has a fault.
    if (holder != lockHolders.end() && holder->second != file) return kErrorLockViolation;
    lockHolders[path] = file;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::moveFile(const std::filesystem::path& from,
                                   const std::filesystem::path& to, std::uint32_t flags) {
    lastMoveFlags = flags;
    if (const ErrorCode e = take(moveErrors)) return e;
    const auto source = files.find(from);
    if (source == files.end()) return kErrorFileNotFound;
    if (files.count(to) && !(flags & kMoveReplaceExisting)) return kErrorAlreadyExists;
    FakeFile moved = source->second;
    files.erase(source);
    files[to] = moved;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::deleteFile(const std::filesystem::path& file) {
    return files.erase(file) ? kErrorSuccess : kErrorFileNotFound;
}

ErrorCode FakeWin32Calls::registryStrings(RegistryRoot root, const std::wstring& key,
                                          std::map<std::wstring, std::wstring>* values) {
    if (const ErrorCode e = take(registryErrors)) return e;
    const auto found = registry.find({root, key});
    if (found == registry.end()) return kErrorFileNotFound;
    for (const auto& [name, value] : found->second) (*values)[name] = value;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::setRegistryString(RegistryRoot root, const std::wstring& key,
                                            const std::wstring& name, const std::wstring& value) {
    if (const ErrorCode e = take(registryErrors)) return e;
    registry[{root, key}][name] = value;
    return kErrorSuccess;
}

ErrorCode FakeWin32Calls::deleteRegistryValue(RegistryRoot root, const std::wstring& key,
                                              const std::wstring& name) {
    if (const ErrorCode e = take(registryErrors)) return e;
    const auto found = registry.find({root, key});
    return found != registry.end() && found->second.erase(name) ? kErrorSuccess
                                                                : kErrorFileNotFound;
}

}  // namespace kest::win32::testing
