// Qt first: the X11 headers define names (None, Bool) that Qt uses.
#include "platform/DosPaths.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/KeyboardBackend.h"
#include "fake-input-client-protocol.h"
#include "keyboard/wayland/DesktopInjectors.h"
#include "keyboard/wayland/PlasmaWindowActivator.h"
#include "keyboard/wayland/SeatKeyboardDevice.h"
#include "keyboard/wayland/WaylandConnection.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"
#include "keyboard/wayland/WaylandWindowActivator.h"
#include "keyboard/x11/X11WindowActivator.h"
#include "keyboard/x11/XTestKeyboardDevice.h"
#include "plasma-window-management-client-protocol.h"
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
    bool kwinKeys = false;
    bool kwinWindows = false;
};

std::optional<WaylandOffer> probeWayland() {
    try {
        wayland::WaylandConnection c;
        return WaylandOffer{c.offers(zwp_virtual_keyboard_manager_v1_interface),
                            c.offers(zwlr_foreign_toplevel_manager_v1_interface),
                            c.offers(org_kde_kwin_fake_input_interface),
                            c.offers(org_kde_plasma_window_management_interface)};
    } catch (const wayland::DeviceError&) {
        return std::nullopt;
    }
}

// Where the compositor keeps its window list to itself: X11 windows under Xwayland
// can still be chosen by title, else keys go where the focus is.
std::unique_ptr<WindowActivator> fallbackActivator(std::string& notice, const char* noListNotice) {
    if (isSet("DISPLAY")) {
        try {
            auto activator = std::make_unique<x11::X11WindowActivator>();
            notice = kWindowsOnlyAmongX11Notice;
            return activator;
        } catch (const x11::DeviceError&) {
        }
    }
    notice = noListNotice;
    return std::make_unique<NoWindowActivator>();
}

std::unique_ptr<WindowActivator> waylandActivator(bool offered, std::string& notice) {
    if (offered) return std::make_unique<wayland::WaylandWindowActivator>();
    return fallbackActivator(notice, kNoWindowListNotice);
}

void addNotice(std::string& notices, const std::string& more) {
    if (more.empty()) return;
    notices += notices.empty() ? more : ". " + more;
}

bool busHasName(const char* name) {
    try {
        return wayland::SessionBus().reachable(name);
    } catch (const wayland::DeviceError&) {
        return false;
    }
}

// The desktops that apply the user's own layout: KDE Plasma through KWin's fake input,
// GNOME through its remote desktop, directly or through the portal.
std::optional<KeyboardBackend> openDesktopKeys(const WaylandOffer& offer) {
    KeyboardBackend backend;
    if (offer.kwinKeys) {
        backend.device =
            std::make_unique<wayland::SeatKeyboardDevice>([](wayland::WaylandConnection& c) {
                return std::make_unique<wayland::KwinFakeInput>(c);
            });
        if (offer.kwinWindows)
            backend.activator = std::make_unique<wayland::PlasmaWindowActivator>();
        else
            backend.activator = fallbackActivator(backend.notice, kNoWindowListNotice);
        return backend;
    }
    if (busHasName(wayland::kMutterRemoteDesktop)) {
        backend.device = std::make_unique<wayland::SeatKeyboardDevice>(
            [](wayland::WaylandConnection&) {
                return std::make_unique<wayland::MutterRemoteDesktop>();
            },
            nullptr, wayland::gnomeTiming());
        backend.activator = fallbackActivator(backend.notice, kGnomeNoActivationNotice);
        return backend;
    }
    if (busHasName(wayland::kPortal)) {
        const std::string tokenFile = kest::dos::baseDirectory().toStdString() + "/portal-token";
        // The factory runs again whenever the device connects anew, after this returns.
        auto version = std::make_shared<std::uint32_t>(1);
        backend.device = std::make_unique<wayland::SeatKeyboardDevice>(
            [tokenFile, version](wayland::WaylandConnection&) {
                auto portal = std::make_unique<wayland::PortalRemoteDesktop>(tokenFile);
                *version = portal->version();
                return portal;
            },
            nullptr, wayland::gnomeTiming());
        backend.activator = fallbackActivator(backend.notice, kNoWindowListNotice);
        if (*version < 2) addNotice(backend.notice, kGnomeAsksEachSessionNotice);
        return backend;
    }
    return std::nullopt;
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
        std::string failure;
        if (offer) {
            try {
                if (auto backend = openDesktopKeys(*offer)) return std::move(*backend);
            } catch (const std::exception& e) {
                failure = std::string(kWaylandFailedNotice) + " (" + e.what() + ")";
            }
        }
        const std::string notice = !failure.empty() ? failure
                                   : offer          ? kNoWaylandKeysNotice
                                                    : kWaylandFailedNotice;
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
