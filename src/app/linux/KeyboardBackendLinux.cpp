#include <cstdlib>
#include <optional>
#include <string>

#include "app/KeyboardBackend.h"
#include "keyboard/wayland/WaylandConnection.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"
#include "keyboard/wayland/WaylandWindowActivator.h"
#include "keyboard/x11/X11WindowActivator.h"
#include "keyboard/x11/XTestKeyboardDevice.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace kest {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// A Wayland compositor that lets us type but keeps its window list to itself, with no
// X display beside it: nothing can be brought to the front, and the keys go to the
// window that has the focus, as they do when no window matches the title.
class NoWindowActivator final : public WindowActivator {
  public:
    bool activate(const std::string&) override { return false; }
};

KeyboardBackend openX11(const char* displayName, std::string notice) {
    try {
        KeyboardBackend backend;
        backend.device = std::make_unique<x11::XTestKeyboardDevice>(displayName);
        backend.activator = std::make_unique<x11::X11WindowActivator>(displayName);
        backend.notice = std::move(notice);
        return backend;
    } catch (const x11::DeviceError& e) {
        std::string message = std::string("Kest Redirect cannot type keys: ") + e.what();
        if (!notice.empty()) message += ". " + notice;
        throw KeyboardBackendError(message);
    }
}

struct WaylandOffer {
    bool keyboard = false;
    bool windows = false;
};

std::optional<WaylandOffer> probeWayland() {
    try {
        wayland::WaylandConnection connection;
        return WaylandOffer{connection.offers(zwp_virtual_keyboard_manager_v1_interface),
                            connection.offers(zwlr_foreign_toplevel_manager_v1_interface)};
    } catch (const wayland::DeviceError&) {
        return std::nullopt;
    }
}

std::unique_ptr<WindowActivator> waylandActivator(bool offered, std::string& notice) {
    if (offered) return std::make_unique<wayland::WaylandWindowActivator>();
    if (isSet("DISPLAY")) {
        try {
            notice = kWindowsOnlyAmongX11Notice;
            return std::make_unique<x11::X11WindowActivator>();
        } catch (const x11::DeviceError&) {
        }
    }
    notice = kNoWindowListNotice;
    return std::make_unique<NoWindowActivator>();
}

}  // namespace

KeyboardBackend openKeyboardBackend(const char* displayName) {
    // An X display named by the caller is used as it is; otherwise a Wayland session
    // comes first, since XTest reaches only the X programs in it.
    if (!displayName && isSet("WAYLAND_DISPLAY")) {
        const auto offer = probeWayland();
        if (offer && offer->keyboard) {
            try {
                KeyboardBackend backend;
                backend.device = std::make_unique<wayland::WaylandKeyboardDevice>();
                backend.activator = waylandActivator(offer->windows, backend.notice);
                return backend;
            } catch (const std::exception& e) {
                return openX11(nullptr, std::string(kWaylandFailedNotice) + " (" + e.what() + ")");
            }
        }
        const char* notice = offer ? kNoWaylandKeysNotice : kWaylandFailedNotice;
        if (!isSet("DISPLAY")) throw KeyboardBackendError(notice);
        return openX11(nullptr, notice);
    }
    if (!displayName && !isSet("DISPLAY")) {
        throw KeyboardBackendError(
            "Kest Redirect needs an X display to type into, and DISPLAY is not set");
    }
    return openX11(displayName, {});
}

}  // namespace kest
