#pragma once
// Checks for the fuzz targets: a failed check prints the input in hex (so that it can
// be pasted into a test) and aborts, which libFuzzer reports and saves as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kest::fuzz {

inline std::string_view& currentInput() {
    static std::string_view input;
    return input;
}

// Remembers the input for the report of a failed check.
inline std::string_view takeInput(const std::uint8_t* data, std::size_t size) {
    currentInput() = std::string_view(reinterpret_cast<const char*>(data), size);
    return currentInput();
}

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\ninput (%zu bytes, hex): ", file, line, what,
                 currentInput().size());
    for (unsigned char c : currentInput()) std::fprintf(stderr, "%02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

// Splits the input at the first byte 0xFF: the part before it and the rest.
inline std::string_view cutAt(std::string_view& rest, char mark = '\xff') {
    const std::size_t at = rest.find(mark);
    const std::string_view head = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    return head;
}

}  // namespace kest::fuzz

#define FUZZ_CHECK(cond)                                            \
    do {                                                            \
        if (!(cond)) ::kest::fuzz::fail(#cond, __FILE__, __LINE__); \
    } while (0)
