#include "keyboard/KeyDispatch.h"

#include <string_view>

#include "keyboard/ApiKbII.h"
#include "keyboard/Cp1252.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/KeyboardDevice.h"
#include "keyboard/TextReplace.h"

namespace kest {

namespace {

constexpr std::string_view kStartWin = "{StartWin}";
constexpr std::string_view kWinDesk = "{WinDesk}";
constexpr std::string_view kWinCur = "{WinCur}";
// Ctrl+Esc opens the Start menu.
constexpr std::string_view kStartMenuKeys = "^{ESC}";

bool contains(const std::string& text, std::string_view token) {
    return text.find(token) != std::string::npos;
}

}  // namespace

void KeyDispatch::SEND_TO_KB(std::string& keys, bool wait, bool apiKb, bool upper,
                             std::size_t eventsDone) {
    if (contains(keys, kStartWin) || contains(keys, kWinDesk)) {
        modeTag_ = "API";
        replaceAll(keys, kWinDesk, "");
        replaceAll(keys, kStartWin, kStartMenuKeys);
    } else if (contains(keys, kWinCur)) {
        modeTag_ = "CUR";
    }
    replaceAll(keys, kWinCur, "");

    cursor_.startPiece(eventsDone);
    struct EndPiece {
        KeyboardDevice& device;
        ~EndPiece() { device.endPiece(); }
    } endPiece{device_};
    try {
        type(keys, wait, apiKb, upper);
    } catch (KeysRefused& refused) {
        refused.eventsDone = cursor_.eventsDone();
        throw;
    }
}

void KeyDispatch::type(std::string& keys, bool wait, bool apiKb, bool upper) {
    if (modeTag_ == "API" || apiKb) {
        // The player has its own pauses and no notion of waiting for the target.
        API_SEND_KEYS(keys, cursor_, playerClock_);
        return;
    }
    if (upper) {
        // A Shift left down by the user would turn the upper-case letters back.
        cursor_.keybdEvent(kVkShift, kKeyUp);
        SendKeys(cp1252Upper(keys), wait, cursor_);
    } else {
        SendKeys(keys, wait, cursor_);
    }
}

}  // namespace kest
