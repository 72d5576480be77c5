// Which keyboard the program opens on a Wayland session: the one the desktop offers
// (sway, GNOME, KDE Plasma), else XTest into Xwayland with a plain notice, and a clear
// error when there is nothing at all to type into.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <typeinfo>

#include "app/KeyboardBackend.h"
#include "e2e/support/TextReceivers.h"
#include "e2e/support/WaylandHarness.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/SeatKeyboardDevice.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"

namespace kest::e2e {
namespace {

// KDE Plasma that does not trust the program (no desktop entry grants it fake input)
// offers neither keys nor the window list: XTest into Xwayland, and the user is told.
TEST(WaylandBackendChoice, FallsBackToXwaylandAndSaysWhatCannotBeReached) {
    PrivateDisplay display;  // stands for the session's Xwayland
    HeadlessKwin kwin("us", {});
    Recorder recorder(display, "Backend");
    kwin.enter();
    setenv("DISPLAY", display.name().c_str(), 1);
    KeyboardBackend backend = openKeyboardBackend();
    EXPECT_EQ(backend.notice, kNoWaylandKeysNotice);
    SendKeys("ok", true, *backend.device);
    EXPECT_TRUE(recorder.waitForText("ok"));

    // No X display either: nothing to type into, and the user is told why.
    unsetenv("DISPLAY");
    try {
        openKeyboardBackend();
        FAIL() << "opened a keyboard with nothing to type into";
    } catch (const KeyboardBackendError& e) {
        EXPECT_EQ(std::string(e.what()), kNoWaylandKeysNotice);
    }
    // A compositor that is gone: X11 all the same, with its own notice.
    setenv("DISPLAY", display.name().c_str(), 1);
    setenv("WAYLAND_DISPLAY", "/nonexistent/wayland-9", 1);
    EXPECT_EQ(openKeyboardBackend().notice, kWaylandFailedNotice);
}

struct DesktopCase {
    const char* name;
    std::function<std::unique_ptr<HeadlessDesktop>()> start;
    const std::type_info* device;
    const char* notice;
    ReceiverKind receiver;
    bool activates;                   // whether the desktop lets a program raise windows
    std::optional<bool> listsWindow;  // what windowExists tells of a window on screen
};

void PrintTo(const DesktopCase& c, std::ostream* os) {
    *os << c.name;
}

class WaylandBackend : public ::testing::TestWithParam<DesktopCase> {};

// On each desktop the program opens the keyboard the desktop offers (sway's virtual
// keyboard, GNOME's remote desktop, KDE's fake input for a program it trusts) and says
// what it cannot do; where windows can be raised, they are found by title in the
// compositor's window list and the keys follow (which title wins is the shared
// matching's business). A desktop that then goes away (a crash, the session ending)
// makes typing fail with an error that the pipeline reports and survives, also for the
// next text: no crash, no hang, no silent success.
TEST_P(WaylandBackend, TypesIntoTheWindowFoundAndFailsCleanlyOnceTheDesktopIsGone) {
    const DesktopCase& c = GetParam();
    std::unique_ptr<HeadlessDesktop> desktop = c.start();
    desktop->enter();
    KeyboardBackend backend = openKeyboardBackend();
    const KeyboardDevice& device = *backend.device;
    EXPECT_TRUE(typeid(device) == *c.device) << typeid(device).name();
    EXPECT_EQ(backend.notice, c.notice);
    std::vector<std::unique_ptr<TextReceiver>> windows;
    for (const char* title : {"Kest Orders Sheet",
                              "\xC3\x96lpreis \xC3\x9C"
                              "bersicht"}) {  // Ölpreis Übersicht
        windows.push_back(std::make_unique<TextReceiver>(desktop->env(), c.receiver, title));
        ASSERT_TRUE(windows.back()->focus());
    }
    std::string typed[2];
    // Types a marker and tells which window got it.
    auto receiverOfNextKey = [&] {
        SendKeys("x", true, *backend.device);
        int found = -1;
        waitUntil([&] {
            for (int i = 0; i < 2; ++i) {
                if (windows[std::size_t(i)]->received() != typed[i]) found = i;
            }
            return found >= 0;
        });
        if (found >= 0) typed[found] += "x";
        return found;
    };
    EXPECT_EQ(backend.activator->activate("kEST oRDERS"), c.activates);
    EXPECT_EQ(receiverOfNextKey(), c.activates ? 0 : 1);
    EXPECT_EQ(backend.activator->activate("\xF6LPREIS \xFC"), c.activates);  // öLPREIS ü
    EXPECT_EQ(receiverOfNextKey(), 1);
    EXPECT_EQ(backend.activator->windowExists("Kest Orders Sheet"), c.listsWindow);
    EXPECT_FALSE(backend.activator->activate("Kest Invoices"));
    EXPECT_EQ(receiverOfNextKey(), 1);
    EXPECT_EQ(desktop->clientErrors(), std::vector<std::string>{});

    desktop.reset();
    EXPECT_THROW(backend.device->typeCharacter('a'), wayland::DeviceError);
    EXPECT_THROW(backend.device->typeCharacter('a'), wayland::DeviceError);
    EXPECT_THROW(backend.device->keybdEvent(kVkShift, kKeyDown), wayland::DeviceError);
    backend.device->sync();
    EXPECT_FALSE(backend.activator->activate("Kest Orders Sheet"));
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, WaylandBackend,
    ::testing::Values(DesktopCase{"sway", [] { return std::make_unique<HeadlessSway>(); },
                                  &typeid(wayland::WaylandKeyboardDevice), "", ReceiverKind::Gtk,
                                  true, std::nullopt},
                      DesktopCase{"gnome", [] { return std::make_unique<HeadlessMutter>(); },
                                  &typeid(wayland::SeatKeyboardDevice), kGnomeNoActivationNotice,
                                  ReceiverKind::Gtk, false, std::nullopt},
                      DesktopCase{"kde",
                                  [] {
                                      return std::make_unique<HeadlessKwin>(
                                          "us", std::vector<std::string>{thisProgram()});
                                  },
                                  &typeid(wayland::SeatKeyboardDevice), "", ReceiverKind::Qt, true,
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kest::e2e
