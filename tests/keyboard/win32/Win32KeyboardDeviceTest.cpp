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
// places and @ is AltGr+Q, although our own thread types US.
TEST_F(Win32KeyboardDeviceTest, KeysComeFromTheLayoutOfTheForegroundWindowsThread) {
    targetUses(germanLayout());
    device.typeCharacter('z');
    EXPECT_EQ(api.sent.front(), (KeyInput{'Z', 0x15, 0}));
    api.received.clear();
    for (unsigned char c : std::string("y@z")) device.typeCharacter(c);
    EXPECT_EQ(api.received, u"y@z");
}

TEST_F(Win32KeyboardDeviceTest, CapsLockIsLiftedAroundLettersSoTheyKeepTheirCase) {
    api.capsLock = true;
    device.typeCharacter('a');
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkCapital, 'A', kVkCapital}));
    EXPECT_EQ(api.received, u"a");
    EXPECT_TRUE(api.capsLock);
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

// Another program blocking input lets a block in only in part: the failure is
// reported, and neither a key nor Caps Lock is left changed by the half that went in.
TEST_F(Win32KeyboardDeviceTest, APartlyRefusedCharacterThrowsAndLeavesNoKeyDown) {
    api.acceptNext = 2;  // Shift and the key go down, nothing more
    EXPECT_THROW(device.typeCharacter('!'), DeviceError);
    EXPECT_TRUE(api.down.none());

    api.capsLock = true;
    api.acceptNext = 1;  // only the first Caps Lock press
    EXPECT_THROW(device.typeCharacter('a'), DeviceError);
    EXPECT_TRUE(api.down.none());
    EXPECT_TRUE(api.capsLock);

    api.capsLock = false;
    api.acceptNext = 0;
    EXPECT_THROW(device.keybdEvent(kVkShift, kKeyDown), DeviceError);
    api.sent.clear();
    device.typeCharacter('!');  // the refused Shift is not taken for the caller's
    EXPECT_EQ(keysSent(), (std::vector<std::uint8_t>{kVkShift, '1'}));
}

}  // namespace
}  // namespace kest::win32::testing
