#pragma once
// The part of the --help text that differs per platform: where the configuration and
// the logs are, what a COM port number opens, where start at login is kept. One
// implementation per platform, chosen by the build.

#include <QString>

namespace kest {

// Paragraphs ending with a line break, with this user's real paths.
QString platformHelp();

}  // namespace kest
