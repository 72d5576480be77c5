// The API player's keybd_event sequences, as the X server delivers them. The player's
// 0.1 s pauses run on a fake clock; the key events are real.

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
        API_SEND_KEYS(keys, *device, clock);
        EXPECT_TRUE(waitForEvents(expectedEvents));
        Seq seq;
        for (const auto& e : recorder->events()) seq.emplace_back(e.press, baseKeysym(e.keycode));
        return seq;
    }

    unsigned long baseKeysym(unsigned keycode) const;

    test::FakeClock clock;
};

unsigned long Player::baseKeysym(unsigned keycode) const {
    Display* d = XOpenDisplay(display.name().c_str());
    const unsigned long ks = XkbKeycodeToKeysym(d, KeyCode(keycode), 0, 0);
    XCloseDisplay(d);
    return ks;
}

TEST_F(Player, EachPieceGivesItsKeys) {
    const struct {
        const char* keys;
        Seq expected;
    } cases[] = {
        {"A1 b",
         {P(XK_Shift_L), P(XK_a), R(XK_a), R(XK_Shift_L), P(XK_1), R(XK_1), P(XK_space),
          R(XK_space), P(XK_b), R(XK_b)}},
        // Held modifiers and named keys.
        {"^c+{TAB}{ENTER}~{HELP}{F12}",
         {P(XK_Control_L), P(XK_c), R(XK_c), R(XK_Control_L), P(XK_Shift_L), P(XK_Tab), R(XK_Tab),
          R(XK_Shift_L), P(XK_Return), R(XK_Return), P(XK_Return), R(XK_Return), P(XK_F1), R(XK_F1),
          P(XK_F12), R(XK_F12)}},
        // Punctuation goes by its code as a virtual key: '.' is 46, Delete; '[' is 91,
        // the left Windows key.
        {".[", {P(XK_Delete), R(XK_Delete), P(XK_Super_L), R(XK_Super_L)}},
        // "{F13}" is not encoded: '{' is virtual key 123 (F12), 'F' a capital, '1', '3',
        // and '}' virtual key 125 (F14), which this keyboard has no key for but gets one.
        {"{F13}",
         {P(XK_F12), R(XK_F12), P(XK_Shift_L), P(XK_f), R(XK_f), R(XK_Shift_L), P(XK_1), R(XK_1),
          P(XK_3), R(XK_3), P(XK_F14), R(XK_F14)}},
        // A trailing modifier is released.
        {"abc+",
         {P(XK_a), R(XK_a), P(XK_b), R(XK_b), P(XK_c), R(XK_c), P(XK_Shift_L), R(XK_Shift_L)}},
    };
    for (const auto& c : cases) {
        recorder->clear();
        EXPECT_EQ(play(c.keys, c.expected.size()), c.expected) << c.keys;
    }
    EXPECT_TRUE(keysDown(display.name()).empty());
}

TEST_F(Player, CapsLockIsNotCompensatedOnThisPath) {
    // {CAPSLOCK} is held over the next key: pressing it turns Caps Lock on.
    const Seq expected = {P(XK_Caps_Lock), P(XK_a), R(XK_a), R(XK_Caps_Lock), P(XK_a), R(XK_a)};
    EXPECT_EQ(play("{CAPSLOCK}aa", expected.size()), expected);
    // With Caps Lock on, 'a' is virtual key 65 without Shift, and shows a capital.
    EXPECT_EQ(recorder->text(), "AA");
    for (const auto& e : recorder->events()) {
        if (e.keysym == XK_A) {
            EXPECT_EQ(e.state & (ShiftMask | LockMask), unsigned(LockMask));
        }
    }
}

TEST_F(Player, F13AndBracesGoThroughTheCharacterRule) {
    // "{F13}" is not encoded: '{' is virtual key 123 (F12), 'F' a capital, '1', '3',
    // and '}' virtual key 125 (F14), which this keyboard has no key for but gets one.
    const Seq expected = {P(XK_F12), R(XK_F12), P(XK_Shift_L), P(XK_f), R(XK_f),   R(XK_Shift_L),
                          P(XK_1),   R(XK_1),   P(XK_3),       R(XK_3), P(XK_F14), R(XK_F14)};
    EXPECT_EQ(play("{F13}", expected.size()), expected);
}

}  // namespace
}  // namespace kest::e2e
