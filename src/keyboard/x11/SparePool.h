#pragma once
// The spare keycodes: keys the layout leaves empty, which the device binds to
// characters the layout cannot type. Each spare keycode offers several spots, one per
// level (plain, Shift) of each of the four XKB groups, so that a whole text's unusual
// characters fit at once. A receiving program reads the keymap when it handles a key
// event, not when the event was sent, so a bound spot is only re-bound after its
// keycode's last event has had time to be handled, and a binding stays put while the
// same characters keep coming.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace kest::x11 {

class SparePool {
  public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Keysym = std::uint32_t;
    using Keycode = std::uint8_t;

    static constexpr int kGroups = 4;
    static constexpr int kLevels = 2;  // the first, and the one Shift selects
    static constexpr int kSpots = kGroups * kLevels;
    using Keysyms = std::array<Keysym, kSpots>;  // by group, then level; 0 = unbound

    struct Spot {
        Keycode keycode = 0;
        int group = 0;
        int level = 0;
        bool operator==(const Spot&) const = default;
    };

    explicit SparePool(Clock::duration reuseGuard) : reuseGuard_(reuseGuard) {}

    // Takes the keycodes that are empty now. Keycodes still bound by us (bindingOf
    // confirms the server still has our keysym on every spot) stay, with their
    // history; keycodes someone else has changed since are dropped and never
    // restored by us.
    template <typename BindingOf>
    void reconcile(const std::vector<Keycode>& emptyNow, BindingOf bindingOf);

    // The spot bound to keysym, if any.
    std::optional<Spot> boundTo(Keysym keysym) const;

    struct Choice {
        Spot spot;
        TimePoint notBefore;  // re-binding it earlier could change queued events
    };
    // The spot to bind next: a free one (the first level of the first group before
    // others, so that short texts change little), else the spot of the least
    // recently used keycode that is not held down. With firstSpotOnly, only spots
    // that a key press without modifiers or group switch reaches. None when nothing
    // is left.
    std::optional<Choice> choose(bool firstSpotOnly = false) const;

    void bind(const Spot& spot, Keysym keysym, TimePoint now);
    void touch(Keycode keycode, TimePoint now);
    void setHeld(Keycode keycode, bool held);
    bool contains(Keycode keycode) const { return find(keycode) != nullptr; }
    // What the keycode should carry, and how many groups that takes (0: empty).
    Keysyms keysymsOf(Keycode keycode) const;
    int groupsOf(Keycode keycode) const;

    // The keycodes bound now and not held down, and the time after which all of them
    // may be restored without changing an event still on its way.
    std::vector<Keycode> boundKeycodes() const;
    TimePoint restoreNotBefore() const;
    // Forgets the bindings that boundKeycodes() lists.
    void unbindAll();
    std::size_t size() const { return slots_.size(); }

  private:
    struct Slot {
        Keycode keycode;
        Keysyms keysyms{};
        TimePoint lastUsed{};
        bool held = false;
        bool bound() const;
    };
    const Slot* find(Keycode keycode) const;
    Slot* find(Keycode keycode);
    std::optional<Choice> chooseFree(bool firstSpotOnly) const;

    Clock::duration reuseGuard_;
    std::vector<Slot> slots_;
};

template <typename BindingOf>
void SparePool::reconcile(const std::vector<Keycode>& emptyNow, BindingOf bindingOf) {
    std::vector<Slot> next;
    for (const Slot& s : slots_) {
        if (!s.bound()) continue;
        bool ours = true;
        for (int i = 0; i < kSpots && ours; ++i) {
            ours = bindingOf(s.keycode, i / kLevels, i % kLevels) == s.keysyms[std::size_t(i)];
        }
        if (ours) next.push_back(s);
    }
    for (Keycode kc : emptyNow) {
        const Slot* old = find(kc);
        Slot slot{kc};
        if (old) {
            slot.lastUsed = old->lastUsed;
            slot.held = old->held;
        }
        next.push_back(slot);
    }
    slots_ = std::move(next);
}

}  // namespace kest::x11
