#pragma once
// SEND_TO_KB: the mode tokens {StartWin}, {WinDesk} and {WinCur}, the choice between
// SendKeys and the API player, and the upper-case switch.

#include <cstddef>
#include <string>
#include <utility>

#include "engine/Clock.h"
#include "keyboard/KeyCursor.h"

namespace kest {

class KeyDispatch {
  public:
    KeyDispatch(KeyboardDevice& device, Clock& clock)
        : device_(device), cursor_(device), playerClock_(clock, cursor_) {}

    // keys is changed in place by the mode tokens (callers pass a copy). apiKb and
    // upper are the states of SW_API_KB and SW_UPPER at the time of the call.
    // Throws when the piece cannot be typed (invalid notation, device failure), and
    // KeysRefused, with the events that went in, when the platform refused its keys.
    // eventsDone: the events of this piece that went in at an earlier, refused try;
    // they are not typed again.
    void SEND_TO_KB(std::string& keys, bool wait, bool apiKb, bool upper,
                    std::size_t eventsDone = 0);

    // "", "API" or "CUR"; sticky until the program ends.
    const std::string& modeTag() const { return modeTag_; }
    // A dry run starts where the program stands now.
    void setModeTag(std::string tag) { modeTag_ = std::move(tag); }

  private:
    // The player's clock: its pauses between events that are passed over on a resume
    // are not taken again.
    class PlayerClock final : public Clock {
      public:
        PlayerClock(Clock& real, const KeyCursor& cursor) : real_(real), cursor_(cursor) {}
        LocalDateTime now() const override { return real_.now(); }
        double secondsSinceMidnight() const override { return real_.secondsSinceMidnight(); }
        void sleepFor(double seconds) override {
            if (!cursor_.passingOver()) real_.sleepFor(seconds);
        }
        const DateNames& dateNames() const override { return real_.dateNames(); }

      private:
        Clock& real_;
        const KeyCursor& cursor_;
    };

    void type(std::string& keys, bool wait, bool apiKb, bool upper);

    KeyboardDevice& device_;
    KeyCursor cursor_;
    PlayerClock playerClock_;
    std::string modeTag_;
};

}  // namespace kest
