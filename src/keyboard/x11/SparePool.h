#pragma once
// The spare keycodes: keys the layout leaves empty, which the device binds to
// characters the layout cannot type. A receiving program reads the keymap when it
// handles a key event, not when the event was sent, so a keycode is only re-bound
// after its last event has had time to be handled, and a binding stays put while
// the same characters keep coming.

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

    explicit SparePool(Clock::duration reuseGuard) : reuseGuard_(reuseGuard) {}

    // Takes the keycodes that are empty now. Keycodes still bound by us (bindingOf
    // confirms the server still has our keysym there) stay, with their history;
    // keycodes someone else has taken since are dropped and never restored by us.
    template <typename BindingOf>
    void reconcile(const std::vector<Keycode>& emptyNow, BindingOf bindingOf);

    // The keycode bound to keysym, if any.
    std::optional<Keycode> boundTo(Keysym keysym) const;

    struct Choice {
        Keycode keycode;
        TimePoint notBefore;  // re-binding it earlier could change queued events
    };
    // The keycode to bind next: an unbound one, else the least recently used one that
    // is not held down. None when the pool is empty or every keycode is held.
    std::optional<Choice> choose() const;

    void bind(Keycode keycode, Keysym keysym, TimePoint now);
    void touch(Keycode keycode, TimePoint now);
    void setHeld(Keycode keycode, bool held);
    bool contains(Keycode keycode) const { return find(keycode) != nullptr; }

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
        Keysym keysym = 0;  // 0 = unbound
        TimePoint lastUsed{};
        bool held = false;
    };
    const Slot* find(Keycode keycode) const;
    Slot* find(Keycode keycode);

    Clock::duration reuseGuard_;
    std::vector<Slot> slots_;
};

template <typename BindingOf>
void SparePool::reconcile(const std::vector<Keycode>& emptyNow, BindingOf bindingOf) {
    std::vector<Slot> next;
    for (const Slot& s : slots_) {
        if (s.keysym != 0 && bindingOf(s.keycode) == s.keysym) next.push_back(s);
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
