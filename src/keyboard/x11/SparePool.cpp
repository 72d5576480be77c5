#include "keyboard/x11/SparePool.h"

#include <algorithm>
#include <utility>

namespace kest::x11 {

bool SparePool::Slot::bound() const {
    return std::any_of(keysyms.begin(), keysyms.end(), [](Keysym k) { return k != 0; });
}

std::optional<SparePool::Spot> SparePool::boundTo(Keysym keysym) const {
    if (keysym == 0) return std::nullopt;
    for (const Slot& s : slots_) {
        for (int i = 0; i < kSpots; ++i) {
            if (s.keysyms[std::size_t(i)] == keysym)
                return Spot{s.keycode, i / kLevels, i % kLevels};
        }
    }
    return std::nullopt;
}

std::optional<SparePool::Choice> SparePool::choose(bool firstSpotOnly) const {
    if (auto free = chooseFree(firstSpotOnly)) return free;
    const Slot* pick = nullptr;
    for (const Slot& s : slots_) {
        if (!s.held && (!pick || s.lastUsed < pick->lastUsed)) pick = &s;
    }
    if (!pick) return std::nullopt;
    // The spot whose character is replaced: the first one, which every use reaches.
    const TimePoint notBefore =
        pick->lastUsed == TimePoint{} ? TimePoint{} : pick->lastUsed + reuseGuard_;
    return Choice{{pick->keycode, 0, 0}, notBefore};
}

// Free spots, spot by spot across the keycodes: a few characters take the first level
// of a few keys and no group beyond the first. A free spot changes no character that
// an earlier event may still need (the device types every spare key in the group of
// its spot, so a group added later does not change how an earlier event reads).
std::optional<SparePool::Choice> SparePool::chooseFree(bool firstSpotOnly) const {
    for (int i = 0; i < (firstSpotOnly ? 1 : kSpots); ++i) {
        for (const Slot& s : slots_) {
            if (!s.held && s.keysyms[std::size_t(i)] == 0)
                return Choice{{s.keycode, i / kLevels, i % kLevels}, TimePoint{}};
        }
    }
    return std::nullopt;
}

void SparePool::bind(const Spot& spot, Keysym keysym, TimePoint now) {
    if (Slot* s = find(spot.keycode)) {
        s->keysyms[std::size_t(spot.group * kLevels + spot.level)] = keysym;
        s->lastUsed = now;
    }
}

void SparePool::touch(Keycode keycode, TimePoint now) {
    if (Slot* s = find(keycode)) s->lastUsed = now;
}

void SparePool::setHeld(Keycode keycode, bool held) {
    if (Slot* s = find(keycode)) s->held = held;
}

SparePool::Keysyms SparePool::keysymsOf(Keycode keycode) const {
    const Slot* s = find(keycode);
    return s ? s->keysyms : Keysyms{};
}

int SparePool::groupsOf(Keycode keycode) const {
    const Keysyms syms = keysymsOf(keycode);
    for (int g = kGroups; g > 0; --g) {
        for (int l = 0; l < kLevels; ++l) {
            if (syms[std::size_t((g - 1) * kLevels + l)] != 0) return g;
        }
    }
    return 0;
}

std::vector<SparePool::Keycode> SparePool::boundKeycodes() const {
    std::vector<Keycode> bound;
    for (const Slot& s : slots_) {
        if (s.bound() && !s.held) bound.push_back(s.keycode);
    }
    return bound;
}

SparePool::TimePoint SparePool::restoreNotBefore() const {
    TimePoint latest{};
    for (const Slot& s : slots_) {
        if (s.bound() && s.lastUsed != TimePoint{})
            latest = std::max(latest, s.lastUsed + reuseGuard_);
    }
    return latest;
}

void SparePool::unbindAll() {
    for (Slot& s : slots_) {
        if (!s.held) s.keysyms = {};
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
