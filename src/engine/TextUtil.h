#pragma once
// Small text helpers shared by the core.

#include <string_view>

namespace kest {

// Without leading and trailing blanks (spaces), as the fields are trimmed.
inline std::string_view trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

inline char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace kest
