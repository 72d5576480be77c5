#pragma once
// Checks for the fuzz targets: a failed check names itself and aborts, which libFuzzer
// reports and saves as a crash (scripts/fuzz prints the saved input in hex).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kest::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits the input at the first byte 0xFF: the part before it and the rest.
inline std::string_view cutAt(std::string_view& rest, char mark = '\xff') {
    const std::size_t at = rest.find(mark);
    const std::string_view head = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    return head;
}

}  // namespace kest::fuzz

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
