#pragma once
// API_KB_II: the program's own keystroke encoder and key-event player. The encoder
// rewrites modifiers and a fixed set of key names into codes 254 (hold) and 255
// (press and release) followed by a virtual-key code; the player turns the result
// into keybd_event calls with 0.1 s between the events of one character.

#include <string>
#include <string_view>

namespace kest {

class Clock;
class KeyboardDevice;

constexpr unsigned char kHoldCode = 254;
constexpr unsigned char kKeyCodePrefix = 255;

std::string encodeApiKeys(std::string_view keys);
void playApiKeys(std::string_view encoded, KeyboardDevice& device, Clock& clock);

// Encodes keys in place, then plays them.
void API_SEND_KEYS(std::string& keys, KeyboardDevice& device, Clock& clock);

// The pause between key events: a sleep, never past midnight.
void API_WAIT(double seconds, Clock& clock);

}  // namespace kest
