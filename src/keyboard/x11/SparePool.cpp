#include "keyboard/x11/SparePool.h"

#include <algorithm>
#include <utility>

namespace kest::x11 {

std::optional<SparePool::Keycode> SparePool::boundTo(Keysym keysym) const {
    for (const Slot& s : slots_) {
        if (s.keysym == keysym && keysym != 0) return s.keycode;
    }
    return std::nullopt;
}

std::optional<SparePool::Choice> SparePool::choose() const {
    const Slot* pick = nullptr;
    for (const Slot& s : slots_) {
        if (s.held) continue;
        // Unbound keycodes first: binding one disturbs no earlier character.
        if (!pick || (s.keysym == 0 && pick->keysym != 0) ||
            ((s.keysym == 0) == (pick->keysym == 0) && s.lastUsed < pick->lastUsed)) {
            pick = &s;
        }
    }
    if (!pick) return std::nullopt;
    const TimePoint notBefore =
        pick->lastUsed == TimePoint{} ? TimePoint{} : pick->lastUsed + reuseGuard_;
    return Choice{pick->keycode, notBefore};
}

void SparePool::bind(Keycode keycode, Keysym keysym, TimePoint now) {
    if (Slot* s = find(keycode)) {
        s->keysym = keysym;
        s->lastUsed = now;
    }
}

void SparePool::touch(Keycode keycode, TimePoint now) {
    if (Slot* s = find(keycode)) s->lastUsed = now;
}

void SparePool::setHeld(Keycode keycode, bool held) {
    if (Slot* s = find(keycode)) s->held = held;
}

std::vector<SparePool::Keycode> SparePool::boundKeycodes() const {
    std::vector<Keycode> bound;
    for (const Slot& s : slots_) {
        if (s.keysym != 0 && !s.held) bound.push_back(s.keycode);
    }
    return bound;
}

SparePool::TimePoint SparePool::restoreNotBefore() const {
    TimePoint latest{};
    for (const Slot& s : slots_) {
        if (s.keysym != 0 && s.lastUsed != TimePoint{})
            latest = std::max(latest, s.lastUsed + reuseGuard_);
    }
    return latest;
}

void SparePool::unbindAll() {
    for (Slot& s : slots_) {
        if (!s.held) s.keysym = 0;
    }
}

const SparePool::Slot* SparePool::find(Keycode keycode) const {
    for (const Slot& s : slots_) {
        if (s.keycode == keycode) return &s;
    }
    return nullptr;
}

SparePool::Slot* SparePool::find(Keycode keycode) {
    return const_cast<Slot*>(std::as_const(*this).find(keycode));
}

}  // namespace kest::x11
