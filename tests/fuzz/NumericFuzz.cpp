// Numeric values against strtod on the same grammar (the C locale's "." as the
// point), whole values against their range, and decimal texts that read back as
// themselves. {ASCII:n} codes meet the same values in the pipeline's fuzz target.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/NumericValue.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool ignored(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool digit(char c) {
    return c >= '0' && c <= '9';
}

// What the grammar reads, written for strtod: sign, digits with one point, and an
// exponent only when it has digits ("d" is an exponent letter too).
double modelValue(std::string_view text) {
    std::string s;
    for (char c : text)
        if (!ignored(c)) s += c;
    std::size_t i = 0;
    if (!s.empty() && s[0] == '&') {
        const int radix = s.size() > 1 && (s[1] == 'h' || s[1] == 'H')   ? 16
                          : s.size() > 1 && (s[1] == 'o' || s[1] == 'O') ? 8
                                                                         : 0;
        double v = 0;
        for (i = 2; radix && i < s.size(); ++i) {
            const char c = s[i];
            const int d = digit(c)                 ? c - '0'
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                   : 99;
            if (d >= radix) break;
            v = v * radix + d;
        }
        return v;
    }
    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) number += s[i++];
    bool digits = false, point = false;
    for (; i < s.size() && (digit(s[i]) || (s[i] == '.' && !point)); ++i) {
        point = point || s[i] == '.';
        digits = digits || digit(s[i]);
        number += s[i];
    }
    if (!digits) return 0;
    if (i < s.size() && std::string_view("eEdD").find(s[i]) != std::string_view::npos) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
        const std::size_t first = j;
        while (j < s.size() && digit(s[j])) exponent += s[j++];
        if (j > first) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

bool same(double a, double b) {
    return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kest::fuzz::asText(data, size);
    const double value = kest::numericValue(text);
    const double model = modelValue(text);
    FUZZ_CHECK(same(value, model) || (value == 0 && model == 0));

    // The text a value is written back as reads back as that value.
    FUZZ_CHECK(kest::numericValue(kest::decimalText(value)) == value);

    // Whole values: inside the range the rounded value, outside an error.
    const double rounded = kest::roundHalfEven(value);
    try {
        const long long whole = kest::wholeValue(text, -32768, 32767);
        FUZZ_CHECK(static_cast<double>(whole) == rounded);
    } catch (const kest::NumericRangeError&) {
        FUZZ_CHECK(!(rounded >= -32768 && rounded <= 32767));
    }

    return 0;
}
