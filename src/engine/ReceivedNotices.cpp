#include "engine/ReceivedNotices.h"

#include <cstdio>

namespace kest {

namespace {

const char* meaningOf(char c) {
    switch (c) {
        case '+':
            return "Shift for the next key";
        case '^':
            return "Ctrl for the next key";
        case '%':
            return "Alt for the next key";
        case '~':
            return "the Enter key";
        case '(':
        case ')':
            return "a group of keys";
        case '{':
        case '}':
            return "a key name in braces";
        default:
            return "reserved in the key notation";
    }
}

bool continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence of two to four bytes at the start of
// the text (0 for none) and the character it stands for.
std::size_t utf8Sequence(std::string_view s, char32_t& code) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const std::size_t n = s.size();
    if (n >= 2 && b(0) >= 0xC2 && b(0) <= 0xDF && continuation(b(1))) {
        code = char32_t(b(0) & 0x1F) << 6 | (b(1) & 0x3F);
        return 2;
    }
    if (n >= 3 && b(0) >= 0xE0 && b(0) <= 0xEF && continuation(b(1)) && continuation(b(2)) &&
        !(b(0) == 0xE0 && b(1) < 0xA0) && !(b(0) == 0xED && b(1) >= 0xA0)) {
        code = char32_t(b(0) & 0x0F) << 12 | char32_t(b(1) & 0x3F) << 6 | (b(2) & 0x3F);
        return 3;
    }
    if (n >= 4 && b(0) >= 0xF0 && b(0) <= 0xF4 && continuation(b(1)) && continuation(b(2)) &&
        continuation(b(3)) && !(b(0) == 0xF0 && b(1) < 0x90) && !(b(0) == 0xF4 && b(1) >= 0x90)) {
        code = char32_t(b(0) & 0x07) << 18 | char32_t(b(1) & 0x3F) << 12 |
               char32_t(b(2) & 0x3F) << 6 | (b(3) & 0x3F);
        return 4;
    }
    return 0;
}

}  // namespace

bool isNotationCharacter(char c) {
    return std::string_view("+^%~()[]{}").find(c) != std::string_view::npos;
}

std::string notationNotice(char c) {
    const std::string ch(1, c);
    return "Received \"" + ch + "\" is key notation (" + meaningOf(c) +
           "), not a character, and no rule wrote it: the rule \"" + ch + "\" -> \"{" + ch +
           "}\" types it as it is";
}

std::string utf8Notice(std::string_view received) {
    for (std::size_t i = 0; i < received.size(); ++i) {
        if (static_cast<unsigned char>(received[i]) < 0xC2) continue;
        char32_t code = 0;
        const std::size_t length = utf8Sequence(received.substr(i), code);
        if (length == 0) continue;
        // Windows-1252 and Unicode agree from A0 to FF, where the accented letters are.
        std::string meant;
        if (code >= 0xA0 && code <= 0xFF) {
            meant = "\"" + std::string(1, static_cast<char>(code)) + "\"";
        } else {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
            meant = name;
        }
        return "Received bytes \"" + std::string(received.substr(i, length)) + "\" are UTF-8 for " +
               meant +
               ": this instance reads Windows-1252, one byte a character, and types them as "
               "they are; set the device to send Windows-1252 (Latin-1)";
    }
    return {};
}

}  // namespace kest
