#pragma once
// Keysyms for the characters and virtual keys the device types. Plain data, no X
// headers, so the tables can be checked without a display.

#include <cstdint>

namespace kest::x11 {

using Keysym = std::uint32_t;

constexpr Keysym kNoKeysym = 0;

// The keysym to bind for a printable Windows-1252 character: the Latin-1 keysym,
// the classic keysym where X has one that means exactly this character, else the
// Unicode keysym. kNoKeysym for control characters (0-31, 127).
Keysym keysymForCp1252(unsigned char c);

// The Windows-1252 byte a keysym produces, or -1 when it produces none (function
// keys, dead keys, characters outside the code page). Knows Latin-1, the Unicode
// keysyms and the classic keysyms of the 0x80-0x9F characters, so a layout that
// uses either form is found.
int cp1252ForKeysym(Keysym keysym);

// The key Windows types for a control character (0-31, 127), and whether Ctrl goes
// with it: Backspace, Tab, Enter and Escape for 8, 9, 13 and 27; Ctrl+Enter for 10,
// Ctrl+Backspace for 127; Ctrl with the letter for 1-26 and with @ \ ] ^ _ for 0 and
// 28-31.
struct ControlChord {
    Keysym keysym = kNoKeysym;
    bool ctrl = false;
};
ControlChord controlChordFor(unsigned char c);

// A Windows virtual-key code as an X key: the physical key by its XKB key name
// where the key has a fixed place on a PC keyboard, and the keysym to look for
// when the layout has no key of that name (or when the key is defined by what it
// types, as letters and digits are).
struct VirtualKey {
    Keysym keysym = kNoKeysym;
    const char* keyName = nullptr;  // up to 4 characters, as in the XKB keycodes
};

// kNoKeysym (and no name) for codes that have no key on a PC keyboard.
VirtualKey virtualKeyFor(std::uint8_t vk);

}  // namespace kest::x11
