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
    // Sized once: growing a long text by doubling would copy it and fault in fresh
    // pages again at every step.
    std::size_t size = text.size();
    if (to.size() > from.size()) {
        for (std::size_t at = found; at != std::string::npos;
             at = text.find(from, at + from.size()))
            size += to.size() - from.size();
    }
    out.reserve(size);
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
