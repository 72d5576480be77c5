#pragma once
// Where the characters are on a keymap that the compositor applies itself (GNOME and
// KDE Plasma): the user's own layouts, as the seat's keyboard reports them. Keys are
// sent as bare key codes there, so a character is found as the key, the modifier keys
// that reach its level (Shift, AltGr, both) and the layout (XKB group) it is on; or as
// a dead key followed by a base character where the layout has it only that way.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/wayland/WaylandKeymap.h"  // KeymapError
#include "keyboard/x11/Keysyms.h"

struct xkb_keymap;

namespace kest::wayland {

// One key pressed while the modifier keys are held. Codes are XKB key codes (evdev
// plus 8), the modifier keys in the order they are to go down.
struct KeyStroke {
    std::vector<std::uint32_t> modifiers;
    std::uint32_t keycode = 0;
};

// What typing one character takes: one stroke, or a dead key and a base character,
// on one layout.
struct CharacterKeys {
    std::uint32_t layout = 0;
    std::vector<KeyStroke> strokes;
};

class LayoutKeys {
  public:
    // Compiles a keymap in XKB text form (what wl_keyboard.keymap carries) and indexes
    // it. composeLocale names the compose table that dead keys are read with; empty:
    // dead keys are not used. Throws KeymapError.
    explicit LayoutKeys(const std::string& keymapText, const std::string& composeLocale = {});
    ~LayoutKeys();
    LayoutKeys(LayoutKeys&&) noexcept;
    LayoutKeys& operator=(LayoutKeys&&) noexcept;

    std::uint32_t layoutCount() const { return layoutCount_; }

    // How to type a Windows-1252 character on the layout `active`: straight or by a
    // dead key there; else, with otherLayouts, on the first other layout that has it.
    // Control characters as Windows maps them (see controlChordFor). Nothing when no
    // layout looked at can produce it.
    std::optional<CharacterKeys> character(unsigned char c, std::uint32_t active,
                                           bool otherLayouts) const;
    // The stroke that types keysym on the layout (the fewest modifier keys).
    std::optional<KeyStroke> keysym(x11::Keysym keysym, std::uint32_t layout) const;
    // The key a Windows virtual key presses on the layout, without modifiers.
    std::optional<std::uint32_t> virtualKey(std::uint8_t vk, std::uint32_t layout) const;
    // The keys for Shift and Ctrl (left ones where the keymap has them).
    std::uint32_t shiftKey() const { return shiftKey_; }
    std::uint32_t controlKey() const { return controlKey_; }

  private:
    struct Layout {
        std::array<std::optional<CharacterKeys>, 256> direct;
        std::array<std::optional<CharacterKeys>, 256> dead;
        std::map<x11::Keysym, KeyStroke> keysyms;
        std::map<x11::Keysym, std::uint32_t> firstLevel;
    };
    void indexLayout(std::uint32_t group);
    void indexKeys(std::uint32_t group, const std::vector<std::vector<std::uint32_t>>& combinations,
                   std::uint32_t first, std::uint32_t last);
    void indexDeadKeys(std::uint32_t group, const std::string& composeLocale);

    xkb_keymap* keymap_ = nullptr;
    std::uint32_t layoutCount_ = 0;
    std::uint32_t shiftKey_ = 0;
    std::uint32_t controlKey_ = 0;
    std::vector<Layout> layouts_;
};

}  // namespace kest::wayland
