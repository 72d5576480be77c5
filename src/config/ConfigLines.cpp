#include "config/ConfigLines.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/NumericValue.h"

namespace kest {

std::optional<std::string> ConfigLineReader::next() {
    if (atEnd()) return std::nullopt;
    const std::size_t cr = bytes_.find(lfEnds_ ? '\n' : '\r', pos_);
    if (cr == std::string::npos) {
        std::string line = bytes_.substr(pos_);
        pos_ = bytes_.size();
        return line;
    }
    std::string line = bytes_.substr(pos_, cr - pos_);
    pos_ = cr + 1;
    if (!lfEnds_ && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
    return line;
}

std::vector<std::string> splitLines(std::string bytes) {
    ConfigLineReader reader(std::move(bytes));
    std::vector<std::string> lines;
    while (auto line = reader.next()) lines.push_back(std::move(*line));
    return lines;
}

void appendLine(std::string& out, std::string_view value) {
    out.append(value);
    out.append("\r\n");
}

std::string trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string checkBoxText(int state) {
    // The sign position holds a blank for the non-negative states we write.
    return (state < 0 ? "-" : " ") + std::to_string(std::abs(state)) + " ";
}

std::optional<int> parseCheckBox(std::string_view line) {
    const double rounded = roundHalfEven(numericValue(line));
    if (rounded == 0.0 || rounded == 1.0 || rounded == 2.0) return static_cast<int>(rounded);
    return std::nullopt;
}

std::string truthText(bool value) {
    return value ? "True" : "False";
}

namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A whole-line number: blanks around it, nothing else beside it.
bool isWholeNumber(const std::string& text) {
    if (text.empty()) return false;
    if (text.size() > 2 && text[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
        const bool hex = kind == 'H';
        if (!hex && kind != 'O') return false;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (hex ? !std::isxdigit(c) : (c < '0' || c > '7')) return false;
        }
        return true;
    }
    // A whole decimal number and nothing else, read with "." as the point in every locale
    // (and not "inf", "nan" or "0x1F", which a stored truth value never has).
    if (text.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
    std::string_view number = text;
    if (!number.empty() && (number.front() == '+' || number.front() == '-'))
        number.remove_prefix(1);
    if (number.empty() || number.front() == '-') return false;
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    return result.ptr == number.data() + number.size() && result.ec != std::errc::invalid_argument;
}

}  // namespace

std::optional<bool> parseTruth(std::string_view line) {
    const std::string text = lowerAscii(trimSpaces(line));
    if (text == "true") return true;
    if (text == "false") return false;
    if (isWholeNumber(text)) return numericValue(text) != 0.0;
    return std::nullopt;
}

}  // namespace kest
