#pragma once
// Real key events on a wlroots compositor through a virtual keyboard
// (zwp_virtual_keyboard_v1) that carries our own keymap.

#include <chrono>
#include <map>
#include <memory>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/wayland/WaylandConnection.h"
#include "keyboard/wayland/WaylandKeymap.h"

struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace kest::wayland {

struct DeviceTiming {
    // After each character (and each keybd_event) the device waits for a round trip
    // and then this much more. The compositor disconnects a client whose socket fills
    // up (the receiving program, or Xwayland with every X program in it), and the
    // round trip alone only proves that the compositor has the events, not that the
    // receiver has read them. Measured with 50,000 characters on headless sway: with
    // no gap Xwayland was thrown off within two seconds (about 20,000 characters a
    // second); 100 us was the smallest gap that stayed exact into xterm under
    // Xwayland. 250 us leaves a margin for a loaded machine and still types about
    // 1,500 characters a second into foot and into xterm.
    std::chrono::microseconds gap{250};
    // A seat that had no keyboard gains one with ours; receivers bind their keyboard
    // when they hear of it, in their own time. Keys sent before that are lost.
    std::chrono::milliseconds settle{300};
    // How long to wait for the compositor to announce the new keyboard on the seat.
    std::chrono::milliseconds announce{3000};
};

class WaylandKeyboardDevice final : public KeyboardDevice {
  public:
    using Timing = DeviceTiming;

    // Connects (nullptr: $WAYLAND_DISPLAY), creates the virtual keyboard and uploads
    // the keymap. Throws DeviceError (or KeymapError) with a message fit for the user.
    explicit WaylandKeyboardDevice(const char* displayName = nullptr, Timing timing = {});
    ~WaylandKeyboardDevice() override;
    WaylandKeyboardDevice(const WaylandKeyboardDevice&) = delete;
    WaylandKeyboardDevice& operator=(const WaylandKeyboardDevice&) = delete;

    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void sync() override;

    const WaylandKeymap& keymap() const { return keymap_; }

  private:
    using Clock = std::chrono::steady_clock;

    void connect();
    void ensureConnected();
    void waitUntilUsable();
    void sendKey(std::uint32_t keycode, bool down);
    void sendModifiers(std::uint32_t depressed, std::uint32_t locked);
    void pace();
    void releaseAll();

    std::string displayName_;
    bool hasDisplayName_ = false;
    Timing timing_;
    WaylandKeymap keymap_;
    std::unique_ptr<WaylandConnection> connection_;
    zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    Clock::time_point usableAt_{};
    // Virtual keys held through keybd_event, and the keycodes they pressed.
    std::map<std::uint8_t, std::uint32_t> held_;
    std::uint32_t heldMods_ = 0;  // the modifiers the held keys set
    std::uint32_t locked_ = 0;    // Caps Lock and Num Lock as toggled through keybd_event
    std::uint32_t sentDepressed_ = 0;
    std::uint32_t sentLocked_ = 0;
};

}  // namespace kest::wayland
