// Keys into native Wayland windows on GNOME (headless mutter, through its remote
// desktop) and KDE Plasma (headless KWin, through its fake input), received by GTK 3
// and Qt 6 windows on the Wayland platform, with the user's layout applied by the
// compositor. Every case ends by checking that the receiver is still connected and
// that the compositor threw no client off.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "e2e/support/TextReceivers.h"
#include "e2e/support/WaylandHarness.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/DesktopInjectors.h"

namespace kest::e2e {
namespace {

using wayland::KwinFakeInput;
using wayland::MutterRemoteDesktop;
using wayland::SeatKeyboardDevice;

// Printable ASCII at random, as the benchmark types it.
std::string asciiText(std::size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < length) text.push_back(char(0x20 + random() % 95));
    return text;
}
// What a German layout gives without an input method: its own keys with Shift and
// AltGr, and its dead keys (the accents, ^ and `).
const std::string kGermanLayoutText =
    "d\xE9j\xE0 \xFC"
    "ber Stra\xDF"
    "e M\xE4"
    "dchen 10\x80 \xB0^` \xBF\xB5\xA7 \xC0\xC9\xC8\xD9 "
    "y@z{[]}\\|~";

enum class Desktop { Gnome, Kde };

struct DesktopCase {
    Desktop desktop;
    std::string layouts;  // the first one is active
    ReceiverKind receiver;
    std::size_t stream = 600;  // the length of the ASCII text
};

std::string caseName(const ::testing::TestParamInfo<DesktopCase>& info) {
    std::string name = info.param.desktop == Desktop::Gnome ? "gnome_" : "kde_";
    for (char c : info.param.layouts) name += c == ',' ? '_' : c;
    return name;
}

std::unique_ptr<HeadlessDesktop> startDesktop(const DesktopCase& c) {
    if (c.desktop == Desktop::Gnome) return std::make_unique<HeadlessMutter>(c.layouts);
    return std::make_unique<HeadlessKwin>(c.layouts, std::vector<std::string>{thisProgram()});
}

class DesktopKeys : public ::testing::TestWithParam<DesktopCase> {
  protected:
    void SetUp() override {
        desktop = startDesktop(GetParam());
        // The device reaches the desktop through the session's environment.
        for (const auto& [name, value] : desktop->env()) setenv(name.c_str(), value.c_str(), 1);
        if (GetParam().desktop == Desktop::Gnome) {
            device = std::make_unique<SeatKeyboardDevice>(
                [](wayland::WaylandConnection&) { return std::make_unique<MutterRemoteDesktop>(); },
                nullptr, wayland::gnomeTiming());
        } else {
            device = std::make_unique<SeatKeyboardDevice>(
                [](wayland::WaylandConnection& c) { return std::make_unique<KwinFakeInput>(c); });
        }
        device->setNoticeHandler([this](const std::string& m) { notices += m + "\n"; });
        // A headless seat has a keyboard, and windows the focus, only once the device
        // gives it one.
        receiver =
            std::make_unique<TextReceiver>(desktop->env(), GetParam().receiver, "Kest Native");
        ASSERT_TRUE(receiver->focus());
    }
    void TearDown() override {
        device.reset();
        if (!receiver) return;
        EXPECT_TRUE(receiver->running()) << "the compositor threw the receiver off";
        EXPECT_EQ(desktop->clientErrors(), std::vector<std::string>{});
    }

    std::unique_ptr<HeadlessDesktop> desktop;
    std::unique_ptr<TextReceiver> receiver;
    std::unique_ptr<SeatKeyboardDevice> device;
    std::string notices;
};

// GTK takes Unicode entry for what no layout has: ASCII with é in it, and every
// printable character, arrive exactly. The
// long streams, at the device's own pace, catch lost or doubled keys and a client
// thrown off (checked in TearDown).
class GtkOnDesktop : public DesktopKeys {};

TEST_P(GtkOnDesktop, EveryCharacterArrivesExactly) {
    std::string ascii = asciiText(GetParam().stream, 1);
    for (std::size_t i = 0; i < ascii.size(); i += 97) ascii[i] = '\xE9';  // a dead key on de
    EXPECT_EQ(typeEachText(*device, *receiver, {ascii, printableCp1252()}), "") << notices;
    // What no layout has is named once: ‰ is on none of them. é is on a German layout
    // (a dead key), which KDE switches to where it is configured.
    EXPECT_NE(notices.find("\xE2\x80\xB0"), std::string::npos) << notices;
    EXPECT_EQ(notices.find("\xC3\xA9") == std::string::npos, GetParam().layouts != "us") << notices;
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, GtkOnDesktop,
    ::testing::Values(DesktopCase{Desktop::Gnome, "us", ReceiverKind::Gtk},
                      DesktopCase{Desktop::Gnome, "de", ReceiverKind::Gtk, 20000},
                      DesktopCase{Desktop::Kde, "us,de", ReceiverKind::Gtk},
                      DesktopCase{Desktop::Kde, "de", ReceiverKind::Gtk, 20000}),
    caseName);

// Qt without an input method takes only real keys: what the layouts give, dead keys
// included, arrives exactly; on KDE a configured layout that is not the active one is
// switched to for its characters, and back.
class QtOnDesktop : public DesktopKeys {};

TEST_P(QtOnDesktop, WhatTheLayoutsGiveArrivesExactly) {
    EXPECT_EQ(typeEachText(*device, *receiver, {asciiText(300, 2), kGermanLayoutText}), "");
    EXPECT_EQ(notices, "");
    // KDE's active layout is the user's again afterwards.
    if (auto* kwin = dynamic_cast<HeadlessKwin*>(desktop.get())) {
        EXPECT_EQ(kwin->activeLayout(), "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, QtOnDesktop,
                         ::testing::Values(DesktopCase{Desktop::Gnome, "de", ReceiverKind::Qt},
                                           DesktopCase{Desktop::Kde, "us,de", ReceiverKind::Qt}),
                         caseName);

// A layout the user adds while the program runs is used from the next text on: the
// keymap is followed as the compositor sends it anew.
class LayoutAdded : public DesktopKeys {};

TEST_P(LayoutAdded, ALayoutAddedLaterIsUsedForItsCharacters) {
    // No layout has ä yet: Unicode input, which Qt without an input method does not
    // take (it gets the code's digits), and the user is told.
    SendKeys(literalKeyNotation("a\xE4"), true, *device);
    EXPECT_TRUE(receiver->waitForText("ae4 ")) << receiver->received();
    EXPECT_NE(notices.find("\xC3\xA4"), std::string::npos) << notices;
    auto& kwin = dynamic_cast<HeadlessKwin&>(*desktop);
    kwin.setLayouts("us,de");
    SendKeys(literalKeyNotation("\xE4"), true, *device);
    EXPECT_TRUE(receiver->waitForText("ae4 \xC3\xA4")) << receiver->received();
    EXPECT_EQ(kwin.activeLayout(), "0");
}

INSTANTIATE_TEST_SUITE_P(Desktops, LayoutAdded,
                         ::testing::Values(DesktopCase{Desktop::Kde, "us", ReceiverKind::Qt}),
                         caseName);

// The desktop portal: GNOME's dialog asks the user, who allows typing (over the
// accessibility bus, as a screen reader would press its buttons); then keys arrive.
TEST(GnomePortal, TypesOnceTheUserAllowsIt) {
    HeadlessMutter mutter("us", true);
    for (const auto& [name, value] : mutter.env()) setenv(name.c_str(), value.c_str(), 1);
    TempDir dir;
    ChildProcess user({"/usr/bin/python3", KEST_E2E_SUPPORT_DIR "/accept_remote_desktop.py", "120"},
                      mutter.env(), dir.path() + "/user.log", true);
    SeatKeyboardDevice device(
        [](wayland::WaylandConnection&) {
            return std::make_unique<wayland::PortalRemoteDesktop>();
        },
        nullptr, wayland::gnomeTiming());
    EXPECT_EQ(user.wait(30s), 0) << readFile(dir.path() + "/user.log");
    TextReceiver gtk(mutter.env(), ReceiverKind::Gtk, "Kest Portal");
    ASSERT_TRUE(gtk.focus());
    SendKeys(literalKeyNotation("portal \xE9t\xE9"), true, device);
    EXPECT_TRUE(gtk.waitForText(cp1252ToUtf8("portal \xE9t\xE9"))) << gtk.received();
    EXPECT_EQ(mutter.clientErrors(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kest::e2e
