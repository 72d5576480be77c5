#pragma once
// Start at login, per instance. Nothing starts at login unless the user turned it on
// for that instance (Kest_Redirect_Serial_to_KB --autostart on /#NAME#).
//
// Linux: one XDG autostart entry per instance, $XDG_CONFIG_HOME/autostart (when that
// is an absolute path, else ~/.config/autostart) /kest-redirect<instance suffix>.desktop,
// which the desktop starts at login. Characters of a name that do not belong in a file
// name are written as %XX there.
// Windows: one value per instance, "Kest Redirect<instance suffix>", in the user's Run
// key, with the quoted program path and instance argument (win32/Win32Autostart.h).
//
// The instance suffix is "" for the unnamed copy, else "_" and the name.

#include <QString>

namespace kest::autostart {

// Where the entry for the instance lies, whether or not it exists.
QString entryPath(const QString& instanceSuffix);

// Writes the entry that starts program (an absolute path) as that instance at login,
// replacing one that is there. Throws std::runtime_error with a message for the user.
void enable(const QString& instanceSuffix, const QString& program);

// Removes the entry; false when there was none. Throws std::runtime_error when it
// cannot be removed.
bool disable(const QString& instanceSuffix);

}  // namespace kest::autostart
