#pragma once
// The instance rule on Windows, on a named mutex: every copy creates it and keeps its
// handle for its lifetime (Windows closes it when the process ends, however it ends);
// an unnamed copy that finds the mutex existing already ends at once.

#include <QString>
#include <string>

#include "platform/win32/Win32Calls.h"

namespace kest::win32 {

// The mutex's name for a key: in the session's namespace, and free of the "\" that a
// kernel object name may not hold, so a path serves as a key.
std::wstring instanceMutexName(const QString& key);

// Enters under the rule; the handle to keep lands in held (kNoHandle when none is
// kept). False when an unnamed copy must end.
bool enterInstance(Win32Calls& calls, const std::wstring& name, bool unnamed, Handle* held);

}  // namespace kest::win32
