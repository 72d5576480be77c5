#pragma once
// Where the DOS-style names the program shows ("C:\TALVEN.CFG", "C:\FILE_IN.TXT", COM3)
// live. The mapping is fixed so that users and scripts can rely on it.
//
// On Linux:
//   base directory B  $XDG_CONFIG_HOME/kest-redirect when XDG_CONFIG_HOME is absolute,
//                     else $HOME/.config/kest-redirect
//   X:\a\b            B/dosdevices/x:/a/b, where dosdevices/x: may be a link the user
//                     made; a missing dosdevices/c: means B/drive_c (created on use)
//   /a/b              a native path, used as it is
//   COMn (1..255)     the device B/dosdevices/comN links to, else COM1-32 /dev/ttyS0-31,
//                     COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31
//
// On Windows every name is the native thing:
//   base directory B  %LOCALAPPDATA%\kest-redirect (the per-user local application
//                     data folder); only the program's own files go there (log files,
//                     the file marks' records and locks), never the configuration
//   X:\a\b            X:\a\b itself
//   COMn (1..255)     \\.\COMn, the name that opens every COM port, COM10 and above too
//
// File paths come back with "/" as the separator on both, as Qt prefers them.

#include <QString>
#include <QStringList>

namespace kest::dos {

QString baseDirectory();

// True for "X:" followed by nothing, "\" or "/" (any drive letter, either case).
bool isDosPath(const QString& path);

// The native path of a DOS path, native path or relative path. Relative paths keep
// being relative (to the current directory), with "\" read as a separator.
QString nativePath(const QString& path);

// The device that COM port n opens; empty when no device can belong to n.
QString comPortDevice(int portNumber);

// The drives there are, as "x:" in lower case, sorted. Linux: "c:" and every drive
// link in B/dosdevices (dangling ones too: the user named that drive). Windows: the
// drives the system has.
QStringList driveNames();

// The highest COM port number there is.
constexpr int kMaxComPort = 255;

}  // namespace kest::dos
