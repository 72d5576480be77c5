#pragma once
// The system or the desktop session ending the program, as a logout or a shutdown
// does: the program saves its configuration and ends as when its window is closed,
// rather than being cut off with unsaved edits and a serial port's lock file left.
//
// Linux: SIGTERM (a logout, a shutdown, kill), SIGHUP (the terminal went away) and
// SIGINT (Ctrl+C) each end the program the orderly way. The same signal once more, while
// the first is still being handled, ends it at once the default way.
// Windows: WM_QUERYENDSESSION saves (the session may still go on, so the program keeps
// running); WM_ENDSESSION that ends the session ends the program, before Windows does.

#include <functional>

namespace kest {

struct SessionEndHandlers {
    std::function<void()> save;  // keep the configuration: the end may come at once
    std::function<void()> end;   // save, release what the program holds, quit
};

// Watches for the rest of the run; the handlers run on the event loop's thread. Needs
// the application object.
void watchSessionEnd(SessionEndHandlers handlers);

}  // namespace kest
