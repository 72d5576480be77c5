#pragma once
// SEND_TO_KB: the mode tokens {StartWin}, {WinDesk} and {WinCur}, the choice between
// SendKeys and the API player, and the upper-case switch.

#include <string>
#include <utility>

namespace kest {

class Clock;
class KeyboardDevice;

class KeyDispatch {
  public:
    KeyDispatch(KeyboardDevice& device, Clock& clock) : device_(device), clock_(clock) {}

    // keys is changed in place by the mode tokens (callers pass a copy). apiKb and
    // upper are the states of SW_API_KB and SW_UPPER at the time of the call.
    // Throws when the piece cannot be typed (invalid notation, device failure).
    void SEND_TO_KB(std::string& keys, bool wait, bool apiKb, bool upper);

    // "", "API" or "CUR"; sticky until the program ends.
    const std::string& modeTag() const { return modeTag_; }
    // A dry run starts where the program stands now.
    void setModeTag(std::string tag) { modeTag_ = std::move(tag); }

  private:
    KeyboardDevice& device_;
    Clock& clock_;
    std::string modeTag_;
};

}  // namespace kest
