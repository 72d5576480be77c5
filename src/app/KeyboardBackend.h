#pragma once
// The platform's keyboard and window activation, chosen once for the whole program.

#include <memory>
#include <stdexcept>
#include <string>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/WindowActivator.h"

namespace kest {

// No keyboard to type into. The message is written for the user: the program reports
// it on standard error and in its log file, and exits non-zero.
class KeyboardBackendError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct KeyboardBackend {
    // What device and activator call into, where they share one (the Win32 calls):
    // declared first, so that it goes last.
    std::shared_ptr<void> system;
    std::unique_ptr<KeyboardDevice> device;
    std::unique_ptr<WindowActivator> activator;
    // What the user must know about what this backend cannot reach, or empty. Said
    // once, in the window and in the log.
    std::string notice;
};

// The notices of the Linux backend choice, in the user's words.
inline constexpr const char* kNoWaylandKeysNotice =
    "This Wayland desktop does not let programs type into other windows: Kest Redirect "
    "types only into X11 programs (running under Xwayland); native Wayland windows "
    "cannot receive keys from it here";
inline constexpr const char* kWaylandFailedNotice =
    "Kest Redirect could not use the Wayland compositor: it types only into X11 programs "
    "(running under Xwayland); native Wayland windows cannot receive keys from it";
inline constexpr const char* kWindowsOnlyAmongX11Notice =
    "This Wayland desktop does not let programs bring windows to the front: only X11 "
    "windows (running under Xwayland) can be chosen by title";
inline constexpr const char* kNoWindowListNotice =
    "This Wayland desktop does not let programs bring windows to the front: keys go to "
    "the window that has the focus";

inline constexpr const char* kGnomeNoActivationNotice =
    "GNOME does not let programs bring windows to the front: APP[...] and the target window "
    "are not activated, and keys go to the window that has the focus";
inline constexpr const char* kGnomeAsksEachSessionNotice =
    "GNOME asks once per session whether Kest Redirect may type into other windows (its "
    "desktop portal keeps no permission): answer its dialog each time the program starts";

// One implementation per platform, chosen by the build.
// On Linux: with displayName, XTest keys and window activation on that X display.
// Without, on a Wayland session ($WAYLAND_DISPLAY): the virtual keyboard where the
// compositor offers one (the wlroots family), else KWin's fake input (KDE Plasma), else
// GNOME's remote desktop, else the desktop portal's (which asks the user); else XTest
// on $DISPLAY (Xwayland, with a notice of what cannot be reached).
// Throws KeyboardBackendError when there is nothing to type into.
// On Windows: SendInput keys and activation among the desktop's top-level windows;
// displayName is ignored.
KeyboardBackend openKeyboardBackend(const char* displayName = nullptr);

}  // namespace kest
