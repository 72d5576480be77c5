// The API player's keybd_event sequences, as the X server delivers them: which key a
// virtual key is on this keyboard. The player's 0.1 s pauses run on a fake clock; the
// sequences of virtual keys are the keyboard core's, checked by its unit tests.

#include "e2e/support/X11Fixture.h"
#include "keyboard/ApiKbII.h"
#include "support/FakeClock.h"

// After gtest: X11 defines None, Bool and friends as macros.
#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace kest::e2e {
namespace {

class Player : public X11Fixture {
  protected:
    // Plays keys and returns the unmodified keysyms of the events, in order.
    Seq play(std::string keys, std::size_t expectedEvents) {
        recorder->clear();
        API_SEND_KEYS(keys, *device, clock);
        EXPECT_TRUE(waitForEvents(expectedEvents));
        Display* d = XOpenDisplay(display.name().c_str());
        Seq seq;
        for (const auto& e : recorder->events())
            seq.emplace_back(e.press, XkbKeycodeToKeysym(d, KeyCode(e.keycode), 0, 0));
        XCloseDisplay(d);
        return seq;
    }

    test::FakeClock clock;
};

// Catches a virtual key sent to the wrong key, and one the keyboard lacks (F14) lost.
TEST_F(Player, EachVirtualKeyReachesItsKey) {
    const struct {
        const char* keys;
        Seq expected;
    } cases[] = {
        {"A1 ^c",
         {P(XK_Shift_L), P(XK_a), R(XK_a), R(XK_Shift_L), P(XK_1), R(XK_1), P(XK_space),
          R(XK_space), P(XK_Control_L), P(XK_c), R(XK_c), R(XK_Control_L)}},
        // Punctuation goes by its code as a virtual key: '.' is 46, Delete; '[' is 91,
        // the left Windows key; {HELP} is F1.
        {".[{HELP}",
         {P(XK_Delete), R(XK_Delete), P(XK_Super_L), R(XK_Super_L), P(XK_F1), R(XK_F1)}},
        // "{F13}" is not encoded: '{' is virtual key 123 (F12), 'F' a capital, '1', '3',
        // and '}' virtual key 125 (F14), which this keyboard has no key for but gets one.
        {"{F13}",
         {P(XK_F12), R(XK_F12), P(XK_Shift_L), P(XK_f), R(XK_f), R(XK_Shift_L), P(XK_1), R(XK_1),
          P(XK_3), R(XK_3), P(XK_F14), R(XK_F14)}},
    };
    for (const auto& c : cases) EXPECT_EQ(play(c.keys, c.expected.size()), c.expected) << c.keys;
    EXPECT_TRUE(keysDown(display.name()).empty());
}

// Catches the player compensating Caps Lock as SendKeys does: held over the next key,
// {CAPSLOCK} turns it on, and 'a' (virtual key 65 without Shift) then shows a capital.
TEST_F(Player, CapsLockIsNotCompensatedOnThisPath) {
    const Seq expected = {P(XK_Caps_Lock), P(XK_a), R(XK_a), R(XK_Caps_Lock), P(XK_a), R(XK_a)};
    EXPECT_EQ(play("{CAPSLOCK}aa", expected.size()), expected);
    EXPECT_EQ(recorder->text(), "AA");
    for (const auto& e : recorder->events()) {
        if (e.keysym == XK_A) {
            EXPECT_EQ(e.state & (ShiftMask | LockMask), unsigned(LockMask));
        }
    }
}

}  // namespace
}  // namespace kest::e2e
