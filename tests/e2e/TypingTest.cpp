// SendKeys through the XTest keyboard into real receivers: the recorder, which shows
// every key event, and xterm, which shows what a terminal program gets.

#include <stdexcept>

#include "e2e/support/X11Fixture.h"
#include "keyboard/KeyNotation.h"

// After gtest: X11 defines None, Bool and friends as macros.
#include <X11/X.h>
#include <X11/keysym.h>

namespace kest::e2e {
namespace {

Seq taps(std::initializer_list<unsigned long> keysyms) {
    Seq s;
    for (auto ks : keysyms) {
        s.push_back(P(ks));
        s.push_back(R(ks));
    }
    return s;
}

using Typing = X11Fixture;

// Modifiers hold over the next key or group; capitals and shifted symbols get Shift
// for their key only; named keys arrive as their keys.
TEST_F(Typing, EachPieceGivesItsKeys) {
    SendKeys("+a^c%f+(ec)x", true, *device);
    SendKeys("aA!1", true, *device);
    SendKeys(
        "{ENTER}~{TAB}{BS}{ESC}{LEFT}{UP}{RIGHT}{DOWN}{HOME}{END}{PGUP}{PGDN}{INS}{DEL}"
        "{F1}{F12}{LEFT 3}",
        true, *device);
    Seq expected = {P(XK_Shift_L), P(XK_A),       R(XK_A),         R(XK_Shift_L), P(XK_Control_L),
                    P(XK_c),       R(XK_c),       R(XK_Control_L), P(XK_Alt_L),   P(XK_f),
                    R(XK_f),       R(XK_Alt_L),   P(XK_Shift_L),   P(XK_E),       R(XK_E),
                    P(XK_C),       R(XK_C),       R(XK_Shift_L),   P(XK_x),       R(XK_x),
                    P(XK_a),       R(XK_a),       P(XK_Shift_L),   P(XK_A),       R(XK_A),
                    R(XK_Shift_L), P(XK_Shift_L), P(XK_exclam),    R(XK_exclam),  R(XK_Shift_L),
                    P(XK_1),       R(XK_1)};
    const Seq named =
        taps({XK_Return, XK_Return, XK_Tab,  XK_BackSpace, XK_Escape, XK_Left, XK_Up,
              XK_Right,  XK_Down,   XK_Home, XK_End,       XK_Prior,  XK_Next, XK_Insert,
              XK_Delete, XK_F1,     XK_F12,  XK_Left,      XK_Left,   XK_Left});
    expected.insert(expected.end(), named.begin(), named.end());
    ASSERT_TRUE(waitForEvents(expected.size()));
    EXPECT_EQ(keySequence(), expected);
    const auto events = recorder->events();
    EXPECT_EQ(events[5].state & (ControlMask | ShiftMask), unsigned(ControlMask));
    EXPECT_EQ(events[9].state & Mod1Mask, unsigned(Mod1Mask));
}

TEST_F(Typing, InvalidNotationDeliversNothing) {
    EXPECT_THROW(SendKeys("abc{NOPE}def", true, *device), KeyNotationError);
    EXPECT_THROW(SendKeys("abc{ENTER", true, *device), KeyNotationError);
    EXPECT_THROW(SendKeys("+(abc", true, *device), KeyNotationError);
    // A marker typed afterwards must be the first thing the window sees.
    SendKeys("z", true, *device);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(keySequence(), taps({XK_z}));
}

TEST_F(Typing, CapsLockOnStillTypesAsWritten) {
    device->keybdEvent(20, kKeyDown);
    device->keybdEvent(20, kKeyUp);
    recorder->clear();
    SendKeys("aB1\xE9\xC9!", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("aB1\xE9\xC9!"))) << recorder->text();
    // Caps Lock is still on afterwards: the raw path shows it.
    recorder->clear();
    device->keybdEvent('A', kKeyDown);
    device->keybdEvent('A', kKeyUp);
    EXPECT_TRUE(recorder->waitForText("A")) << recorder->text();
}

TEST_F(Typing, ControlCharactersTypeAsWindowsMapsThem) {
    for (unsigned char c : {8, 9, 13, 27, 10, 1, 26}) device->typeCharacter(c);
    device->sync();
    ASSERT_TRUE(waitForEvents(18));
    const auto events = recorder->events();
    std::vector<std::pair<unsigned long, unsigned>> presses;  // keysym, Control held
    for (const auto& e : events) {
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

TEST_F(Typing, GroupsAndLevelsOfTheLayoutAreUsed) {
    run("setxkbmap -layout us,de");
    // Characters of the second group: the device switches to it for them only.
    SendKeys("a\xE4\xDF@", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("a\xE4\xDF@"))) << recorder->text();
    EXPECT_EQ(device->boundSpareKeys(), 0u);
    for (const auto& e : recorder->events()) {
        if (e.keysym == XK_adiaeresis) {
            EXPECT_EQ((e.state >> 13) & 3, 1u);
        }
        if (e.keysym == XK_a) {
            EXPECT_EQ((e.state >> 13) & 3, 0u);
        }
    }
    // German alone: @ and the euro sign sit on the third level (AltGr).
    run("setxkbmap -layout de");
    recorder->clear();
    SendKeys("zy@\x80{~}", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("zy@\x80~"))) << recorder->text();
    EXPECT_EQ(device->boundSpareKeys(), 0u);
}

// Fails on the n-th key event, as a device that loses its display would.
class FailingDevice : public KeyboardDevice {
  public:
    FailingDevice(KeyboardDevice& real, int failAt) : real_(real), left_(failAt) {}
    void keybdEvent(std::uint8_t vk, std::uint32_t flags) override {
        if (flags == kKeyDown) tick();
        real_.keybdEvent(vk, flags);
    }
    void typeCharacter(unsigned char c) override {
        tick();
        real_.typeCharacter(c);
    }
    void sync() override { real_.sync(); }

  private:
    void tick() {
        if (left_-- == 0) throw std::runtime_error("display lost");
    }
    KeyboardDevice& real_;
    int left_;
};

TEST_F(Typing, NoKeyStaysDownAfterAnErrorInThePiece) {
    FailingDevice failing(*device, 3);
    EXPECT_THROW(SendKeys("^+%(abc)", true, failing), std::runtime_error);
    device->sync();
    EXPECT_TRUE(keysDown(display.name()).empty());
    recorder->clear();
    SendKeys("q", true, *device);
    EXPECT_TRUE(recorder->waitForText("q")) << recorder->text();
}

}  // namespace
}  // namespace kest::e2e
