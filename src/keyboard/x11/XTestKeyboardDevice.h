#pragma once
// Real key events on an X display through XTest, typed by the live XKB keymap.

#include <X11/Xlib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/x11/KeymapView.h"
#include "keyboard/x11/SparePool.h"
#include "keyboard/x11/XErrors.h"

namespace kest::x11 {

struct DeviceTiming {
    // How long a spare keycode must lie unused before it is bound to another
    // character: receivers read the keymap only when they handle an event, so a
    // receiver that lags behind by more than this would see the new character. 100 ms
    // held on a quiet machine; xterm on a loaded one lagged past it, so the guard
    // leaves a wide margin. Only texts with more distinct unusual characters than
    // there are spare keycodes ever wait for it.
    std::chrono::milliseconds reuseGuard{500};
    // How long a changed keymap is left to reach the receivers before a key of it is
    // typed. Tk works out a key's character when it reads the event, but takes in a
    // keymap change only when it handles it: a key read together with the change
    // that bound it showed the key's earlier character, or none. Binding all of a
    // text's unusual characters at once makes this one pause per text at most.
    std::chrono::milliseconds settle{30};
    // Spare keycodes go back to empty after this long without typing.
    std::chrono::milliseconds idleRestore{5000};
};

class XTestKeyboardDevice final : public KeyboardDevice {
  public:
    using Timing = DeviceTiming;

    // Opens its own connection to the display (nullptr: $DISPLAY). Throws DeviceError
    // with a message fit for the user when the display, XTest or XKB is missing.
    explicit XTestKeyboardDevice(const char* displayName = nullptr, Timing timing = {});
    ~XTestKeyboardDevice() override;
    XTestKeyboardDevice(const XTestKeyboardDevice&) = delete;
    XTestKeyboardDevice& operator=(const XTestKeyboardDevice&) = delete;

    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    // Binds spare keys for all of the characters that the layout lacks (as many as
    // fit without waiting), in one keymap change, before the first is typed.
    void prepareCharacters(std::string_view text) override;
    void sync() override;

    // Releases every key still held and gives the spare keycodes back their empty
    // mapping. Runs by itself after idleRestore, at the end and on SIGINT/SIGTERM.
    void restoreSpareKeys();
    // How many spare keycodes carry a character now.
    std::size_t boundSpareKeys();

  private:
    using Clock = std::chrono::steady_clock;

    void refreshKeymap();
    void reloadKeymap();
    void takeState(const XkbStateNotifyEvent& event);
    void typePrintable(unsigned char c, unsigned extraMods);
    void typeControl(unsigned char c);
    void typeKeysym(Keysym keysym, unsigned extraMods);
    void press(const Placement& placement, unsigned extraMods, const XkbStateRec& state);
    std::optional<Placement> boundSpare(Keysym keysym);
    Placement spareFor(Keysym keysym, bool firstSpotOnly = false);
    void writeSpareKeys(std::vector<KeyCode> keycodes);
    KeyCode keycodeForVirtualKey(std::uint8_t vk, int group, bool mayBind);
    void fakeKey(KeyCode keycode, bool down);
    void markActivity();
    void restoreLocked(bool releaseHeld);
    void janitor();

    Display* display_ = nullptr;
    Timing timing_;
    std::mutex mutex_;  // guards everything below, the display included
    std::condition_variable wake_;
    KeymapView keymap_;
    XkbStateRec state_{};  // as the server last reported it
    SparePool spares_;
    std::map<std::uint8_t, KeyCode> heldVirtualKeys_;
    Clock::time_point lastActivity_{};
    bool keymapStale_ = false;
    bool closing_ = false;
    bool stopping_ = false;
    int xkbEventBase_ = 0;
    int signalCleanupId_ = 0;
    std::thread janitor_;
};

}  // namespace kest::x11
