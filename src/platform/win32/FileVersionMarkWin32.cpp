#include "platform/FileIdentity.h"
#include "platform/FileVersionMark.h"
#include "platform/win32/Win32FileVersionMark.h"

namespace kest {

std::unique_ptr<FileVersionMark> makeFileVersionMark(const QString& recordDirectory) {
    return std::make_unique<win32::Win32FileVersionMark>(win32::systemWin32Calls(),
                                                         recordDirectory);
}

std::optional<FileIdentity> readFileIdentity(const QString& path) {
    return win32::systemWin32Calls().fileIdentity(win32::filesystemPath(path));
}

}  // namespace kest
