// SendKeys through the XTest keyboard into the recorder, which shows every key event:
// what only a real X server and its layouts show (which keys and states a character,
// a virtual key or a control character becomes). What the notation makes of a piece
// is the keyboard core's, checked by its unit tests.

#include "e2e/support/X11Fixture.h"
#include "keyboard/ApiKbII.h"
#include "keyboard/KeyNotation.h"
#include "support/FakeClock.h"

// After gtest: X11 defines None, Bool and friends as macros.
#include <X11/X.h>
#include <X11/keysym.h>

namespace kest::e2e {
namespace {

using Typing = X11Fixture;

// Catches a virtual key or modifier on the wrong key, a modifier missing from the
// state, and a capital or shifted symbol typed without Shift.
TEST_F(Typing, ModifiersCharactersAndNamedKeysGiveTheirKeys) {
    SendKeys(
        "^c%faA!{ENTER}{TAB}{BS}{ESC}{LEFT}{UP}{RIGHT}{DOWN}{HOME}{END}{PGUP}{PGDN}{INS}{DEL}"
        "{F1}{F12}",
        true, *device);
    Seq expected = {P(XK_Control_L), P(XK_c),      R(XK_c),      R(XK_Control_L), P(XK_Alt_L),
                    P(XK_f),         R(XK_f),      R(XK_Alt_L),  P(XK_a),         R(XK_a),
                    P(XK_Shift_L),   P(XK_A),      R(XK_A),      R(XK_Shift_L),   P(XK_Shift_L),
                    P(XK_exclam),    R(XK_exclam), R(XK_Shift_L)};
    for (unsigned long ks :
         {XK_Return, XK_Tab, XK_BackSpace, XK_Escape, XK_Left, XK_Up, XK_Right, XK_Down, XK_Home,
          XK_End, XK_Prior, XK_Next, XK_Insert, XK_Delete, XK_F1, XK_F12}) {
        expected.insert(expected.end(), {P(ks), R(ks)});
    }
    ASSERT_TRUE(waitForEvents(expected.size()));
    EXPECT_EQ(keySequence(), expected);
    const auto events = recorder->events();
    EXPECT_EQ(events[1].state & (ControlMask | ShiftMask), unsigned(ControlMask));
    EXPECT_EQ(events[5].state & Mod1Mask, unsigned(Mod1Mask));
}

// Catches Caps Lock inverting the case of what is typed, and the device turning the
// user's Caps Lock off.
TEST_F(Typing, CapsLockOnStillTypesAsWritten) {
    device->keybdEvent(20, kKeyDown);
    device->keybdEvent(20, kKeyUp);
    recorder->clear();
    SendKeys("aB1\xE9\xC9!", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("aB1\xE9\xC9!"))) << recorder->text();
    recorder->clear();
    device->keybdEvent('A', kKeyDown);
    device->keybdEvent('A', kKeyUp);
    EXPECT_TRUE(recorder->waitForText("A")) << recorder->text();
}

// Catches control characters typed other than as Windows maps them (LF is Ctrl+Enter,
// 1 is Ctrl+A) and a Control key left down.
TEST_F(Typing, ControlCharactersTypeAsWindowsMapsThem) {
    for (unsigned char c : {8, 9, 13, 27, 10, 1, 26}) device->typeCharacter(c);
    device->sync();
    ASSERT_TRUE(waitForEvents(18));
    std::vector<std::pair<unsigned long, unsigned>> presses;  // keysym, Control held
    for (const auto& e : recorder->events()) {
        if (e.press) presses.emplace_back(e.keysym, e.state & ControlMask);
    }
    const std::vector<std::pair<unsigned long, unsigned>> expected = {
        {XK_BackSpace, 0},  {XK_Tab, 0},         {XK_Return, 0},
        {XK_Escape, 0},     {XK_Control_L, 0},   {XK_Return, ControlMask},
        {XK_Control_L, 0},  {XK_a, ControlMask}, {XK_Control_L, 0},
        {XK_z, ControlMask}};
    EXPECT_EQ(presses, expected);
    EXPECT_TRUE(keysDown(display.name()).empty());
}

// The API player's keybd_event sequences (its pauses on a fake clock). Catches a
// virtual key on the wrong key ('.' is 46, Delete; '[' is 91, the left Windows key),
// one this keyboard lacks (F14, '}' in the unencoded "{F13}") lost rather than given a
// key, and Caps Lock compensated on this path as SendKeys does: {CAPSLOCK}, held over
// the next key, turns it on, and 'a' (virtual key 65 without Shift) shows a capital.
TEST_F(Typing, ThePlayersVirtualKeysReachTheirKeysAsPressed) {
    test::FakeClock clock;
    std::string keys = "{F13}.[{CAPSLOCK}a";
    API_SEND_KEYS(keys, *device, clock);
    const Seq expected = {P(XK_F12),       R(XK_F12),     P(XK_Shift_L), P(XK_F),
                          R(XK_F),         R(XK_Shift_L), P(XK_1),       R(XK_1),
                          P(XK_3),         R(XK_3),       P(XK_F14),     R(XK_F14),
                          P(XK_Delete),    R(XK_Delete),  P(XK_Super_L), R(XK_Super_L),
                          P(XK_Caps_Lock), P(XK_A),       R(XK_A),       R(XK_Caps_Lock)};
    ASSERT_TRUE(waitForEvents(expected.size()));
    EXPECT_EQ(keySequence(), expected);
    EXPECT_TRUE(recorder->text().ends_with("A")) << recorder->text();
    EXPECT_TRUE(keysDown(display.name()).empty());
}

// Catches characters the layout has (in another group, on the third level) being sent
// through spare keycodes or the wrong group.
TEST_F(Typing, GroupsAndLevelsOfTheLayoutAreUsed) {
    run("setxkbmap -layout us,de");
    SendKeys("a\xE4\xDF@", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("a\xE4\xDF@"))) << recorder->text();
    EXPECT_EQ(device->boundSpareKeys(), 0u);
    for (const auto& e : recorder->events()) {
        if (e.keysym == XK_adiaeresis || e.keysym == XK_a) {
            EXPECT_EQ((e.state >> 13) & 3, e.keysym == XK_a ? 0u : 1u);
        }
    }
    // German alone: @ and the euro sign sit on the third level (AltGr).
    run("setxkbmap -layout de");
    recorder->clear();
    SendKeys("zy@\x80{~}", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("zy@\x80~"))) << recorder->text();
    EXPECT_EQ(device->boundSpareKeys(), 0u);
}

}  // namespace
}  // namespace kest::e2e
