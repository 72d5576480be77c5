#include "app/KeyboardBackend.h"

#include <cstdlib>
#include <string>

#include "keyboard/x11/X11WindowActivator.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace kest {

KeyboardBackend openKeyboardBackend(const char* displayName) {
    const char* env = std::getenv("DISPLAY");
    if (!displayName && (!env || !*env)) {
        throw KeyboardBackendError(
            "Kest Redirect needs an X display to type into, and DISPLAY is not set");
    }
    try {
        KeyboardBackend backend;
        backend.device = std::make_unique<x11::XTestKeyboardDevice>(displayName);
        backend.activator = std::make_unique<x11::X11WindowActivator>(displayName);
        return backend;
    } catch (const x11::DeviceError& e) {
        throw KeyboardBackendError(std::string("Kest Redirect cannot type keys: ") + e.what());
    }
}

}  // namespace kest
