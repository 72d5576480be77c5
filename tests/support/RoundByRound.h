#pragma once
// The plain round-by-round rewrite that the linear macro loop must equal: each round
// searches from the start of the text, at most N + 1 rounds. Quadratic; for tests.

#include <string>
#include <string_view>

#include "engine/OutputMacros.h"

namespace kest::test {

inline void roundByRound(std::string& text, std::string_view open, std::string_view close,
                         const MacroExpansion& expand) {
    const std::size_t rounds = text.size() + 1;
    for (std::size_t round = 0; round < rounds; ++round) {
        const std::size_t p = text.find(open);
        if (p == std::string::npos) return;
        const std::size_t q = text.find(close, p + 1);
        if (q == std::string::npos) return;
        const std::size_t start = p + open.size();
        const auto replacement = expand(std::string_view(text).substr(start, q - start));
        if (!replacement) return;
        text = text.substr(0, p) + *replacement + text.substr(q + close.size());
    }
}

}  // namespace kest::test
