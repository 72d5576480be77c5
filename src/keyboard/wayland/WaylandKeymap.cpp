#include "keyboard/wayland/WaylandKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "keyboard/x11/Keysyms.h"

namespace kest::wayland {

namespace {

using x11::keysymForCp1252;
using x11::virtualKeyFor;

using ContextPtr = std::unique_ptr<xkb_context, decltype(&xkb_context_unref)>;
using KeymapPtr = std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)>;

// X keycodes stop at 255, and Xwayland hands the Wayland keymap to X programs as it
// is: a key above that would exist for native programs only.
constexpr xkb_keycode_t kFirstKeycode = 8;
constexpr xkb_keycode_t kLastKeycode = 255;

// The US layout on a PC keyboard, without the multimedia keys of the usual rules:
// they would take the keycodes that the Windows-1252 characters need.
std::string keymapSource(const std::string& extraKeys) {
    return "xkb_keymap {\n"
           "  xkb_keycodes { include \"evdev+aliases(qwerty)\" };\n"
           "  xkb_types { include \"complete\" };\n"
           "  xkb_compat { include \"complete\" };\n"
           "  xkb_symbols { include \"pc+us\"\n" +
           extraKeys + "  };\n};\n";
}

KeymapPtr compile(xkb_context* context, const std::string& source) {
    KeymapPtr keymap(xkb_keymap_new_from_string(context, source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS),
                     &xkb_keymap_unref);
    if (!keymap) {
        throw KeymapError(
            "the keyboard layout data (xkb-data) is missing or broken: no keymap could be built");
    }
    return keymap;
}

struct Located {
    xkb_keycode_t keycode = 0;
    xkb_level_index_t level = 0;
};

// Where each keysym sits on the first two levels of the first group, keycodes up to
// 255 only; the first level wins over the second, then the lower keycode.
std::map<xkb_keysym_t, Located> locate(xkb_keymap* keymap) {
    std::map<xkb_keysym_t, Located> found;
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        for (xkb_keycode_t kc = kFirstKeycode; kc <= kLastKeycode; ++kc) {
            if (xkb_keymap_num_layouts_for_key(keymap, kc) == 0) continue;
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms) == 1)
                found.try_emplace(syms[0], Located{kc, level});
        }
    }
    return found;
}

// Named keycodes up to 255 that the base layout leaves empty.
std::vector<xkb_keycode_t> spareKeycodes(xkb_keymap* keymap) {
    std::vector<xkb_keycode_t> spare;
    for (xkb_keycode_t kc = kFirstKeycode; kc <= kLastKeycode; ++kc) {
        if (xkb_keymap_key_get_name(keymap, kc) && xkb_keymap_num_layouts_for_key(keymap, kc) == 0)
            spare.push_back(kc);
    }
    return spare;
}

// The key a virtual key presses: the physical key by its name where it has a fixed
// place, else the key whose first level carries its keysym.
std::optional<xkb_keycode_t> keyOfVirtualKey(xkb_keymap* keymap,
                                             const std::map<xkb_keysym_t, Located>& located,
                                             std::uint8_t vk) {
    const x11::VirtualKey key = virtualKeyFor(vk);
    if (key.keysym == x11::kNoKeysym) return std::nullopt;
    if (key.keyName) {
        const xkb_keycode_t kc = xkb_keymap_key_by_name(keymap, key.keyName);
        if (kc != XKB_KEYCODE_INVALID && kc <= kLastKeycode &&
            xkb_keymap_num_layouts_for_key(keymap, kc) > 0) {
            return kc;
        }
    }
    auto it = located.find(key.keysym);
    if (it != located.end() && it->second.level == 0) return it->second.keycode;
    return std::nullopt;
}

std::string hex(xkb_keysym_t keysym) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", keysym);
    return buffer;
}

// The symbols of the keys added to the base: virtual keys alone on a key, characters
// two to a key (the second one with Shift), so that all of them fit below 256.
std::string extraKeys(xkb_keymap* base) {
    const auto located = locate(base);
    std::vector<xkb_keysym_t> keys;
    std::set<xkb_keysym_t> seen;
    for (int vk = 1; vk < 256; ++vk) {
        const xkb_keysym_t keysym = virtualKeyFor(static_cast<std::uint8_t>(vk)).keysym;
        if (keysym == x11::kNoKeysym || keyOfVirtualKey(base, located, std::uint8_t(vk))) continue;
        if (seen.insert(keysym).second) keys.push_back(keysym);
    }
    std::vector<xkb_keysym_t> characters;
    for (int c = 0x20; c < 256; ++c) {
        const xkb_keysym_t keysym = keysymForCp1252(static_cast<unsigned char>(c));
        if (keysym == x11::kNoKeysym || located.count(keysym) || !seen.insert(keysym).second)
            continue;
        characters.push_back(keysym);
    }
    const std::vector<xkb_keycode_t> spare = spareKeycodes(base);
    if (keys.size() + (characters.size() + 1) / 2 > spare.size())
        throw KeymapError("the keyboard has too few free keycodes for the program's keymap");
    std::string text;
    std::size_t next = 0;
    auto line = [&](const char* type, const std::string& symbols) {
        text += "    key <" + std::string(xkb_keymap_key_get_name(base, spare[next++])) +
                "> { type[Group1] = \"" + type + "\", symbols[Group1] = [ " + symbols + " ] };\n";
    };
    for (xkb_keysym_t keysym : keys) line("ONE_LEVEL", hex(keysym));
    for (std::size_t i = 0; i < characters.size(); i += 2) {
        if (i + 1 < characters.size())
            line("TWO_LEVEL", hex(characters[i]) + ", " + hex(characters[i + 1]));
        else
            line("ONE_LEVEL", hex(characters[i]));
    }
    return text;
}

std::uint32_t maskOf(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    return index == XKB_MOD_INVALID ? 0 : std::uint32_t(1) << index;
}

// The modifiers that select a level, never through a lock: the receiver would have to
// believe in a lock that the user's keyboard does not show.
std::optional<std::uint32_t> modsForLevel(xkb_keymap* keymap, const Located& at,
                                          std::uint32_t locks) {
    if (at.level == 0) return 0;
    xkb_mod_mask_t masks[16];
    const std::size_t n =
        xkb_keymap_key_get_mods_for_level(keymap, at.keycode, 0, at.level, masks, 16);
    for (std::size_t i = 0; i < n; ++i) {
        if (!(masks[i] & locks)) return masks[i];
    }
    return std::nullopt;
}

}  // namespace

WaylandKeymap WaylandKeymap::build() {
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS), &xkb_context_unref);
    if (!context) throw KeymapError("libxkbcommon could not start");
    KeymapPtr base = compile(context.get(), keymapSource({}));
    KeymapPtr keymap = compile(context.get(), keymapSource(extraKeys(base.get())));

    WaylandKeymap result;
    xkb_keymap* km = keymap.get();
    result.masks_ = {maskOf(km, XKB_MOD_NAME_SHIFT), maskOf(km, XKB_MOD_NAME_CTRL),
                     maskOf(km, XKB_MOD_NAME_ALT),   maskOf(km, XKB_MOD_NAME_LOGO),
                     maskOf(km, XKB_MOD_NAME_CAPS),  maskOf(km, XKB_MOD_NAME_NUM)};
    const std::uint32_t locks = result.masks_.capsLock | result.masks_.numLock;
    const auto located = locate(km);
    auto place = [&](xkb_keysym_t keysym, std::uint32_t extraMods) {
        auto it = located.find(keysym);
        if (it == located.end()) throw KeymapError("the program's keymap lacks a character");
        const auto mods = modsForLevel(km, it->second, locks);
        if (!mods) throw KeymapError("the program's keymap puts a character out of reach");
        return KeyPlacement{it->second.keycode, *mods | extraMods};
    };
    const std::uint32_t ctrl = result.masks_.control;
    for (int c = 0; c < 256; ++c) {
        const auto byte = static_cast<unsigned char>(c);
        KeyPlacement& p = result.characters_[byte];
        if (c < 32 || c == 127) {
            const x11::ControlChord chord = x11::controlChordFor(byte);
            p = place(chord.keysym, chord.ctrl ? ctrl : 0);
        } else {
            p = place(keysymForCp1252(byte), 0);
        }
    }
    for (int vk = 0; vk < 256; ++vk) {
        if (auto kc = keyOfVirtualKey(km, located, static_cast<std::uint8_t>(vk)))
            result.virtualKeys_[std::size_t(vk)] = KeyPlacement{*kc, 0};
    }
    std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(km, XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    if (!text) throw KeymapError("libxkbcommon could not write the program's keymap");
    result.text_ = text.get();
    return result;
}

std::optional<KeyPlacement> WaylandKeymap::virtualKey(std::uint8_t vk) const {
    return virtualKeys_[vk];
}

std::uint32_t WaylandKeymap::heldMask(std::uint8_t vk) const {
    switch (vk) {
        case 0x10:
        case 0xA0:
        case 0xA1:
            return masks_.shift;
        case 0x11:
        case 0xA2:
        case 0xA3:
            return masks_.control;
        case 0x12:
        case 0xA4:
        case 0xA5:
            return masks_.alt;
        case 0x5B:
        case 0x5C:
            return masks_.super;
        default:
            return 0;
    }
}

std::uint32_t WaylandKeymap::lockMask(std::uint8_t vk) const {
    if (vk == 0x14) return masks_.capsLock;
    if (vk == 0x90) return masks_.numLock;
    return 0;
}

}  // namespace kest::wayland
