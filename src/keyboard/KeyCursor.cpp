#include "keyboard/KeyCursor.h"

#include <algorithm>

namespace kest {

namespace {

// The keys that change what another key types and type nothing themselves. Only these
// are pressed again on a resume: a lock key or an ordinary key pressed again would act
// a second time.
bool isModifier(std::uint8_t vk) {
    return (vk >= kVkShift && vk <= kVkMenu) || (vk >= 0xA0 && vk <= 0xA5) || vk == 0x5B ||
           vk == 0x5C;
}

}  // namespace

void KeyCursor::startPiece(std::size_t eventsDone) {
    skip_ = eventsDone;
    index_ = 0;
    done_ = 0;
    refused_ = false;
    heldAtResume_.clear();
}

void KeyCursor::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    if (index_ < skip_) {
        ++index_;
        done_ = index_;
        if (!isModifier(vk)) return;
        std::erase(heldAtResume_, vk);
        if ((flags & kKeyUp) == 0) heldAtResume_.push_back(vk);
        return;
    }
    pass([&] { device_.keybdEvent(vk, flags); });
}

void KeyCursor::typeCharacter(unsigned char c) {
    if (index_ < skip_) {
        ++index_;
        done_ = index_;
        return;
    }
    pass([&] { device_.typeCharacter(c); });
}

template <typename Send>
void KeyCursor::pass(Send&& send) {
    if (refused_) {
        // After a refusal only the players' releases come; they go through as far as
        // the platform lets them, and count for nothing.
        send();
        return;
    }
    try {
        pressHeldAgain();
        send();
    } catch (const KeysRefused& refused) {
        refused_ = true;
        if (refused.lastWentIn) done_ = index_ + 1;
        throw;
    }
    ++index_;
    done_ = index_;
}

void KeyCursor::pressHeldAgain() {
    while (!heldAtResume_.empty()) {
        device_.keybdEvent(heldAtResume_.front(), kKeyDown);
        heldAtResume_.erase(heldAtResume_.begin());
    }
}

}  // namespace kest
