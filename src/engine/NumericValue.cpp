#include "engine/NumericValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kest {

namespace {

bool isIgnored(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the characters that are not ignored, one at a time.
class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}
    char peek() {
        while (pos_ < text_.size() && isIgnored(text_[pos_])) ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void advance() { ++pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

double radixValue(Reader& in, int radix) {
    double value = 0;
    for (int d = digitValue(in.peek()); d < radix; d = digitValue(in.peek())) {
        value = value * radix + d;
        in.advance();
    }
    return value;
}

// The exponent of the leading digit of a number "digits[.digits][e[sign]digits]"
// with at least one non-zero digit: 1e309 and 10...0e-1 both give 309, 0.0...01e1
// gives its number of zeros less one. Saturates far beyond any double.
long long leadingExponent(std::string_view number) {
    constexpr long long kFar = 1000000000;
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
            digits.remove_prefix(1);
        for (char d : digits) exponent = std::min(exponent * 10 + (d - '0'), kFar);
        if (negative) exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    // Digits between the leading one and the point, or zeros between them after it.
    const long long shift = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    return exponent + shift;
}

// Reads the collected sign, digits, point and exponent. from_chars, unlike strtod,
// always takes "." as the point, whatever locale the program runs in.
double parseDecimal(std::string_view number) {
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double: as strtod rounds it, to infinity or to zero. Only the
        // magnitude decides, and a value out of range is either above 1e308 or below
        // 1e-323, so the sign of its leading digit's exponent tells which.
        value = leadingExponent(number) >= 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

// Collects sign, digits, one point and an exponent into plain text.
double decimalValue(Reader& in) {
    std::string number;
    if (in.peek() == '+' || in.peek() == '-') {
        number += in.peek();
        in.advance();
    }
    bool digits = false;
    bool point = false;
    for (char c = in.peek(); isDigit(c) || (c == '.' && !point); c = in.peek()) {
        point = point || c == '.';
        digits = digits || isDigit(c);
        number += c;
        in.advance();
    }
    if (!digits) return 0;
    char e = in.peek();
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
        in.advance();
        std::string exponent;
        if (in.peek() == '+' || in.peek() == '-') {
            exponent += in.peek();
            in.advance();
        }
        bool expDigits = false;
        while (isDigit(in.peek())) {
            exponent += in.peek();
            expDigits = true;
            in.advance();
        }
        if (expDigits) number += "e" + exponent;
    }
    return parseDecimal(number);
}

}  // namespace

double numericValue(std::string_view text) {
    Reader in(text);
    if (in.peek() == '&') {
        in.advance();
        char kind = in.peek();
        if (kind == 'h' || kind == 'H') {
            in.advance();
            return radixValue(in, 16);
        }
        if (kind == 'o' || kind == 'O') {
            in.advance();
            return radixValue(in, 8);
        }
        return 0;
    }
    return decimalValue(in);
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff > 0.5) return floor + 1;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

long long wholeValue(std::string_view text, long long lo, long long hi) {
    double value = roundHalfEven(numericValue(text));
    if (!(value >= static_cast<double>(lo) && value <= static_cast<double>(hi))) {
        throw NumericRangeError("number out of range: " + std::string(text));
    }
    return static_cast<long long>(value);
}

std::int16_t wholeValue16(std::string_view text) {
    return static_cast<std::int16_t>(wholeValue(text, std::numeric_limits<std::int16_t>::min(),
                                                std::numeric_limits<std::int16_t>::max()));
}

std::int32_t wholeValue32(std::string_view text) {
    return static_cast<std::int32_t>(wholeValue(text, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max()));
}

std::string decimalText(double value) {
    if (value == 0) return "0";  // also for -0
    // "inf" would read back as 0; the shortest text that reads back as infinity.
    if (std::isinf(value)) return value > 0 ? "1e999" : "-1e999";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace kest
