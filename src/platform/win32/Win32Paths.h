#pragma once
// The Windows forms of the DOS names, as plain text functions: they build and are
// tested on every platform; DosPathsWin32.cpp hands them the real environment.

#include <QString>

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

// B from the value of LOCALAPPDATA: that folder + "/kest-redirect" when it is an
// absolute Windows path, else fallback (Qt's per-user data folder) + "/kest-redirect".
QString baseDirectoryFrom(const QString& localAppData, const QString& fallback);

// A DOS path is the native path; only the separators become "/", and a bare "C:" is
// the drive's root (not the drive's current directory, which Windows would take).
QString nativePathOf(const QString& path);

// \\.\COMn for n in 1..255, which opens COM10 and above as well; empty otherwise.
QString comDeviceName(int portNumber);

// Whether the system's list of the serial ports there are (SERIALCOMM under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP, which drivers keep up to date as devices
// come and go) names the port of that device (\\.\COMn). False too when it cannot
// be read.
bool serialPortListed(Win32Calls& calls, const QString& device);

}  // namespace kest::win32
