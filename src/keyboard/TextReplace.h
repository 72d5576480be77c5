#pragma once
// Replace-all on 8-bit text, as the encoder and the mode tokens need it.

#include <string>
#include <string_view>

namespace kest {

// Every occurrence, left to right, in one pass: what a replacement writes is never
// searched again. Linear in the text, however many occurrences there are.
inline void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty()) return;
    std::size_t found = text.find(from);
    if (found == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (found != std::string::npos) {
        out.append(text, pos, found - pos);
        out.append(to);
        pos = found + from.size();
        found = text.find(from, pos);
    }
    out.append(text, pos);
    text = std::move(out);
}

}  // namespace kest
