#pragma once
// Start at login on Windows: one string value per instance under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, which Explorer runs
// when the user logs in: the quoted path of the program and the quoted instance
// argument. The value is "Kest Redirect" followed by the instance suffix.

#include <QString>
#include <string>

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

inline constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring autostartValueName(const QString& instanceSuffix);
// The command line that starts the program (an absolute path) as that instance.
std::wstring autostartCommand(const QString& instanceSuffix, const QString& program);
// One argument as Windows splits a command line (CommandLineToArgvW): quoted, with the
// backslashes before a quote doubled and the quote escaped.
std::wstring quotedArgument(const std::wstring& argument);

// Throw std::runtime_error with a message for the user when the registry refuses.
void enableAutostart(Win32Calls& calls, const QString& instanceSuffix, const QString& program);
// False when there was no value.
bool disableAutostart(Win32Calls& calls, const QString& instanceSuffix);

}  // namespace kest::win32
