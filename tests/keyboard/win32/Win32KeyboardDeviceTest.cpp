#include "keyboard/win32/Win32KeyboardDevice.h"

#include <gtest/gtest.h>

#include "keyboard/Cp1252.h"
#include "keyboard/win32/FakeWin32Api.h"

namespace kest::win32::testing {
namespace {

constexpr WindowHandle kTarget = 0x100;
constexpr ThreadId kTargetThread = 7;

struct Layout {
    const char* name;
    FakeLayout (*make)();
};

class Win32KeyboardDeviceTest : public ::testing::Test {
  protected:
    Win32KeyboardDeviceTest() {
        api.windows.push_back({kTarget, u"Orders", kTargetThread});
        api.foreground = kTarget;
    }
    // The receiving window's thread types with this layout; ours stays US.
    void targetUses(const FakeLayout& layout) { api.threadLayouts[kTargetThread] = layout.handle; }
    bool sentUnicode() const {
        for (const KeyInput& e : api.sent) {
            if (e.flags & kEventUnicode) return true;
        }
        return false;
    }
    std::vector<std::uint8_t> keysSent() const {
        std::vector<std::uint8_t> vks;
        for (const KeyInput& e : api.sent) {
            if (!(e.flags & (kEventUnicode | kEventKeyUp))) vks.push_back(std::uint8_t(e.vk));
        }
        return vks;
    }

    FakeWin32Api api;
    Win32KeyboardDevice device{api};
};

// Every byte, on both layouts, with Caps Lock off and on: the receiver reads exactly
// the character, no key stays down and Caps Lock is as it was.
TEST_F(Win32KeyboardDeviceTest, EveryCharacterArrivesAsWrittenOnUsAndGermanWithCapsLockOffAndOn) {
    for (const Layout& layout : {Layout{"US", usLayout}, Layout{"German", germanLayout}}) {
        targetUses(layout.make());
        for (bool caps : {false, true}) {
            api.capsLock = caps;
            device.endPiece();  // Caps Lock is read once a piece
            for (int c = 0; c < 256; ++c) {
                SCOPED_TRACE(std::string(layout.name) + (caps ? " caps " : " ") +
                             std::to_string(c));
                api.received.clear();
                device.typeCharacter(static_cast<unsigned char>(c));
                EXPECT_EQ(api.received, std::u16string(1, char16_t(cp1252ToUnicode(c))));
                EXPECT_TRUE(api.down.none());
                EXPECT_EQ(api.capsLock, caps);
            }
        }
    }
}

TEST_F(Win32KeyboardDeviceTest, TheLayoutTypesWhatItCanAsKeysAndOnlyTheRestGoesAsUnicode) {
    // Control characters included: Windows types them with Ctrl, Enter, Tab and such.
    targetUses(usLayout());
    for (unsigned char c = 0; c < 0x80; ++c) device.typeCharacter(c);
    EXPECT_FALSE(sentUnicode());

    targetUses(germanLayout());
    api.sent.clear();
    device.typeCharacter('@');  // AltGr+Q, pressed as Ctrl+Alt
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkControl, kVkMenu, 'Q'}));
    api.sent.clear();
    device.typeCharacter(0x80);  // the euro sign, AltGr+E
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkControl, kVkMenu, 'E'}));
    // é has no key of its own on German, and ^ is a dead key that would wait.
    for (unsigned char c : {0xE9, int('^')}) {
        api.sent.clear();
        device.typeCharacter(c);
        EXPECT_TRUE(keysSent().empty()) << int(c);
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
        api.sent.clear();
        api.received.clear();
        device.typeCharacter('z');
        EXPECT_EQ(api.sent.front(), (KeyInput{'Z', 0x15, 0}));
        api.received.clear();
        for (unsigned char c : std::string("y@z")) device.typeCharacter(c);
        EXPECT_EQ(api.received, u"y@z");
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
        api.sent.clear();
        api.received.clear();
        for (unsigned char c : std::string("aB1!")) device.typeCharacter(c);
        EXPECT_EQ(api.received, u"aB1!");
        EXPECT_TRUE(api.capsLock);
        for (const KeyInput& e : api.sent) EXPECT_NE(e.vk, kVkCapital);
        const auto keys = shiftLock
                              ? std::vector<std::uint8_t>{'B', '1'}
                              : std::vector<std::uint8_t>{kVkShift, 'A', 'B', '1', kVkShift, '1'};
        EXPECT_EQ(keysSent(), keys);
    }
}

TEST_F(Win32KeyboardDeviceTest, ModifiersTheCallerHoldsStayAsTheyAreAndApply) {
    device.keybdEvent(kVkShift, kKeyDown);
    device.typeCharacter('A');  // needs Shift: the caller's is used, not pressed again
    device.typeCharacter('1');  // Shift held by the caller applies, as SendKeys' "+1"
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkShift, 'A', '1'}));
    EXPECT_TRUE(api.down[kVkShift]);
    EXPECT_EQ(api.received, u"A!");
    device.keybdEvent(kVkShift, kKeyUp);

    // Ctrl held makes a shortcut of the letter; Caps Lock is no concern of it.
    api.capsLock = true;
    api.sent.clear();
    api.received.clear();
    device.keybdEvent(0xA2, kKeyDown);  // left Ctrl
    device.typeCharacter('c');
    device.keybdEvent(0xA2, kKeyUp);
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{0xA2, 'C'}));
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
// that will not tell its level (a system one) counts as above ours; where our own
// level is unknown, nothing can be compared and nothing is held back.
TEST_F(Win32KeyboardDeviceTest, KeysForAWindowThatRunsAsAdministratorAreRefusedNotLost) {
    api.windows.push_back({0x200, u"Administrator: Command Prompt", 8, true, false, 77});
    api.windows.push_back({0x201, u"User Account Control", 9, true, false, 78});
    api.integrity[77] = kIntegrityHigh;
    api.integrity[78] = std::nullopt;
    for (WindowHandle front : {WindowHandle(0x200), WindowHandle(0x201)}) {
        api.foreground = front;
        try {
            device.typeCharacter('a');
            ADD_FAILURE() << "typed into a window above ours";
        } catch (const KeysRefused& refused) {
            EXPECT_STREQ(refused.what(), "the window in front runs as administrator");
        }
        EXPECT_THROW(device.keybdEvent(kVkReturn, kKeyDown), KeysRefused);
    }
    EXPECT_TRUE(api.sent.empty());
    api.foreground = kTarget;
    device.typeCharacter('a');
    EXPECT_EQ(api.received, u"a");
}

// A locked screen or a UAC prompt takes no more keys (SendInput says so). The call
// says whether its own key went in before, the half that went in leaves no key down,
// and the device believes no modifier held afterwards, nor after any piece: a Shift
// whose release was refused must not keep later capitals from getting theirs.
TEST_F(Win32KeyboardDeviceTest, RefusedKeysLeaveNoKeyDownAndNoModifierBelievedHeld) {
    api.acceptNext = 2;  // Shift and the key go down, nothing more
    try {
        device.typeCharacter('!');
        ADD_FAILURE() << "not refused";
    } catch (const KeysRefused& refused) {
        EXPECT_TRUE(refused.lastWentIn);
    }
    EXPECT_EQ(api.received, u"!");
    EXPECT_TRUE(api.down.none());
    api.acceptNext = 1;  // only Shift
    try {
        device.typeCharacter('!');
        ADD_FAILURE() << "not refused";
    } catch (const KeysRefused& refused) {
        EXPECT_FALSE(refused.lastWentIn);
    }
    EXPECT_EQ(api.received, u"!");
    EXPECT_TRUE(api.down.none());

    device.keybdEvent(kVkShift, kKeyDown);  // the "+" of "+(ab)"
    api.acceptBudget = 0;                   // the screen locks
    EXPECT_THROW(device.typeCharacter('a'), KeysRefused);
    EXPECT_THROW(device.keybdEvent(kVkShift, kKeyUp), KeysRefused);
    api.acceptBudget = -1;
    api.sent.clear();
    api.received.clear();
    device.typeCharacter('A');
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkShift, 'A'}));

    device.keybdEvent(kVkShift, kKeyDown);  // a piece that ended with Shift believed down
    device.endPiece();
    api.sent.clear();
    device.typeCharacter('A');
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkShift, 'A'}));
    EXPECT_EQ(api.received, u"AA");
}

}  // namespace
}  // namespace kest::win32::testing
