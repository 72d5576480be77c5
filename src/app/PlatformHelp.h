#pragma once
// What the command line does differently per platform: the part of the --help text
// about where the configuration and the logs are, what a COM port number opens and
// where start at login is kept, and where an option's output goes. One implementation
// per platform, chosen by the build.

#include <QString>

namespace kest {

// Paragraphs ending with a line break, with this user's real paths.
QString platformHelp();

// Before an option prints: on Windows, a GUI program, the standard streams are made to
// reach the console it was started from.
void useOptionConsole();

}  // namespace kest
