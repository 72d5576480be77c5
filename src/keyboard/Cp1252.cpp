#include "keyboard/Cp1252.h"

#include <array>

namespace kest {

namespace {

// 0x80..0x9F: the only range where Windows-1252 differs from Latin-1. The five holes
// keep their own value (a C1 control) so that every byte survives a round trip.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

void appendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Decodes one well-formed UTF-8 sequence at text[pos]. Returns its length, or 0 when
// the bytes there are not valid UTF-8 (overlong forms, surrogates and values above
// U+10FFFF included), in which case the caller takes the first byte as it is.
std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& u) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        u = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, u = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, u = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, u = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) return 0;
        u = (u << 6) | (next & 0x3F);
    }
    if (u < minimum || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
    return length;
}

// Calls take(u, true) for each character of the UTF-8 text, and take(byte, false) for
// each byte that is not valid UTF-8.
template <class Take>
void forEachCharacter(std::string_view text, Take take) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t u = 0;
        const std::size_t length = decodeUtf8(text, pos, u);
        if (length == 0) {
            take(char32_t(static_cast<unsigned char>(text[pos])), false);
            ++pos;
        } else {
            take(u, true);
            pos += length;
        }
    }
}

}  // namespace

char32_t cp1252ToUnicode(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F) return kHighTable[c - 0x80];
    return c;
}

int unicodeToCp1252(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] == u) return static_cast<int>(0x80 + i);
    }
    return -1;
}

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) appendUtf8(out, cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](char32_t u, bool valid) {
        const int byte = valid ? unicodeToCp1252(u) : int(u);
        out += byte < 0 ? '?' : static_cast<char>(byte);
    });
    return out;
}

std::u32string utf8ToUnicode(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](char32_t u, bool valid) { out += valid ? u : char32_t(0xFFFD); });
    return out;
}

unsigned char cp1252Upper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
        case 0x9A:
            return 0x8A;  // š -> Š
        case 0x9C:
            return 0x8C;  // œ -> Œ
        case 0x9E:
            return 0x8E;  // ž -> Ž
        case 0xFF:
            return 0x9F;  // ÿ -> Ÿ
        default:
            return c;  // ß and µ have no capital in this code page
    }
}

std::string cp1252Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(cp1252Upper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace kest
