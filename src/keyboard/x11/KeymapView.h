#pragma once
// A read-only view of the live XKB keymap: where each character and key sits, which
// keys set which modifiers, and which keycodes are empty. Rebuilt whole whenever the
// server reports a keymap change; it never updates itself.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "keyboard/x11/Keysyms.h"

namespace kest::x11 {

// One way to produce a keysym: this key, in this group, at this level, which the
// modifiers in mods select (typeMask: the modifiers that matter for the key's type).
struct Placement {
    KeyCode keycode = 0;
    int group = 0;
    int level = 0;
    unsigned mods = 0;
    unsigned typeMask = 0;
};

class KeymapView {
  public:
    KeymapView() = default;
    ~KeymapView();
    KeymapView(const KeymapView&) = delete;
    KeymapView& operator=(const KeymapView&) = delete;

    // Reads the core keyboard's keymap. Returns false (keeping nothing) when the server
    // does not give it.
    bool load(Display* display);
    bool loaded() const { return xkb_ != nullptr; }

    // The best placement of a Windows-1252 character: the active group first, then the
    // fewest modifiers. Levels that only Lock or NumLock reach are never offered.
    std::optional<Placement> findCharacter(unsigned char c, int activeGroup) const;
    // The key that has keysym at its first level, the active group first.
    std::optional<KeyCode> findUnshifted(Keysym keysym, int activeGroup) const;
    // Any placement of keysym, as findCharacter ranks them.
    std::optional<Placement> findKeysym(Keysym keysym, int activeGroup) const;
    std::optional<KeyCode> findByName(std::string_view name) const;

    // A key that sets the real modifier bit while held (never a lock key); 0 if none.
    KeyCode modifierKey(unsigned modBit) const;
    unsigned numLockMask() const { return numLockMask_; }

    // The level of the key in group for the given modifier state, as XKB computes it.
    int levelFor(KeyCode keycode, int group, unsigned mods) const;
    // The number of groups of a key (0 for a key the view does not know).
    int groupsOf(KeyCode keycode) const;

    // Keycodes with no keysym at any level of any group.
    std::vector<KeyCode> emptyKeycodes() const;
    // The keysym of keycode in group at level, or kNoKeysym where it has none.
    Keysym keysymAt(KeyCode keycode, int group, int level) const;
    int minKeycode() const;
    int maxKeycode() const;

  private:
    void index();
    std::optional<unsigned> modsForLevel(const XkbKeyTypeRec& type, int level) const;
    std::vector<Placement> placementsOf(Keysym keysym) const;
    // Whether a key of the layout sets each of these modifiers.
    bool pressable(unsigned mods) const;
    static std::optional<Placement> best(const std::vector<Placement>& list, int activeGroup);

    XkbDescPtr xkb_ = nullptr;
    unsigned numLockMask_ = 0;
    std::array<KeyCode, 8> modifierKeys_{};
    std::array<std::vector<Placement>, 256> byCharacter_;
};

}  // namespace kest::x11
