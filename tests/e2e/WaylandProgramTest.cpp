// The whole program as a Wayland client on sway, GNOME and KDE Plasma, as their users
// start it: a native window of its own, typing what a serial device sends through its
// rules into the window named in its configuration, or the one that has the focus.

#include <gtest/gtest.h>

#include "e2e/ProgramHarness.h"
#include "e2e/support/TextReceivers.h"
#include "e2e/support/WaylandHarness.h"
#include "keyboard/wayland/PlasmaWindowActivator.h"

namespace kest::e2e {
namespace {

class WaylandProgram : public ::testing::Test {
  protected:
    void TearDown() override {
        program.reset();
        if (!desktop) return;
        EXPECT_EQ(desktop->clientErrors(), std::vector<std::string>{});
    }
    std::string base() const { return home.path() + "/kest-redirect"; }
    void startProgram(const GeneralSettings& settings) {
        writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, settings));
        auto env = desktop->env();
        env["XDG_CONFIG_HOME"] = home.path();
        env["QT_QPA_PLATFORM"] = "wayland";
        program = std::make_unique<ChildProcess>(std::vector<std::string>{KEST_PROGRAM_PATH}, env,
                                                 log(), true);
    }
    std::string log() const { return tmp.path() + "/program.log"; }

    std::unique_ptr<HeadlessDesktop> desktop;
    TempDir home;
    TempDir tmp;
    SerialDevice serial{base(), 5};
    std::unique_ptr<ChildProcess> program;
};

// The target window, found by its title, gets the scans; Qt puts the program's tray
// icon in a StatusNotifier host such as swaybar.
TEST_F(WaylandProgram, OnSwayScansAreTypedIntoFootNamedByTitleAndTheTrayIconIsShown) {
    desktop = std::make_unique<HeadlessSway>(true);
    auto& sway = static_cast<HeadlessSway&>(*desktop);
    FootReceiver receiver(sway, kReceiver);
    FootReceiver other(sway, "Another Terminal");
    // swaybar's tray comes up beside the compositor, empty.
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 0; })) << sway.trayItems();
    startProgram(scanner(kReceiver));
    ASSERT_TRUE(waitUntil([&] { return sway.hasWindow(kMainTitle); }, 30s)) << readFile(log());
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 1; })) << sway.trayItems();
    // The program's window has the focus now; the receiver is brought to the front.
    serial.send("12345\r");
    ASSERT_TRUE(receiver.waitFor("<12345\r>")) << receiver.received();
    serial.send("\xE9t\xE9 \x80 5\r");
    EXPECT_TRUE(receiver.waitFor("<12345\r><" + cp1252ToUtf8("\xE9t\xE9 \x80 5") + "\r>"))
        << receiver.received();
    EXPECT_EQ(other.received(), "");
}

// GNOME lets no program bring a window to the front: with no target window, a scan
// that comes while the program's own window has the focus waits, and is typed into
// the window the user goes to.
TEST_F(WaylandProgram, OnGnomeAScanIsTypedIntoTheWindowThatHasTheFocus) {
    desktop = std::make_unique<HeadlessMutter>("de");
    TextReceiver first(desktop->env(), ReceiverKind::Gtk, "Kest Before");
    startProgram(scanner(""));
    // The program's window takes the focus when it comes up.
    ASSERT_TRUE(first.waitForBlur()) << readFile(log());
    serial.send("\xE9t\xE9 5\r");
    TextReceiver receiver(desktop->env(), ReceiverKind::Gtk, kReceiver);
    ASSERT_TRUE(receiver.focus());
    const std::string expected = "<" + cp1252ToUtf8("\xE9t\xE9 5") + "\n>";
    EXPECT_TRUE(receiver.waitForText(expected, 20s)) << receiver.received();
    EXPECT_EQ(first.received(), "");
    EXPECT_TRUE(receiver.running());
}

// KDE Plasma grants the program (by its desktop entry) fake input and the window list:
// the target window is brought to the front by its title and typed into, with ä and ß
// from the German layout, which is configured but not the active one.
TEST_F(WaylandProgram, OnKdeAScanIsTypedIntoTheTargetWindow) {
    desktop = std::make_unique<HeadlessKwin>(
        "us,de", std::vector<std::string>{KEST_PROGRAM_PATH, thisProgram()});
    desktop->enter();
    TextReceiver receiver(desktop->env(), ReceiverKind::Qt, kReceiver);
    TextReceiver other(desktop->env(), ReceiverKind::Gtk, "Another Window");
    startProgram(scanner(kReceiver));
    wayland::PlasmaWindowActivator windows;
    ASSERT_TRUE(waitUntil([&] { return windows.windowExists(kMainTitle).value_or(false); }, 30s))
        << readFile(log());
    serial.send("12345\r");
    ASSERT_TRUE(receiver.waitForText("<12345\n>", 20s)) << receiver.received();
    serial.send("\xE4\xDF 5\r");
    const std::string expected = "<12345\n><" + cp1252ToUtf8("\xE4\xDF 5") + "\n>";
    EXPECT_TRUE(receiver.waitForText(expected, 20s)) << receiver.received() << "\n"
                                                     << readFile(log());
    EXPECT_EQ(other.received(), "");
    EXPECT_TRUE(receiver.running());
}

}  // namespace
}  // namespace kest::e2e
