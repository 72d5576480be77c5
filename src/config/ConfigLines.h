#pragma once
// Lines and value forms of the configuration files. Every file is 8-bit text whose
// values each end with CR LF; a reader takes a line up to CR or CR LF, so a lone LF
// stays inside its value and a last line without terminator is still a line. A file
// that holds no CR at all was saved by an editor with Linux line ends: there an LF
// ends a line, so that the user's settings are read rather than taken as one value.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kest {

// Reads lines from an in-memory file image, one at a time, with an end test.
class ConfigLineReader {
  public:
    explicit ConfigLineReader(std::string bytes)
        : bytes_(std::move(bytes)), lfEnds_(bytes_.find('\r') == std::string::npos) {}
    bool atEnd() const { return pos_ >= bytes_.size(); }
    // The next line without its terminator; nullopt past the end.
    std::optional<std::string> next();

  private:
    std::string bytes_;
    std::size_t pos_ = 0;
    bool lfEnds_;
};

std::vector<std::string> splitLines(std::string bytes);

// Appends value + CR LF.
void appendLine(std::string& out, std::string_view value);

// Leading and trailing spaces removed (tabs and other characters are kept).
std::string trimSpaces(std::string_view text);

// Check-box state 0, 1 or 2 written with a sign position and a trailing space: " 1 ".
std::string checkBoxText(int state);
// The numeric value of the line rounded half to even; only 0, 1 and 2 are states.
std::optional<int> parseCheckBox(std::string_view line);

std::string truthText(bool value);
// "True"/"False" in any letter case, or a number (non-zero is true); else nullopt.
std::optional<bool> parseTruth(std::string_view line);

}  // namespace kest
