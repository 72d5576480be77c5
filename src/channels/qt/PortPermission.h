#pragma once
// What to do when the system refuses this user a serial device. Serial ports belong to
// a group (dialout on Debian) whose members may open them, and a user who has just
// been added to it has the right only in a login session that began afterwards.

#include <QString>

namespace kest {

// Advice for the port field's tool tip, to follow "permission denied": the group to
// join and how, or that a new login is all that is missing, or whom to ask.
QString portPermissionAdvice(const QString& device);

}  // namespace kest
