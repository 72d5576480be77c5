#pragma once
// Real key events on Windows through SendInput, typed by the keyboard layout of the
// window that receives them.

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "keyboard/KeyboardDevice.h"
#include "keyboard/win32/Win32Api.h"

namespace kest::win32 {

class Win32KeyboardDevice final : public KeyboardDevice {
  public:
    // api must outlive the device.
    explicit Win32KeyboardDevice(Win32Api& api) : api_(api) {}

    // Throws DeviceError when Windows does not take the events.
    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void sync() override;

  private:
    // A key of the layout and the modifiers (VkKeyScan shift state) it needs.
    struct Placement {
        std::uint8_t vk;
        unsigned mods;
    };

    std::optional<Placement> placementFor(char16_t c, LayoutHandle layout);
    std::vector<KeyInput> printableEvents(char16_t c, LayoutHandle layout);
    std::vector<KeyInput> controlEvents(unsigned char c, LayoutHandle layout);
    std::vector<KeyInput> withModifiers(Placement p, LayoutHandle layout);
    KeyInput keyEvent(std::uint8_t vk, bool up, LayoutHandle layout);
    LayoutHandle targetLayout();
    bool callerHolds(std::uint8_t modifierVk) const;
    void send(const std::vector<KeyInput>& events);
    void undoPartial(const std::vector<KeyInput>& events, unsigned inserted);

    Win32Api& api_;
    // Keys pressed through keybdEvent and not yet released.
    std::bitset<256> held_;
};

}  // namespace kest::win32
