#include "keyboard/TitleMatch.h"

#include "keyboard/Cp1252.h"

namespace kest {

namespace {

// Characters outside the code page stay as they are: they match only themselves.
std::u32string folded(const std::u32string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (char32_t u : text) {
        const int byte = unicodeToCp1252(u);
        out.push_back(byte < 0 ? u
                               : cp1252ToUnicode(cp1252Upper(static_cast<unsigned char>(byte))));
    }
    return out;
}

}  // namespace

std::optional<std::size_t> matchTitle(const std::u32string& wanted,
                                      const std::vector<std::u32string>& titles) {
    // Every title begins with nothing: an empty title would pick a window at random.
    if (wanted.empty()) return std::nullopt;
    const std::u32string key = folded(wanted);
    std::optional<std::size_t> prefix;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::u32string title = folded(titles[i]);
        if (title == key) return i;
        if (!prefix && title.starts_with(key)) prefix = i;
    }
    return prefix;
}

}  // namespace kest
