#pragma once
// Real key events on desktops that apply the user's own layout and take bare key
// codes from other programs: GNOME (its remote desktop, directly or through the
// desktop portal) and KDE Plasma (KWin's fake input). Each character is found on the
// seat's keymap (SeatKeymap) and pressed with the modifier keys of its level, as a
// dead-key sequence, on another configured layout where the desktop lets us switch,
// or else by Unicode entry (Ctrl+Shift+U, hex, Space), and then named to the user.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/wayland/SeatKeymap.h"
#include "keyboard/wayland/WaylandConnection.h"

namespace kest::wayland {

// How a desktop takes key presses. Codes are evdev codes (XKB minus 8).
class KeyInjector {
  public:
    virtual ~KeyInjector() = default;
    // Presses or releases a key. Throws DeviceError when the desktop is gone.
    virtual void key(std::uint32_t evdevCode, bool pressed) = 0;
    // Returns when the desktop has taken the keys sent so far, all of them or all but
    // the last few (which the next call waits for).
    virtual void settle(bool /*all*/) {}
    // The desktop's own layout switch (KDE); nothing where there is none.
    virtual std::optional<std::uint32_t> activeLayout() { return std::nullopt; }
    virtual void setLayout(std::uint32_t /*layout*/) {}
};

// Makes the injector for a fresh Wayland connection (KWin's fake input lives on it).
using InjectorFactory = std::function<std::unique_ptr<KeyInjector>(WaylandConnection&)>;

struct SeatTiming {
    // After each character the device waits for a round trip with the compositor, and
    // it types no more than one character per interval (over any few characters): a
    // compositor throws off a client whose socket fills up, and the round trip proves
    // only that the compositor has the keys, not that the receiver has read them. The
    // round trip counts towards the interval, so a busy desktop is not slowed twice.
    // Measured into GTK 3 on KWin: 1,000 characters a second were exact; unpaced (over
    // 1,000 a second) KWin threw the receiver off.
    std::chrono::microseconds interval{1000};
    // Before a dead key: Qt applies what a dead key composes as soon as it reads it,
    // ahead of plain keys it has read but not yet handled. 10 ms was enough on a quiet
    // machine and not always under load.
    std::chrono::milliseconds beforeDeadKey{50};
    // The first keys on a seat that had no keyboard are lost while receivers bind the
    // new one: a Shift tap, then this wait.
    std::chrono::milliseconds settle{500};
    // How long the seat may take to show its keyboard and keymap.
    std::chrono::milliseconds announce{3000};
};

class SeatKeyboardDevice final : public KeyboardDevice {
  public:
    // Connects to the compositor (nullptr: $WAYLAND_DISPLAY) and through factory to
    // the desktop. Throws DeviceError or KeymapError with a message fit for the user.
    SeatKeyboardDevice(InjectorFactory factory, const char* displayName = nullptr,
                       SeatTiming timing = {});
    ~SeatKeyboardDevice() override;

    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void sync() override;

  private:
    void connect();
    void ensureConnected();
    const LayoutKeys& layoutKeys();
    std::uint32_t userLayout();
    void useLayout(std::uint32_t layout);
    void typeStroke(const KeyStroke& stroke);
    bool typeUnicode(unsigned char c);
    void press(std::uint32_t keycode, bool down);
    void pace(bool all = false);
    void tellUntypable();
    void drop();

    InjectorFactory factory_;
    std::string displayName_;
    bool hasDisplayName_ = false;
    SeatTiming timing_;
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<KeyInjector> injector_;
    std::unique_ptr<SeatKeymap> keymap_;
    // Virtual keys held through keybd_event, and the key codes they pressed.
    std::map<std::uint8_t, std::uint32_t> held_;
    std::optional<std::uint32_t> userLayout_;  // asked once per piece
    bool switchable_ = false;                  // whether the desktop switches layouts
    std::optional<std::uint32_t> currentLayout_;
    std::set<unsigned char> untypable_;  // not on any layout, not yet told
    std::set<unsigned char> told_;
    std::chrono::steady_clock::time_point dueAt_{};  // of the last character, at the pace
};

}  // namespace kest::wayland
