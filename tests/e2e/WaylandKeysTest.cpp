// The Wayland virtual keyboard on a real compositor: a headless sway of our own, with
// foot and xterm (on a rootful Xwayland) as receivers. Every case ends by checking
// that the compositor threw no client off.

#include <gtest/gtest.h>

#include <random>

#include "e2e/support/WaylandHarness.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"

namespace kest::e2e {
namespace {

using wayland::WaylandKeyboardDevice;

void typeText(KeyboardDevice& device, const std::string& text) {
    for (unsigned char c : text) device.typeCharacter(c);
    device.sync();
}

class WaylandKeys : public ::testing::Test {
  protected:
    void TearDown() override {
        device.reset();
        EXPECT_EQ(sway.clientErrors(), std::vector<std::string>{});
    }
    // Opened after the receiver: a seat that had no keyboard before ours, which the
    // receiver binds in its own time; the first keys must wait until it can have them.
    void openDevice() { device = std::make_unique<WaylandKeyboardDevice>(sway.socket().c_str()); }

    HeadlessSway sway;
    std::unique_ptr<WaylandKeyboardDevice> device;
};

// Every character, control characters typed as Windows maps them, then modifiers held
// over keys: raw events (Shift over two keys, Ctrl over one) and the key notation's
// groups and named keys.
TEST_F(WaylandKeys, EveryCharacterAndHeldModifiersIntoFoot) {
    FootReceiver foot(sway, "Kest Foot");
    openDevice();
    std::string controls = "\t\r\x1b\x1c\x1d\x1f";
    for (int c = 1; c <= 26; ++c) {
        if (c != 8 && c != 9 && c != 10 && c != 13) controls.push_back(static_cast<char>(c));
    }
    const std::string text = printableCp1252(7) + controls;
    typeText(*device, text);
    for (std::uint8_t vk : {kVkShift, std::uint8_t('A'), std::uint8_t('B')})
        device->keybdEvent(vk, kKeyDown);
    device->keybdEvent('B', kKeyUp);
    device->keybdEvent('A', kKeyUp);
    device->keybdEvent(kVkShift, kKeyUp);
    device->keybdEvent(kVkControl, kKeyDown);
    device->keybdEvent('C', kKeyDown);
    device->keybdEvent('C', kKeyUp);
    device->keybdEvent(kVkControl, kKeyUp);
    SendKeys("+(ab)c^(a)x{LEFT 2}{{}{+}~%(q)", true, *device);
    EXPECT_TRUE(foot.waitFor(cp1252ToUtf8(text) + "AB\x03" + "ABc\x01x\x1b[D\x1b[D{+\r\x1bq"))
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

}  // namespace
}  // namespace kest::e2e
