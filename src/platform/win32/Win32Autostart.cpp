#include "platform/win32/Win32Autostart.h"

#include <stdexcept>

namespace kest::win32 {

namespace {

[[noreturn]] void refused(const char* what, ErrorCode code, Win32Calls& calls) {
    throw std::runtime_error(std::string("cannot ") + what + " HKEY_CURRENT_USER\\" +
                             QString::fromWCharArray(kRunKey).toStdString() + ": " +
                             calls.errorText(code));
}

}  // namespace

std::wstring autostartValueName(const QString& instanceSuffix) {
    return (QStringLiteral("Kest Redirect") + instanceSuffix).toStdWString();
}

std::wstring quotedArgument(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as themselves unless a quote follows them.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    // The closing quote follows: the backslashes before it are doubled too.
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring autostartCommand(const QString& instanceSuffix, const QString& program) {
    // Qt names files with "/"; the Run key takes Windows paths, with backslashes.
    QString path = program;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    std::wstring command = quotedArgument(path.toStdWString());
    if (!instanceSuffix.isEmpty()) {
        // "/# #" names the instance whose trimmed name is empty ("/##" would not close).
        const QString name = instanceSuffix.mid(1);
        command +=
            L' ' + quotedArgument((QStringLiteral("/#") +
                                   (name.isEmpty() ? QStringLiteral(" ") : name) + QLatin1Char('#'))
                                      .toStdWString());
    }
    return command;
}

void enableAutostart(Win32Calls& calls, const QString& instanceSuffix, const QString& program) {
    const ErrorCode e = calls.setRegistryString(RegistryRoot::CurrentUser, kRunKey,
                                                autostartValueName(instanceSuffix),
                                                autostartCommand(instanceSuffix, program));
    if (e != kErrorSuccess) refused("write to", e, calls);
}

bool disableAutostart(Win32Calls& calls, const QString& instanceSuffix) {
    const ErrorCode e = calls.deleteRegistryValue(RegistryRoot::CurrentUser, kRunKey,
                                                  autostartValueName(instanceSuffix));
    if (e == kErrorFileNotFound) return false;
    if (e != kErrorSuccess) refused("remove a value from", e, calls);
    return true;
}

}  // namespace kest::win32
