#pragma once
// The platform's keyboard and window activation, chosen once for the whole program.

#include <memory>
#include <stdexcept>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/WindowActivator.h"

namespace kest {

// No keyboard to type into. The message is written for the user: the program prints
// it on standard error and exits non-zero.
class KeyboardBackendError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct KeyboardBackend {
    std::unique_ptr<KeyboardDevice> device;
    std::unique_ptr<WindowActivator> activator;
};

// On Linux: XTest keys and window activation on the X display that displayName
// names (nullptr: $DISPLAY). Throws KeyboardBackendError when there is none.
KeyboardBackend openKeyboardBackend(const char* displayName = nullptr);

}  // namespace kest
