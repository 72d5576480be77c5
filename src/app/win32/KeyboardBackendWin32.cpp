#include "app/KeyboardBackend.h"

#include "keyboard/win32/Win32Api.h"
#include "keyboard/win32/Win32KeyboardDevice.h"
#include "keyboard/win32/Win32WindowActivator.h"

namespace kest {

KeyboardBackend openKeyboardBackend(const char* /*displayName*/) {
    // Every Windows desktop session has a keyboard to type into: nothing here can be
    // missing, so there is no error to report.
    std::shared_ptr<win32::Win32Api> api = win32::makeSystemWin32Api();
    KeyboardBackend backend;
    backend.device = std::make_unique<win32::Win32KeyboardDevice>(*api);
    backend.activator = std::make_unique<win32::Win32WindowActivator>(*api);
    backend.system = std::move(api);
    return backend;
}

}  // namespace kest
