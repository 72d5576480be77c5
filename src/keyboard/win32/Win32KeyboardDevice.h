#pragma once
// Real key events on Windows through SendInput, typed by the keyboard layout of the
// thread that receives them. Keys that Windows would drop or refuses (a window in
// front that runs with more rights than ours, a locked screen, a UAC prompt) are not
// sent into the void: the call throws KeysRefused, and the text waits.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/win32/Win32Api.h"

namespace kest::win32 {

class Win32KeyboardDevice final : public KeyboardDevice {
  public:
    // api must outlive the device.
    explicit Win32KeyboardDevice(Win32Api& api) : api_(api) {}

    // Throw KeysRefused when Windows does not take the events, or would drop them.
    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void prepareCharacters(std::string_view text) override;
    void sync() override;
    void endPiece() override;

    // The reason of KeysRefused for a window in front above our integrity level.
    static constexpr const char* kElevatedWindowReason =
        "the window in front runs as administrator";
    static constexpr const char* kRefusedReason =
        "Windows takes no keys now (a locked screen or a UAC prompt)";

  private:
    // A key of the layout and the modifiers (VkKeyScan shift state) it needs.
    struct Placement {
        std::uint8_t vk;
        unsigned mods;
    };

    // The thread that reads the keys and its layout.
    struct Target {
        ThreadId thread;
        LayoutHandle layout;
    };

    std::optional<Placement> placementFor(char16_t c, LayoutHandle layout);
    std::vector<KeyInput> printableEvents(char16_t c, const Target& target);
    std::optional<Placement> underCapsLock(char16_t c, Placement p, LayoutHandle layout);
    std::vector<KeyInput> controlEvents(unsigned char c, LayoutHandle layout);
    std::vector<KeyInput> withModifiers(Placement p, LayoutHandle layout);
    KeyInput keyEvent(std::uint8_t vk, bool up, LayoutHandle layout);
    Target target();
    bool callerHolds(std::uint8_t modifierVk) const;
    bool callerHoldsAny() const;
    bool capsLockOn(ThreadId thread);
    bool windowInFrontIsAbove();
    void send(const std::vector<KeyInput>& events);
    void undoPartial(const std::vector<KeyInput>& events, unsigned inserted);

    Win32Api& api_;
    // Keys pressed through keybdEvent and not yet released, as far as we know.
    std::bitset<256> held_;
    // The window in front when its integrity was last compared with ours.
    struct Checked {
        WindowHandle window = 0;
        ProcessId process = 0;
        bool above = false;
    } checked_;
    std::optional<std::optional<std::uint32_t>> ownIntegrity_;
    // Caps Lock as the focus thread sees it, read once a piece.
    std::optional<bool> capsLock_;
};

}  // namespace kest::win32
