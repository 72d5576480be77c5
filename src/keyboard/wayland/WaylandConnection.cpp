#include "keyboard/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kest::wayland {

namespace {

std::string socketLabel(const char* name) {
    if (name) return name;
    const char* env = std::getenv("WAYLAND_DISPLAY");
    return env ? env : "wayland-0";
}

}  // namespace

WaylandConnection::WaylandConnection(const char* name) {
    display_ = wl_display_connect(name);
    if (!display_) {
        throw DeviceError("cannot connect to the Wayland compositor \"" + socketLabel(name) + "\"");
    }
    static const wl_registry_listener registryListener{&onGlobal, &onGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &registryListener, this);
    try {
        roundtrip();
        seat_ = static_cast<wl_seat*>(bind(wl_seat_interface, 5));
        if (seat_) {
            static const wl_seat_listener seatListener{&onCapabilities, &onSeatName};
            wl_seat_add_listener(seat_, &seatListener, this);
            roundtrip();
        }
    } catch (const DeviceError&) {
        wl_display_disconnect(display_);
        throw;
    }
}

WaylandConnection::~WaylandConnection() {
    if (seat_) wl_seat_destroy(seat_);
    wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

bool WaylandConnection::offers(const wl_interface& interface) const {
    return std::any_of(globals_.begin(), globals_.end(),
                       [&](const Global& g) { return g.interface == interface.name; });
}

void* WaylandConnection::bind(const wl_interface& interface, std::uint32_t maxVersion) {
    for (const Global& g : globals_) {
        if (g.interface == interface.name) {
            return wl_registry_bind(registry_, g.name, &interface, std::min(maxVersion, g.version));
        }
    }
    return nullptr;
}

void WaylandConnection::roundtrip() {
    if (wl_display_roundtrip(display_) < 0) {
        const int error = wl_display_get_error(display_);
        throw DeviceError(std::string("the Wayland compositor closed the connection (") +
                          std::strerror(error ? error : EPIPE) + ")");
    }
}

void WaylandConnection::onGlobal(void* self, wl_registry*, std::uint32_t name,
                                 const char* interface, std::uint32_t version) {
    static_cast<WaylandConnection*>(self)->globals_.push_back({name, interface, version});
}

void WaylandConnection::onGlobalRemove(void* self, wl_registry*, std::uint32_t name) {
    auto& globals = static_cast<WaylandConnection*>(self)->globals_;
    std::erase_if(globals, [name](const Global& g) { return g.name == name; });
}

void WaylandConnection::onCapabilities(void* self, wl_seat*, std::uint32_t capabilities) {
    static_cast<WaylandConnection*>(self)->capabilities_ = capabilities;
}

}  // namespace kest::wayland
