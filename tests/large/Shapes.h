#pragma once
// Large inputs of the shapes that stress the core, shared by the large-input tests
// and bench/bench_pipeline. Each returns about the given number of bytes.

#include <string>

namespace kest::shapes {

inline std::string repeatedTo(const std::string& unit, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() + unit.size() <= bytes) text += unit;
    return text;
}

// One date macro whose pattern is a single long run of one character.
inline std::string longDatePattern(std::size_t bytes) {
    return "{CURDATE:" + std::string(bytes, '-') + "}";
}

// Macros back to back: character codes and TCP send-backs.
inline std::string denseMacros(std::size_t bytes) {
    return repeatedTo("{ASCII:65}{TX_TCP[x]}", bytes);
}

// Key notation with a great many open groups, then many modifiers inside them.
inline std::string deepGroups(std::size_t bytes) {
    const std::size_t groups = bytes / 4;
    return std::string(groups, '(') + repeatedTo("+a", bytes / 2 - bytes / 4) +
           std::string(groups, ')');
}

// API player input: one long run of Shift holds over a single key.
inline std::string manyHolds(std::size_t bytes) {
    return std::string(bytes - 1, '+') + "a";
}

// Key notation that is plain text: no modifier, group or brace.
inline std::string plainText(std::size_t bytes) {
    return repeatedTo("The quick brown fox jumps over the lazy dog 0123456789. ", bytes);
}

}  // namespace kest::shapes
