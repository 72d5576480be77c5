// The Wayland device and activator on a real compositor: a headless sway of our own,
// with foot and xterm (on a rootful Xwayland) as receivers. Every case ends by
// checking that the compositor threw no client off.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "e2e/support/WaylandHarness.h"
#include "keyboard/ApiKbII.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"
#include "keyboard/wayland/WaylandWindowActivator.h"
#include "support/FakeClock.h"

namespace kest::e2e {
namespace {

using wayland::WaylandKeyboardDevice;
using wayland::WaylandWindowActivator;

// Every printable Windows-1252 character but the five that the code page leaves
// undefined, in an order of its own for each seed.
std::string shuffledPrintable(unsigned seed) {
    std::string text;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
        text.push_back(static_cast<char>(c));
    }
    std::mt19937 random(seed);
    std::shuffle(text.begin(), text.end(), random);
    return text;
}

void typeText(KeyboardDevice& device, const std::string& text) {
    for (unsigned char c : text) device.typeCharacter(c);
    device.sync();
}

class WaylandKeys : public ::testing::Test {
  protected:
    void TearDown() override {
        device.reset();
        EXPECT_EQ(sway.clientErrors(), std::vector<std::string>{});
        EXPECT_TRUE(sway.stop()) << "sway did not end after swaymsg exit";
    }
    void openDevice() { device = std::make_unique<WaylandKeyboardDevice>(sway.socket().c_str()); }

    HeadlessSway sway;
    std::unique_ptr<WaylandKeyboardDevice> device;
};

TEST_F(WaylandKeys, EveryPrintableCharacterInRandomOrderIntoFoot) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    const std::string text = shuffledPrintable(7) + shuffledPrintable(8);
    typeText(*device, text);
    EXPECT_TRUE(foot.waitFor(cp1252ToUtf8(text))) << foot.received();
}

// A seat without a keyboard gains one with ours, and the receiver binds it in its own
// time: the first keys are typed only once it can have them.
TEST_F(WaylandKeys, FirstKeysOnASeatThatHadNoKeyboardArrive) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    typeText(*device, "first");
    EXPECT_TRUE(foot.waitFor("first")) << foot.received();
}

TEST_F(WaylandKeys, ControlCharactersTypeAsWindowsMapsThem) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    std::string text = "\t\r\x1b";
    for (int c = 1; c <= 26; ++c) {
        if (c != 8 && c != 9 && c != 10 && c != 13) text.push_back(static_cast<char>(c));
    }
    text += "\x1c\x1d\x1f";
    typeText(*device, text);
    EXPECT_TRUE(foot.waitFor(text)) << foot.received();
}

TEST_F(WaylandKeys, KeybdEventSequencesHoldTheirModifiers) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    // Raw events: Shift held over two keys, then Ctrl over one.
    for (std::uint8_t vk : {kVkShift, std::uint8_t('A'), std::uint8_t('B')})
        device->keybdEvent(vk, kKeyDown);
    device->keybdEvent('B', kKeyUp);
    device->keybdEvent('A', kKeyUp);
    device->keybdEvent(kVkShift, kKeyUp);
    device->keybdEvent(kVkControl, kKeyDown);
    device->keybdEvent('C', kKeyDown);
    device->keybdEvent('C', kKeyUp);
    device->keybdEvent(kVkControl, kKeyUp);
    // The player: Shift for a capital, a held modifier over the next key, Alt, Enter.
    test::FakeClock clock;
    std::string keys = "Ab+c^a%x{ENTER}1";
    API_SEND_KEYS(keys, *device, clock);
    device->sync();
    EXPECT_TRUE(
        foot.waitFor("AB\x03"
                     "AbC\x01\x1bx\r1"))
        << foot.received();
}

TEST_F(WaylandKeys, KeyNotationGroupsAndNamedKeys) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    SendKeys("+(ab)c^(a)x{LEFT 2}{{}{+}~%(q)", true, *device);
    EXPECT_TRUE(foot.waitFor("ABc\x01x\x1b[D\x1b[D{+\r\x1bq")) << foot.received();
}

TEST_F(WaylandKeys, EveryPrintableCharacterIntoXtermOnRootfulXwayland) {
    RootfulXwayland xwayland(sway);
    XtermReceiver xterm(xwayland.env(), "Kest Xterm");
    ASSERT_TRUE(focusWindowTitled(xwayland.name(), "Kest Xterm"));
    openDevice();
    const std::string text = shuffledPrintable(11) + "\t\x01\x1b\r";
    typeText(*device, text);
    const std::string expected = cp1252ToUtf8(text);
    EXPECT_TRUE(xterm.waitForBytes(expected.size()));
    EXPECT_EQ(xterm.received(), expected);
}

// 50,000 characters at the device's own pace into xterm under Xwayland, the receiver
// that sending too fast throws off the display: nothing lost, nothing doubled, and no
// client thrown off (checked in TearDown).
TEST_F(WaylandKeys, PacedStreamOfFiftyThousandCharactersIntoXtermUnderXwayland) {
    RootfulXwayland xwayland(sway);
    XtermReceiver xterm(xwayland.env(), "Kest Xterm");
    ASSERT_TRUE(focusWindowTitled(xwayland.name(), "Kest Xterm"));
    openDevice();
    std::string text;
    std::mt19937 random(5);
    const std::string alphabet = shuffledPrintable(3);
    while (text.size() < 50000) text.push_back(alphabet[random() % alphabet.size()]);
    typeText(*device, text);
    const std::string expected = cp1252ToUtf8(text);
    EXPECT_TRUE(xterm.waitForBytes(expected.size(), 30s));
    EXPECT_TRUE(xterm.received() == expected)
        << "received " << xterm.received().size() << " of " << expected.size() << " bytes";
}

// A compositor that goes away (a crash, the session ending) makes typing fail with an
// error that the pipeline reports and survives: no crash, no hang, no silent success.
TEST(WaylandCompositorGone, TypingAndActivationFailCleanly) {
    HeadlessSway sway;
    WaylandKeyboardDevice device(sway.socket().c_str());
    WaylandWindowActivator activator(sway.socket().c_str());
    ASSERT_TRUE(sway.stop());
    EXPECT_THROW(device.typeCharacter('a'), wayland::DeviceError);
    // The next text tries a new connection, which fails as plainly.
    EXPECT_THROW(device.typeCharacter('a'), wayland::DeviceError);
    EXPECT_THROW(device.keybdEvent(kVkShift, kKeyDown), wayland::DeviceError);
    device.sync();
    EXPECT_FALSE(activator.activate("anything"));
}

class WaylandActivation : public WaylandKeys {
  protected:
    // Types a marker and tells which receiver got it.
    int receiverOfNextKey(std::vector<FootReceiver*> receivers) {
        typeText(*device, "x");
        int found = -1;
        waitUntil(
            [&] {
                for (std::size_t i = 0; i < receivers.size(); ++i) {
                    if (receivers[i]->received().size() > counts_[i]) found = int(i);
                }
                return found >= 0;
            },
            5s);
        for (std::size_t i = 0; i < receivers.size(); ++i)
            counts_[i] = receivers[i]->received().size();
        return found;
    }
    std::vector<std::size_t> counts_ = std::vector<std::size_t>(3, 0);
};

TEST_F(WaylandActivation, ExactTitleThenPrefixThenLetterCaseThenNonAscii) {
    FootReceiver orders(sway, "Kest Orders");
    FootReceiver sheet(sway, "Kest Orders Sheet");
    FootReceiver oil(sway,
                     "\xC3\x96lpreis \xC3\x9C"
                     "bersicht");  // Ölpreis Übersicht
    openDevice();
    WaylandWindowActivator activator(sway.socket().c_str());
    const std::vector<FootReceiver*> all{&orders, &sheet, &oil};

    EXPECT_TRUE(activator.activate("Kest Orders"));  // exact wins over the longer one
    EXPECT_EQ(receiverOfNextKey(all), 0);
    EXPECT_TRUE(activator.activate("Kest Orders S"));
    EXPECT_EQ(receiverOfNextKey(all), 1);
    EXPECT_TRUE(activator.activate("kEST oRDERS"));
    EXPECT_EQ(receiverOfNextKey(all), 0);
    EXPECT_TRUE(activator.activate("\xF6LPREIS \xFC"));  // öLPREIS ü in Windows-1252
    EXPECT_EQ(receiverOfNextKey(all), 2);
    // No match: nothing changes, the keys stay where they were.
    EXPECT_FALSE(activator.activate("Kest Invoices"));
    EXPECT_FALSE(activator.activate(""));
    EXPECT_EQ(receiverOfNextKey(all), 2);
}

}  // namespace
}  // namespace kest::e2e
