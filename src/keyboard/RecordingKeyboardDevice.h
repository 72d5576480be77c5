#pragma once
// A KeyboardDevice that records what it is asked to do, for tests.

#include <cstdint>
#include <string>
#include <vector>

#include "keyboard/KeyboardDevice.h"

namespace kest {

class RecordingKeyboardDevice : public KeyboardDevice {
  public:
    struct Event {
        enum class Kind : std::uint8_t { Down, Up, Char, Sync };
        Kind kind;
        std::uint8_t code = 0;  // virtual key for Down/Up, character for Char

        friend bool operator==(const Event&, const Event&) = default;
    };

    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override;
    void typeCharacter(unsigned char c) override;
    void sync() override;

    // Makes the n-th call from now (0 = the next one) throw, to test error paths.
    void failAfter(int calls) { failIn_ = calls; }
    // From the n-th call from now on, every call throws KeysRefused, as a locked screen
    // refuses keys, until acceptAgain().
    void refuseFrom(int calls) { refuseIn_ = calls; }
    void acceptAgain() { refuseIn_ = -1; }

    const std::vector<Event>& events() const { return events_; }
    void clear() { events_.clear(); }
    // The characters typed, in order.
    std::string typedText() const;
    // Virtual keys that are down now (pressed and not yet released).
    std::vector<std::uint8_t> keysDown() const;

    static Event down(std::uint8_t vk) { return {Event::Kind::Down, vk}; }
    static Event up(std::uint8_t vk) { return {Event::Kind::Up, vk}; }
    static Event ch(unsigned char c) { return {Event::Kind::Char, c}; }

  private:
    void maybeFail();
    std::vector<Event> events_;
    int failIn_ = -1;
    int refuseIn_ = -1;
};

}  // namespace kest
