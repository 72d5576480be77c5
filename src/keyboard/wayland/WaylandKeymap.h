#pragma once
// The keymap the virtual keyboard uploads: a US base plus every printable
// Windows-1252 character and every virtual key the base lacks, each on a spare
// keycode at or below 255 (so that X programs under Xwayland reach them too). Built
// once; no keycode is ever rebound, so no receiver ever sees a key change meaning.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace kest::wayland {

// The keymap cannot be built (libxkbcommon without its data files, or too few free
// keycodes). The message is fit for the user.
class KeymapError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A key to press, and the modifiers (an xkb modifier mask of this keymap) that must
// be down for it to give what was asked for.
struct KeyPlacement {
    std::uint32_t keycode = 0;  // XKB keycode: the evdev code plus 8
    std::uint32_t mods = 0;
};

struct ModifierMasks {
    std::uint32_t shift = 0;
    std::uint32_t control = 0;
    std::uint32_t alt = 0;
    std::uint32_t super = 0;
    std::uint32_t capsLock = 0;
    std::uint32_t numLock = 0;
};

class WaylandKeymap {
  public:
    // Throws KeymapError.
    static WaylandKeymap build();

    // The whole keymap in XKB text form, with no includes left, as receivers compile it.
    const std::string& text() const { return text_; }

    // How to type a Windows-1252 character. Control characters type as Windows maps
    // them (8 Backspace, 9 Tab, 13 Enter, 27 Escape, 10 Ctrl+Enter, 1..26 Ctrl+letter,
    // 127 Ctrl+Backspace). Always set for every byte.
    const KeyPlacement& character(unsigned char c) const { return characters_[c]; }
    // The key of a Windows virtual-key code, pressed without modifiers; nothing for
    // codes that name no key of a PC keyboard.
    std::optional<KeyPlacement> virtualKey(std::uint8_t vk) const;

    const ModifierMasks& masks() const { return masks_; }
    // The modifier a virtual key sets while it is down (Shift, Ctrl, Alt, Windows keys).
    std::uint32_t heldMask(std::uint8_t vk) const;
    // The lock a virtual key toggles when pressed (Caps Lock, Num Lock).
    std::uint32_t lockMask(std::uint8_t vk) const;

  private:
    std::string text_;
    std::array<KeyPlacement, 256> characters_{};
    std::array<std::optional<KeyPlacement>, 256> virtualKeys_{};
    ModifierMasks masks_;
};

}  // namespace kest::wayland
