#include "keyboard/ApiKbII.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "engine/Clock.h"
#include "keyboard/KeyboardDevice.h"
#include "keyboard/TextReplace.h"

namespace kest {

namespace {

constexpr double kEventPause = 0.1;

std::string hold(unsigned char vk) {
    return {static_cast<char>(kHoldCode), static_cast<char>(vk)};
}
std::string press(unsigned char vk) {
    return {static_cast<char>(kKeyCodePrefix), static_cast<char>(vk)};
}

using EncoderRow = std::pair<std::string, std::string>;

// Applied row by row. The order alone keeps a written code from being matched again:
// the modifiers go first because "{LEFT}" writes 37 ('%'), the function keys last
// because "{F12}" writes 123 ('{'), and no row writes a '}' or a letter that a later
// row could complete into a name. "{HELP}" is meant to be picked up by "{F1}".
std::vector<EncoderRow> makeEncoderTable() {
    std::vector<EncoderRow> rows = {
        {"+", hold(16)},          {"^", hold(17)},          {"%", hold(18)},
        {"{HOME}", press(36)},    {"{END}", press(35)},     {"{UP}", press(38)},
        {"{DOWN}", press(40)},    {"{LEFT}", press(37)},    {"{RIGHT}", press(39)},
        {"{ESC}", press(27)},     {"{PRTSC}", press(44)},   {"{PGUP}", press(33)},
        {"{PGDN}", press(34)},    {"{INSERT}", press(45)},  {"{INS}", press(45)},
        {"{ENTER}", press(13)},   {"~", press(13)},         {"{BACKSPACE}", press(8)},
        {"{BS}", press(8)},       {"{BKSP}", press(8)},     {"{TAB}", press(9)},
        {"{NUMLOCK}", hold(144)}, {"{CAPSLOCK}", hold(20)}, {"{SCROLLLOCK}", hold(145)},
        {"{HELP}", "{F1}"},
    };
    for (int n = 1; n <= 12; ++n) {
        rows.emplace_back("{F" + std::to_string(n) + "}",
                          press(static_cast<unsigned char>(111 + n)));
    }
    return rows;
}

// One call's key events. It remembers every key it has put down, so that a device
// failure half-way leaves no key pressed behind.
class ApiPlayer {
  public:
    ApiPlayer(KeyboardDevice& device, Clock& clock) : device_(device), clock_(clock) {}

    void play(std::string_view encoded) {
        try {
            playCodes(encoded);
        } catch (...) {
            releaseAfterFailure();
            throw;
        }
    }

  private:
    void playCodes(std::string_view encoded) {
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            auto code = static_cast<unsigned char>(encoded[i]);
            bool prefixed = code == kHoldCode || code == kKeyCodePrefix;
            // A hold code or key code prefix with nothing after it has nothing to act on.
            if (prefixed && i + 1 == encoded.size()) break;
            if (code == kHoldCode) {
                holdKey(static_cast<unsigned char>(encoded[++i]));
                continue;
            }
            if (code == kKeyCodePrefix) {
                tap(static_cast<unsigned char>(encoded[++i]));
            } else if (code >= 'a' && code <= 'z') {
                tap(static_cast<std::uint8_t>(code - 32));
            } else if (code >= 'A' && code <= 'Z') {
                down(kVkShift);
                wait();
                tap(code);
                wait();
                up(kVkShift);
            } else {
                tap(code);
            }
            releaseHeld();
        }
        releaseHeld();
    }

    void holdKey(std::uint8_t vk) {
        held_.push_back(vk);  // before the call: a failing press may still have gone through
        device_.keybdEvent(vk, kKeyDown);
    }

    // In the order they were pressed. A deque, because a million holds released one
    // at a time from the front of a vector would move the rest each time.
    void releaseHeld() {
        while (!held_.empty()) {
            device_.keybdEvent(held_.front(), kKeyUp);
            held_.pop_front();
        }
    }

    void tap(std::uint8_t vk) {
        down(vk);
        wait();
        up(vk);
    }

    void down(std::uint8_t vk) {
        typing_.push_back(vk);
        device_.keybdEvent(vk, kKeyDown);
    }

    void up(std::uint8_t vk) {
        device_.keybdEvent(vk, kKeyUp);
        typing_.pop_back();
    }

    void wait() { API_WAIT(kEventPause, clock_); }

    // The key being typed comes up first (it went down last), then the held keys in
    // the order they were pressed, as a normal release would have them.
    void releaseAfterFailure() {
        std::vector<std::uint8_t> keys(typing_.rbegin(), typing_.rend());
        keys.insert(keys.end(), held_.begin(), held_.end());
        typing_.clear();
        held_.clear();
        for (std::uint8_t vk : keys) {
            try {
                device_.keybdEvent(vk, kKeyUp);
            } catch (...) {
                // The caller gets the first failure; the other keys still get their try.
            }
        }
    }

    KeyboardDevice& device_;
    Clock& clock_;
    std::deque<std::uint8_t> held_;
    std::vector<std::uint8_t> typing_;
};

}  // namespace

std::string encodeApiKeys(std::string_view keys) {
    static const std::vector<EncoderRow> table = makeEncoderTable();
    std::string text(keys);
    // Most rows are names in braces: a text without "{" needs none of them, and a
    // long text is then not read once for each of those rows.
    bool braces = text.find('{') != std::string::npos;
    for (const auto& [from, to] : table) {
        if (from.front() == '{' && !braces) continue;
        replaceAll(text, from, to);
        braces = braces || to.find('{') != std::string::npos;
    }
    return text;
}

void playApiKeys(std::string_view encoded, KeyboardDevice& device, Clock& clock) {
    ApiPlayer(device, clock).play(encoded);
}

void API_SEND_KEYS(std::string& keys, KeyboardDevice& device, Clock& clock) {
    keys = encodeApiKeys(keys);
    playApiKeys(keys, device, clock);
}

void API_WAIT(double seconds, Clock& clock) {
    pauseUntilMidnightAtMost(seconds, clock);
}

}  // namespace kest
