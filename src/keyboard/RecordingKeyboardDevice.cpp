#include "keyboard/RecordingKeyboardDevice.h"

#include <algorithm>
#include <stdexcept>

namespace kest {

void RecordingKeyboardDevice::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    maybeFail();
    events_.push_back({(flags & kKeyUp) ? Event::Kind::Up : Event::Kind::Down, vk});
}

void RecordingKeyboardDevice::typeCharacter(unsigned char c) {
    maybeFail();
    events_.push_back(ch(c));
}

void RecordingKeyboardDevice::sync() {
    maybeFail();
    events_.push_back({Event::Kind::Sync, 0});
}

std::string RecordingKeyboardDevice::typedText() const {
    std::string text;
    for (const Event& e : events_) {
        if (e.kind == Event::Kind::Char) text += static_cast<char>(e.code);
    }
    return text;
}

std::vector<std::uint8_t> RecordingKeyboardDevice::keysDown() const {
    // Counted per press, so a key pressed twice needs two releases; a release of a key
    // that is not down changes nothing, as on a real keyboard.
    std::vector<std::uint8_t> down;
    for (const Event& e : events_) {
        if (e.kind == Event::Kind::Down) {
            down.push_back(e.code);
        } else if (e.kind == Event::Kind::Up) {
            auto it = std::find(down.rbegin(), down.rend(), e.code);
            if (it != down.rend()) down.erase(std::next(it).base());
        }
    }
    return down;
}

void RecordingKeyboardDevice::maybeFail() {
    if (refuseIn_ == 0) throw KeysRefused("recording keyboard device: keys refused");
    if (refuseIn_ > 0) --refuseIn_;
    if (failIn_ < 0) return;
    if (failIn_-- == 0) throw std::runtime_error("recording keyboard device: injected failure");
}

}  // namespace kest
