#pragma once
// Where typing a piece stands, counted in key events. A piece whose keys the platform
// refused part-way (KeysRefused) is typed again later from its start; the cursor then
// passes over the events that went in the first time, presses again the modifiers that
// were held at that point, and goes on with the first event that did not go in. So a
// text is never typed twice in part, whatever the player or the notation.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keyboard/KeyboardDevice.h"

namespace kest {

class KeyCursor final : public KeyboardDevice {
  public:
    // device must outlive the cursor.
    explicit KeyCursor(KeyboardDevice& device) : device_(device) {}

    // A piece begins; its first `eventsDone` events went in before (0 for a fresh one).
    void startPiece(std::size_t eventsDone);
    // The events of the piece that went in so far, up to the first refusal.
    std::size_t eventsDone() const { return done_; }
    // True while events that went in before are being passed over.
    bool passingOver() const { return index_ < skip_; }

    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void prepareCharacters(std::string_view text) override { device_.prepareCharacters(text); }
    void sync() override { device_.sync(); }
    void endPiece() override { device_.endPiece(); }

  private:
    template <typename Send>
    void pass(Send&& send);
    void pressHeldAgain();

    KeyboardDevice& device_;
    std::size_t skip_ = 0;   // events that went in before this attempt
    std::size_t index_ = 0;  // events of the piece met so far
    std::size_t done_ = 0;
    bool refused_ = false;
    // Modifiers that the passed-over events left down: pressed again before the next key.
    std::vector<std::uint8_t> heldAtResume_;
};

}  // namespace kest
