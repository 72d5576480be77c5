// The Wayland device and activator on a real compositor: a headless sway of our own,
// with foot and xterm (on a rootful Xwayland) as receivers. Every case ends by
// checking that the compositor threw no client off.

#include <gtest/gtest.h>

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

// Every character on a seat that had no keyboard before ours: the receiver binds it in
// its own time, and the first keys must wait until it can have them. Control characters
// type as Windows maps them.
TEST_F(WaylandKeys, EveryPrintableAndControlCharacterIntoFoot) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    std::string controls = "\t\r\x1b";
    for (int c = 1; c <= 26; ++c) {
        if (c != 8 && c != 9 && c != 10 && c != 13) controls.push_back(static_cast<char>(c));
    }
    const std::string text = printableCp1252(7) + controls + "\x1c\x1d\x1f" + printableCp1252(8);
    typeText(*device, text);
    EXPECT_TRUE(foot.waitFor(cp1252ToUtf8(text))) << foot.received();
}

TEST_F(WaylandKeys, KeybdEventSequencesAndKeyNotationHoldTheirModifiers) {
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
    // The key notation: groups and named keys.
    SendKeys("+(ab)c^(a)x{LEFT 2}{{}{+}~%(q)", true, *device);
    EXPECT_TRUE(
        foot.waitFor("AB\x03"
                     "AbC\x01\x1bx\r1"
                     "ABc\x01x\x1b[D\x1b[D{+\r\x1bq"))
        << foot.received();
}

// Every character, then 50,000 more at the device's own pace, into xterm under
// Xwayland, the receiver that sending too fast throws off the display: nothing lost,
// nothing doubled, and no client thrown off (checked in TearDown).
TEST_F(WaylandKeys, PacedStreamOfFiftyThousandCharactersIntoXtermUnderXwayland) {
    RootfulXwayland xwayland(sway);
    XtermReceiver xterm(xwayland.env(), "Kest Xterm");
    ASSERT_TRUE(focusWindowTitled(xwayland.name(), "Kest Xterm"));
    openDevice();
    const std::string alphabet = printableCp1252(3);
    std::string text = printableCp1252(11) + "\t\x01\x1b\r";
    std::mt19937 random(5);
    while (text.size() < 50000) text.push_back(alphabet[random() % alphabet.size()]);
    typeText(*device, text);
    const std::string expected = cp1252ToUtf8(text);
    EXPECT_TRUE(xterm.waitForBytes(expected.size()));
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

// Which title wins is the shared matching's business; here, that the compositor's
// window list is read and the keys follow the window found.
TEST_F(WaylandActivation, TheKeysFollowTheWindowFoundByItsTitle) {
    FootReceiver sheet(sway, "Kest Orders Sheet");
    FootReceiver oil(sway,
                     "\xC3\x96lpreis \xC3\x9C"
                     "bersicht");  // Ölpreis Übersicht
    openDevice();
    WaylandWindowActivator activator(sway.socket().c_str());
    const std::vector<FootReceiver*> all{&sheet, &oil};

    EXPECT_TRUE(activator.activate("kEST oRDERS"));
    EXPECT_EQ(receiverOfNextKey(all), 0);
    EXPECT_TRUE(activator.activate("\xF6LPREIS \xFC"));  // öLPREIS ü in Windows-1252
    EXPECT_EQ(receiverOfNextKey(all), 1);
    // No match: nothing changes, the keys stay where they were.
    EXPECT_FALSE(activator.activate("Kest Invoices"));
    EXPECT_EQ(receiverOfNextKey(all), 1);
}

}  // namespace
}  // namespace kest::e2e
