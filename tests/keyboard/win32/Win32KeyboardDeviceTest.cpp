#include "keyboard/win32/Win32KeyboardDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "keyboard/Cp1252.h"
#include "keyboard/win32/FakeWin32Api.h"

namespace kest::win32::testing {
namespace {

constexpr WindowHandle kTarget = 0x100;
constexpr ThreadId kTargetThread = 7;
using Keys = std::vector<std::uint8_t>;

class Win32KeyboardDeviceTest : public ::testing::Test {
  protected:
    Win32KeyboardDeviceTest() {
        api.windows.push_back({kTarget, u"Orders", kTargetThread});
        api.foreground = kTarget;
    }
    // The receiving window's thread types with this layout; ours stays US.
    void targetUses(const FakeLayout& layout) { api.threadLayouts[kTargetThread] = layout.handle; }
    // Types the characters afresh; the keys it pressed (Unicode events left out).
    Keys type(std::string_view chars) {
        api.sent.clear();
        api.received.clear();
        for (unsigned char c : chars) device.typeCharacter(c);
        Keys vks;
        for (const KeyInput& e : api.sent) {
            if (!(e.flags & (kEventUnicode | kEventKeyUp))) vks.push_back(std::uint8_t(e.vk));
        }
        return vks;
    }
    // The refusal that ends the typing of c, none when it went through.
    std::optional<KeysRefused> refusalOf(char c) {
        try {
            device.typeCharacter(static_cast<unsigned char>(c));
        } catch (const KeysRefused& refused) {
            return refused;
        }
        return std::nullopt;
    }

    FakeWin32Api api;
    Win32KeyboardDevice device{api};
};

// Every byte, on both layouts, with Caps Lock off and on: the receiver reads exactly
// the character, no key stays down and Caps Lock is as it was.
TEST_F(Win32KeyboardDeviceTest, EveryCharacterArrivesAsWrittenOnUsAndGermanWithCapsLockOffAndOn) {
    for (const FakeLayout& layout : {usLayout(), germanLayout()}) {
        targetUses(layout);
        for (bool caps : {false, true}) {
            api.capsLock = caps;
            device.endPiece();  // Caps Lock is read once a piece
            for (int c = 0; c < 256; ++c) {
                SCOPED_TRACE(std::to_string(layout.handle) + (caps ? " caps " : " ") +
                             std::to_string(c));
                type(std::string(1, char(c)));
                EXPECT_EQ(api.received, std::u16string(1, char16_t(cp1252ToUnicode(c))));
                EXPECT_TRUE(api.down.none());
                EXPECT_EQ(api.capsLock, caps);
            }
        }
    }
}

// Control characters included (Windows types them with Ctrl, Enter, Tab and such), AltGr
// pressed as Ctrl+Alt; é has no key of its own on German, and ^ is a dead key that
// would wait: those go as Unicode.
TEST_F(Win32KeyboardDeviceTest, TheLayoutTypesWhatItCanAsKeysAndOnlyTheRestGoesAsUnicode) {
    targetUses(usLayout());
    std::string ascii;
    for (int c = 0; c < 0x80; ++c) ascii += char(c);
    type(ascii);
    EXPECT_TRUE(std::none_of(api.sent.begin(), api.sent.end(),
                             [](const KeyInput& e) { return e.flags & kEventUnicode; }));

    targetUses(germanLayout());
    EXPECT_EQ(type("@"), (Keys{kVkControl, kVkMenu, 'Q'}));
    EXPECT_EQ(type("\x80"), (Keys{kVkControl, kVkMenu, 'E'}));  // the euro sign
    for (unsigned char c : {0xE9, int('^')}) {
        EXPECT_TRUE(type(std::string(1, char(c))).empty()) << int(c);
        EXPECT_EQ(api.sent.front(), (KeyInput{0, char16_t(cp1252ToUnicode(c)), kEventUnicode}));
    }
}

// The layout is the receiving thread's, not ours: on a German window y and z change
// places and @ is AltGr+Q, although our own thread types US. A UWP program's frame is
// in front, but the keys go to its content in another thread, which has a layout of
// its own: then that thread's layout counts.
TEST_F(Win32KeyboardDeviceTest, KeysComeFromTheLayoutOfTheThreadWithTheFocus) {
    constexpr WindowHandle kContent = 0x300;
    api.windows.push_back({kContent, u"", 9});
    for (const bool uwp : {false, true}) {
        SCOPED_TRACE(uwp);
        targetUses(uwp ? usLayout() : germanLayout());
        api.threadLayouts[9] = germanLayout().handle;
        api.focus = uwp ? kContent : 0;
        device.endPiece();
        type("zy@");
        EXPECT_EQ(api.sent.front(), (KeyInput{'Z', 0x15, 0}));
        EXPECT_EQ(api.received, u"zy@");
    }
}

// With Caps Lock on, each character gets the Shift state that types it under Caps Lock,
// as the focus thread sees Caps Lock (ours lags behind). Caps Lock itself is never
// pressed: where Shift turns it off, and only Shift does, tapping it would fail, and a
// character needing Shift there goes as Unicode instead.
TEST_F(Win32KeyboardDeviceTest, CapsLockIsLeftAloneAndCharactersKeepTheirCase) {
    api.capsLock = true;
    api.ownCapsView = false;
    for (bool shiftLock : {false, true}) {
        SCOPED_TRACE(shiftLock);
        api.shiftLock = shiftLock;
        EXPECT_EQ(type("aB1!"),
                  (shiftLock ? Keys{'B', '1'} : Keys{kVkShift, 'A', 'B', '1', kVkShift, '1'}));
        EXPECT_EQ(api.received, u"aB1!");
        EXPECT_TRUE(api.capsLock);
    }
}

// Shift held by the caller is used, not pressed again, and applies as SendKeys' "+1";
// Ctrl held makes a shortcut of the letter, Caps Lock no concern of it.
TEST_F(Win32KeyboardDeviceTest, ModifiersTheCallerHoldsStayAsTheyAreAndApply) {
    device.keybdEvent(kVkShift, kKeyDown);
    EXPECT_EQ(type("A1"), (Keys{'A', '1'}));
    EXPECT_TRUE(api.down[kVkShift]);
    EXPECT_EQ(api.received, u"A!");
    device.keybdEvent(kVkShift, kKeyUp);

    api.capsLock = true;
    device.keybdEvent(0xA2, kKeyDown);  // left Ctrl
    EXPECT_EQ(type("c"), Keys{'C'});
    device.keybdEvent(0xA2, kKeyUp);
    EXPECT_EQ(api.received, u"\x03");
    EXPECT_TRUE(api.down.none());
}

TEST_F(Win32KeyboardDeviceTest, RawEventsCarryScanCodeAndExtendedFlagAndSkipNonKeys) {
    device.keybdEvent(0x25, kKeyDown);  // left arrow
    device.keybdEvent(0x25, kKeyUp);
    device.keybdEvent(0, kKeyDown);
    device.keybdEvent(0xFF, kKeyDown);
    device.sync();
    EXPECT_EQ(api.sent, (std::vector<KeyInput>{{0x25, 0x4B, kEventExtendedKey},
                                               {0x25, 0x4B, kEventExtendedKey | kEventKeyUp}}));
}

// A window of a process above ours (UIPI) would drop our keys without a word, and
// SendInput would say they went in: they are refused before they are sent. A process
// that will not tell its level (a system one) counts as above ours.
TEST_F(Win32KeyboardDeviceTest, KeysForAWindowThatRunsAsAdministratorAreRefusedNotLost) {
    api.windows.push_back({0x200, u"Administrator: Command Prompt", 8, true, false, 77});
    api.windows.push_back({0x201, u"User Account Control", 9, true, false, 78});
    api.integrity[77] = kIntegrityHigh;
    api.integrity[78] = std::nullopt;
    for (WindowHandle front : {WindowHandle(0x200), WindowHandle(0x201)}) {
        api.foreground = front;
        const auto refused = refusalOf('a');
        ASSERT_TRUE(refused);
        EXPECT_STREQ(refused->what(), "the window in front runs as administrator");
        EXPECT_THROW(device.keybdEvent(kVkReturn, kKeyDown), KeysRefused);
    }
    EXPECT_TRUE(api.sent.empty());
    api.foreground = kTarget;
    type("a");
    EXPECT_EQ(api.received, u"a");
}

// A locked screen or a UAC prompt takes no more keys (SendInput says so). The call
// says whether its own key went in before, the half that went in leaves no key down,
// and the device believes no modifier held afterwards, nor after any piece: a Shift
// whose release was refused must not keep later capitals from getting theirs.
TEST_F(Win32KeyboardDeviceTest, RefusedKeysLeaveNoKeyDownAndNoModifierBelievedHeld) {
    for (const auto& [accepted, keyWentIn] : {std::pair{2, true}, std::pair{1, false}}) {
        api.received.clear();
        api.acceptNext = accepted;  // Shift, and the key or not
        const auto refused = refusalOf('!');
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->lastWentIn, keyWentIn);
        EXPECT_EQ(api.received, keyWentIn ? u"!" : u"");
        EXPECT_TRUE(api.down.none());
    }

    device.keybdEvent(kVkShift, kKeyDown);  // the "+" of "+(ab)"
    api.locked = true;
    EXPECT_TRUE(refusalOf('a'));
    EXPECT_THROW(device.keybdEvent(kVkShift, kKeyUp), KeysRefused);
    api.locked = false;
    EXPECT_EQ(type("A"), (Keys{kVkShift, 'A'}));

    device.keybdEvent(kVkShift, kKeyDown);  // a piece that ended with Shift believed down
    device.endPiece();
    EXPECT_EQ(type("A"), (Keys{kVkShift, 'A'}));
    EXPECT_EQ(api.received, u"A");
}

}  // namespace
}  // namespace kest::win32::testing
