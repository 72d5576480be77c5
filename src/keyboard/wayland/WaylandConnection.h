#pragma once
// One connection to the Wayland compositor: the globals it offers and its first seat.
// The device and the activator each keep their own, as the X11 backend does.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_interface;

namespace kest::wayland {

// The compositor, or something the program needs of it, is missing, or the connection
// broke. The message is fit for the user.
class DeviceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class WaylandConnection {
  public:
    // nullptr: $WAYLAND_DISPLAY. Throws DeviceError when there is no compositor.
    explicit WaylandConnection(const char* name = nullptr);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    bool offers(const wl_interface& interface) const;
    // Binds the global at up to maxVersion; nullptr when it is not offered.
    void* bind(const wl_interface& interface, std::uint32_t maxVersion);

    // The first seat, bound at the start; nullptr when the compositor has none.
    wl_seat* seat() const { return seat_; }
    std::uint32_t seatCapabilities() const { return capabilities_; }

    // Sends everything queued and waits until the compositor has handled it and every
    // event it sent back has been dispatched. Throws DeviceError when the connection
    // is gone.
    void roundtrip();

  private:
    struct Global {
        std::uint32_t name;
        std::string interface;
        std::uint32_t version;
    };
    static void onGlobal(void* self, wl_registry*, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* self, wl_registry*, std::uint32_t name);
    static void onCapabilities(void* self, wl_seat*, std::uint32_t capabilities);
    static void onSeatName(void*, wl_seat*, const char*) {}

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t capabilities_ = 0;
    std::vector<Global> globals_;
};

}  // namespace kest::wayland
