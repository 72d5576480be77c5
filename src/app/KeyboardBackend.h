#pragma once
// The platform's keyboard and window activation, chosen once for the whole program.

#include <memory>
#include <stdexcept>

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
};

// One implementation per platform, chosen by the build.
// On Linux: XTest keys and window activation on the X display that displayName
// names (nullptr: $DISPLAY). Throws KeyboardBackendError when there is none.
// On Windows: SendInput keys and activation among the desktop's top-level windows;
// displayName is ignored.
KeyboardBackend openKeyboardBackend(const char* displayName = nullptr);

}  // namespace kest
