#pragma once
// What recorded key events come to: readable key names, and the characters that a
// receiving window gets from them. Used by the rule tester to show what a piece
// would do without typing it.

#include <cstdint>
#include <string>
#include <vector>

#include "keyboard/RecordingKeyboardDevice.h"

namespace kest {

// "Enter", "Shift", "A", "F12", ... ; "VK 255" for a code with no key of its own.
std::string virtualKeyName(std::uint8_t vk);

struct KeyOutcome {
    // The events one by one: "Shift down", "A" (a key pressed and released), "'a'"
    // (a character typed as written), "Shift up".
    std::vector<std::string> events;
    // The characters the receiver gets. Enter, Tab, Backspace and Escape are their
    // control codes, Ctrl with a letter the letter's control code.
    std::string characters;
    // The characters with every key that types none named in braces ("{Delete}",
    // "{Alt+F4}") and control codes written as {ASCII:n}: what the user reads.
    std::string shown;
};

// The outcome assumes the lock keys (Caps Lock, Num Lock) off, as it cannot know them.
KeyOutcome describeKeyEvents(const std::vector<RecordingKeyboardDevice::Event>& events);

// The text with its control codes (and code 127) written as {ASCII:n}.
std::string withVisibleControls(const std::string& text);

}  // namespace kest
