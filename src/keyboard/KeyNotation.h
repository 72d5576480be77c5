#pragma once
// The key notation that keystroke text is written in: names in braces ("{ENTER}",
// "{left 42}"), "+", "^" and "%" for Shift, Ctrl and Alt over the next key or a group
// in parentheses, "~" for Enter, a single character in braces for itself ("{+}").
// A piece is parsed and validated whole before anything is typed.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kest {

class KeyboardDevice;

class KeyNotationError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct KeyAction {
    enum class Kind : std::uint8_t {
        Press,    // virtual key down (a modifier held over what follows)
        Release,  // virtual key up
        Tap,      // virtual key down and up (a named key)
        Type,     // one character, typed as written
    };
    Kind kind;
    std::uint8_t vk = 0;   // Press, Release, Tap
    unsigned char ch = 0;  // Type

    friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

// The most a "{key n}" repeat may ask for; more is invalid notation.
constexpr int kMaxRepeat = 10000;

// The most keys that the repeats ("{key n}") of one piece may add up to. Repeats
// multiply a short text many times over; beyond this the piece is invalid notation
// rather than millions of key events. Written text is never limited by its length.
constexpr std::size_t kMaxRepeatedKeys = 1000000;

// Throws KeyNotationError for invalid notation. The whole list is held in memory:
// SendKeys does not use it for that reason, it streams.
std::vector<KeyAction> parseKeyNotation(std::string_view keys);

// Plays the actions on the device. Whatever happens, every key that the actions
// pressed is released before this returns (or rethrows).
void playKeyActions(const std::vector<KeyAction>& actions, KeyboardDevice& device);

// The text written in the notation so that every character is typed as itself: the
// notation's special characters go in braces ("a+b" becomes "a{+}b").
std::string literalKeyNotation(std::string_view text);

// The platform's SendKeys: validate the whole piece (typing nothing of invalid
// notation), then parse and play it in chunks of bounded size, so a piece of any
// length is typed whole in bounded memory; with wait return only when the display
// server has taken every event.
void SendKeys(std::string_view keys, bool wait, KeyboardDevice& device);

}  // namespace kest
