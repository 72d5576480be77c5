#pragma once
// A Windows GUI program has no console of its own: started from cmd or PowerShell,
// what it prints goes nowhere. The options that print and end (--help, --version,
// --explain, --autostart) use the console of the program that started them; a stream
// that was redirected to a file or a pipe stays where it was sent.

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

// Attaches to the parent's console, when there is one and a stream needs it, and
// points the streams that were not redirected at it.
void useParentConsole(Win32Calls& calls);

}  // namespace kest::win32
