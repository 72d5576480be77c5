#pragma once
// The one number reader used for every number typed into a field or read from a
// configuration line: blanks, tabs and line feeds are ignored anywhere, an optional
// sign, digits, one decimal point and an exponent are read (or &H / &O followed by
// hexadecimal or octal digits), reading stops at the first character that cannot
// continue the number, and a text without a number is 0.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kest {

// Thrown when a value does not fit the whole-number width the caller needs.
class NumericRangeError : public std::range_error {
  public:
    using std::range_error::range_error;
};

double numericValue(std::string_view text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// numericValue rounded half to even; throws NumericRangeError outside [lo, hi].
long long wholeValue(std::string_view text, long long lo, long long hi);
std::int16_t wholeValue16(std::string_view text);
std::int32_t wholeValue32(std::string_view text);

// The shortest decimal text that reads back as the same value ("10", "7.5", "-1").
std::string decimalText(double value);

}  // namespace kest
