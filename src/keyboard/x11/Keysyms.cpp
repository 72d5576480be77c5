#include "keyboard/x11/Keysyms.h"

#include <array>

#include "keyboard/Cp1252.h"

namespace kest::x11 {

namespace {

// Classic keysyms of the characters 0x80-0x9F, where X has one that means exactly
// that character and every toolkit knows it; kNoKeysym elsewhere (the undefined bytes
// among them). "‰" (0x89) has the classic keysym permille (0x0ad5), but GTK does not
// turn it into a character and drops the key: it goes by its Unicode keysym, and a
// layout key that carries permille is not used for it.
constexpr std::array<Keysym, 32> kHighClassic{{
    0x20ac, 0,      0x0afd, 0x08f6, 0x0afe, 0x0aae, 0x0af1, 0x0af2, 0,      0,      0x01a9,
    0,      0x13bc, 0,      0x01ae, 0,      0,      0x0ad0, 0x0ad1, 0x0ad2, 0x0ad3, 0,
    0x0aaa, 0x0aa9, 0,      0x0ac9, 0x01b9, 0,      0x13bd, 0,      0x01be, 0x13be,
}};

// The bullet's classic keysym is only "close to" U+2022, so it is recognised in a
// layout but never bound: a spare key gets the exact Unicode keysym instead.
constexpr Keysym kBulletClassic = 0x0ae6;
constexpr Keysym kUnicodeKeysymBase = 0x01000000;

}  // namespace

Keysym keysymForCp1252(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return kNoKeysym;
    if (c < 0x80 || c >= 0xA0) return c;
    const Keysym classic = kHighClassic[c - 0x80];
    return classic != kNoKeysym ? classic : kUnicodeKeysymBase + cp1252ToUnicode(c);
}

ControlChord controlChordFor(unsigned char c) {
    switch (c) {
        case 8:
            return {0xff08, false};  // BackSpace
        case 9:
            return {0xff09, false};  // Tab
        case 10:
            return {0xff0d, true};  // Return
        case 13:
            return {0xff0d, false};
        case 27:
            return {0xff1b, false};  // Escape
        case 127:
            return {0xff08, true};
        case 0:
            return {'@', true};
        default:
            break;
    }
    if (c >= 28 && c <= 31) return {Keysym("\\]^_"[c - 28]), true};
    return {Keysym('a' + c - 1), true};
}

int cp1252ForKeysym(Keysym keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
        return int(keysym);
    }
    if (keysym == kBulletClassic) return 0x95;
    if ((keysym & 0xFF000000) == kUnicodeKeysymBase) {
        const char32_t u = keysym & 0x00FFFFFF;
        // Unicode keysyms below U+0100 are not used: Latin-1 has its own.
        if (u < 0x100) return -1;
        return unicodeToCp1252(u);
    }
    for (std::size_t i = 0; i < kHighClassic.size(); ++i) {
        if (kHighClassic[i] != kNoKeysym && kHighClassic[i] == keysym) {
            return int(0x80 + i);
        }
    }
    return -1;
}

namespace {

constexpr Keysym kF1 = 0xffbe;

VirtualKey oemKey(std::uint8_t vk) {
    switch (vk) {
        case 0xBA:
            return {';', "AC10"};
        case 0xBB:
            return {'=', "AE12"};
        case 0xBC:
            return {',', "AB08"};
        case 0xBD:
            return {'-', "AE11"};
        case 0xBE:
            return {'.', "AB09"};
        case 0xBF:
            return {'/', "AB10"};
        case 0xC0:
            return {'`', "TLDE"};
        case 0xDB:
            return {'[', "AD11"};
        case 0xDC:
            return {'\\', "BKSL"};
        case 0xDD:
            return {']', "AD12"};
        case 0xDE:
            return {'\'', "AC11"};
        case 0xE2:
            return {'<', "LSGT"};
        default:
            return {};
    }
}

VirtualKey mediaKey(std::uint8_t vk) {
    switch (vk) {
        case 0x5F:
            return {0x1008FF2F, nullptr};  // Sleep
        case 0xA6:
            return {0x1008FF26, nullptr};  // Browser back
        case 0xA7:
            return {0x1008FF27, nullptr};  // Browser forward
        case 0xA8:
            return {0x1008FF29, nullptr};  // Browser refresh
        case 0xA9:
            return {0x1008FF28, nullptr};  // Browser stop
        case 0xAA:
            return {0x1008FF1B, nullptr};  // Browser search
        case 0xAB:
            return {0x1008FF30, nullptr};  // Browser favorites
        case 0xAC:
            return {0x1008FF18, nullptr};  // Browser home
        case 0xAD:
            return {0x1008FF12, nullptr};  // Volume mute
        case 0xAE:
            return {0x1008FF11, nullptr};  // Volume down
        case 0xAF:
            return {0x1008FF13, nullptr};  // Volume up
        case 0xB0:
            return {0x1008FF17, nullptr};  // Next track
        case 0xB1:
            return {0x1008FF16, nullptr};  // Previous track
        case 0xB2:
            return {0x1008FF15, nullptr};  // Stop
        case 0xB3:
            return {0x1008FF14, nullptr};  // Play/pause
        case 0xB4:
            return {0x1008FF19, nullptr};  // Mail
        case 0xB5:
            return {0x1008FF32, nullptr};  // Media select
        case 0xB6:
            return {0x1008FF40, nullptr};  // Application 1
        case 0xB7:
            return {0x1008FF41, nullptr};  // Application 2
        default:
            return oemKey(vk);
    }
}

VirtualKey keypadKey(std::uint8_t vk) {
    static constexpr const char* kDigitNames[10] = {"KP0", "KP1", "KP2", "KP3", "KP4",
                                                    "KP5", "KP6", "KP7", "KP8", "KP9"};
    if (vk >= 0x60 && vk <= 0x69) return {Keysym(0xffb0 + vk - 0x60), kDigitNames[vk - 0x60]};
    switch (vk) {
        case 0x6A:
            return {0xffaa, "KPMU"};
        case 0x6B:
            return {0xffab, "KPAD"};
        case 0x6C:
            return {0xffac, nullptr};
        case 0x6D:
            return {0xffad, "KPSU"};
        case 0x6E:
            return {0xffae, "KPDL"};
        case 0x6F:
            return {0xffaf, "KPDV"};
        default:
            return mediaKey(vk);
    }
}

VirtualKey modifierKey(std::uint8_t vk) {
    switch (vk) {
        case 0x10:
            return {0xffe1, "LFSH"};
        case 0x11:
            return {0xffe3, "LCTL"};
        case 0x12:
            return {0xffe9, "LALT"};
        case 0x14:
            return {0xffe5, "CAPS"};
        case 0x5B:
            return {0xffeb, "LWIN"};
        case 0x5C:
            return {0xffec, "RWIN"};
        case 0x5D:
            return {0xff67, "COMP"};
        case 0x90:
            return {0xff7f, "NMLK"};
        case 0x91:
            return {0xff14, "SCLK"};
        case 0xA0:
            return {0xffe1, "LFSH"};
        case 0xA1:
            return {0xffe2, "RTSH"};
        case 0xA2:
            return {0xffe3, "LCTL"};
        case 0xA3:
            return {0xffe4, "RCTL"};
        case 0xA4:
            return {0xffe9, "LALT"};
        case 0xA5:
            return {0xffea, "RALT"};
        default:
            return keypadKey(vk);
    }
}

VirtualKey editingKey(std::uint8_t vk) {
    switch (vk) {
        case 0x03:
            return {0xff6b, nullptr};  // Cancel is Ctrl+Break on a PC keyboard
        case 0x08:
            return {0xff08, "BKSP"};
        case 0x09:
            return {0xff09, "TAB"};
        case 0x0C:
            return {0xff0b, nullptr};
        case 0x0D:
            return {0xff0d, "RTRN"};
        case 0x13:
            return {0xff13, "PAUS"};
        case 0x1B:
            return {0xff1b, "ESC"};
        case 0x20:
            return {0x20, "SPCE"};
        case 0x21:
            return {0xff55, "PGUP"};
        case 0x22:
            return {0xff56, "PGDN"};
        case 0x23:
            return {0xff57, "END"};
        case 0x24:
            return {0xff50, "HOME"};
        case 0x25:
            return {0xff51, "LEFT"};
        case 0x26:
            return {0xff52, "UP"};
        case 0x27:
            return {0xff53, "RGHT"};
        case 0x28:
            return {0xff54, "DOWN"};
        case 0x29:
            return {0xff60, nullptr};
        case 0x2A:
            return {0xff61, "PRSC"};
        case 0x2B:
            return {0xff62, nullptr};
        case 0x2C:
            return {0xff61, "PRSC"};
        case 0x2D:
            return {0xff63, "INS"};
        case 0x2E:
            return {0xffff, "DELE"};
        case 0x2F:
            return {0xff6a, "HELP"};
        default:
            return modifierKey(vk);
    }
}

}  // namespace

VirtualKey virtualKeyFor(std::uint8_t vk) {
    // Letters and digits are keys by what they type, as Windows assigns them per layout.
    if (vk >= 'A' && vk <= 'Z') return {Keysym(vk - 'A' + 'a'), nullptr};
    if (vk >= '0' && vk <= '9') return {Keysym(vk), nullptr};
    if (vk >= 0x70 && vk <= 0x87) {
        // F13 and up have no name of their own in common keymaps (their places carry
        // launcher keysyms), so they go by keysym and get a spare key where missing.
        static constexpr const char* kNames[12] = {"FK01", "FK02", "FK03", "FK04", "FK05", "FK06",
                                                   "FK07", "FK08", "FK09", "FK10", "FK11", "FK12"};
        const int n = vk - 0x70;
        return {Keysym(kF1 + n), n < 12 ? kNames[n] : nullptr};
    }
    return editingKey(vk);
}

}  // namespace kest::x11
