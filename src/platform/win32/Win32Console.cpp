#include "platform/win32/Win32Console.h"

#include <vector>

namespace kest::win32 {

void useParentConsole(Win32Calls& calls) {
    std::vector<StandardStream> loose;
    for (StandardStream stream :
         {StandardStream::Input, StandardStream::Output, StandardStream::Error}) {
        if (!calls.standardStreamRedirected(stream)) loose.push_back(stream);
    }
    // Every stream redirected: a console would only flash. No console to attach to
    // (started from Explorer or a shortcut): there is nowhere else to print.
    if (loose.empty() || !calls.attachParentConsole()) return;
    for (StandardStream stream : loose) calls.reopenOnConsole(stream);
}

}  // namespace kest::win32
