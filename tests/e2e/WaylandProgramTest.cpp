// The whole program inside a headless sway: started as a Wayland client, it types what
// a serial device sends into foot and into xterm under Xwayland, and brings the
// window named in its configuration to the front.

#include <gtest/gtest.h>

#include "e2e/ProgramHarness.h"
#include "e2e/support/TextReceivers.h"
#include "e2e/support/WaylandHarness.h"
#include "keyboard/wayland/PlasmaWindowActivator.h"

namespace kest::e2e {
namespace {

class WaylandProgram : public ::testing::Test {
  protected:
    explicit WaylandProgram(bool withTrayBar = false) : sway(withTrayBar) {}
    void TearDown() override {
        program.reset();
        EXPECT_EQ(sway.clientErrors(), std::vector<std::string>{});
        EXPECT_TRUE(sway.stop()) << "sway did not end after swaymsg exit";
    }

    std::string base() const { return home.path() + "/kest-redirect"; }

    void startProgram(std::map<std::string, std::string> env) {
        env["XDG_CONFIG_HOME"] = home.path();
        env["QT_QPA_PLATFORM"] = "wayland";
        program = std::make_unique<ChildProcess>(std::vector<std::string>{KEST_PROGRAM_PATH}, env,
                                                 tmp.path() + "/program.log", true);
        ASSERT_TRUE(waitUntil([&] { return sway.hasWindow(kMainTitle); }, 30s))
            << readFile(tmp.path() + "/program.log") << sway.message("-t get_tree");
    }

    HeadlessSway sway;
    TempDir home;
    TempDir tmp;
    std::unique_ptr<ChildProcess> program;
};

TEST_F(WaylandProgram, SerialScansAreTypedIntoFootNamedByTitle) {
    FootReceiver receiver(sway, kReceiver);
    FootReceiver other(sway, "Another Terminal");
    SerialDevice serial(base(), 5);
    writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, scanner(kReceiver)));
    startProgram(sway.env());
    // The program's window has the focus now; the receiver is brought to the front.
    serial.send("12345\r");
    ASSERT_TRUE(receiver.waitFor("<12345\r>")) << receiver.received();
    serial.send("\xE9t\xE9 \x80 5\r");
    const std::string expected = "<12345\r><" + cp1252ToUtf8("\xE9t\xE9 \x80 5") + "\r>";
    EXPECT_TRUE(receiver.waitFor(expected)) << receiver.received();
    EXPECT_EQ(other.received(), "");
}

TEST_F(WaylandProgram, SerialScansAreTypedIntoXtermUnderXwayland) {
    RootfulXwayland xwayland(sway);
    XtermReceiver xterm(xwayland.env(), kReceiver);
    SerialDevice serial(base(), 5);
    // No target window: the keys go where the focus is, in the Xwayland screen.
    writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, scanner("")));
    startProgram(xwayland.env());
    ASSERT_TRUE(focusWindowTitled(xwayland.name(), kReceiver));
    // The program's window took the focus; the Xwayland screen, which has no title
    // to name it by, is the one tiled window (sway floats the program's fixed-size
    // one). In sway's tree a node's "focused" comes
    // before its "name".
    ASSERT_TRUE(waitUntil([&] {
        sway.message("focus tiling");
        const std::string tree = sway.message("-t get_tree");
        const auto focused = tree.find("\"focused\": true");
        return focused != std::string::npos &&
               tree.compare(tree.find("\"name\": ", focused), 12, "\"name\": null") == 0;
    }));
    serial.send("\xC0 la 5\r");
    const std::string expected = "<" + cp1252ToUtf8("\xC0 la 5") + "\r>";
    EXPECT_TRUE(xterm.waitForBytes(expected.size()));
    EXPECT_EQ(xterm.received(), expected);
}

class WaylandTray : public WaylandProgram {
  protected:
    WaylandTray() : WaylandProgram(true) {}
};

// Qt as a Wayland client puts its tray icon in a StatusNotifier host such as swaybar.
TEST_F(WaylandTray, TheTrayIconAppearsInSwaybar) {
    writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, scanner(kReceiver)));
    // swaybar's tray comes up beside the compositor, empty.
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 0; })) << sway.trayItems();
    startProgram(sway.env());
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 1; })) << sway.trayItems();
}

// The program on GNOME and KDE Plasma, as their users start it: a native Wayland
// window of its own, typing a scanned line through its rules into a native GTK window.
class DesktopProgram : public ::testing::Test {
  protected:
    void TearDown() override {
        program.reset();
        if (!desktop) return;
        EXPECT_EQ(desktop->clientErrors(), std::vector<std::string>{});
    }
    std::string base() const { return home.path() + "/kest-redirect"; }
    void startProgram() {
        auto env = desktop->env();
        env["XDG_CONFIG_HOME"] = home.path();
        env["QT_QPA_PLATFORM"] = "wayland";
        program = std::make_unique<ChildProcess>(std::vector<std::string>{KEST_PROGRAM_PATH}, env,
                                                 tmp.path() + "/program.log", true);
    }

    std::unique_ptr<HeadlessDesktop> desktop;
    TempDir home;
    TempDir tmp;
    std::unique_ptr<ChildProcess> program;
};

// GNOME lets no program bring a window to the front: with no target window, a scan
// that comes while the program's own window has the focus waits, and is typed into
// the window the user goes to.
TEST_F(DesktopProgram, OnGnomeAScanIsTypedIntoTheWindowThatHasTheFocus) {
    desktop = std::make_unique<HeadlessMutter>("de");
    SerialDevice serial(base(), 5);
    writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, scanner("")));
    TextReceiver first(desktop->env(), ReceiverKind::Gtk, "Kest Before");
    startProgram();
    // The program's window takes the focus when it comes up.
    ASSERT_TRUE(first.waitForBlur()) << readFile(tmp.path() + "/program.log");
    serial.send("\xE9t\xE9 5\r");
    TextReceiver receiver(desktop->env(), ReceiverKind::Gtk, kReceiver);
    ASSERT_TRUE(receiver.focus());
    const std::string expected = "<" + cp1252ToUtf8("\xE9t\xE9 5") + "\n>";
    EXPECT_TRUE(receiver.waitForText(expected, 20s)) << receiver.received();
    EXPECT_EQ(first.received(), "");
    EXPECT_TRUE(receiver.running());
}

// KDE Plasma grants the program (by its desktop entry) fake input and the window list:
// the target window is brought to the front by its title and typed into.
TEST_F(DesktopProgram, OnKdeAScanIsTypedIntoTheTargetWindow) {
    desktop = std::make_unique<HeadlessKwin>(
        "us,de", std::vector<std::string>{KEST_PROGRAM_PATH, thisProgram()});
    for (const auto& [name, value] : desktop->env()) setenv(name.c_str(), value.c_str(), 1);
    SerialDevice serial(base(), 5);
    writeConfigFiles(base() + "/drive_c/TALVEN.CFG", scannerConfig(5, scanner(kReceiver)));
    TextReceiver receiver(desktop->env(), ReceiverKind::Qt, kReceiver);
    TextReceiver other(desktop->env(), ReceiverKind::Gtk, "Another Window");
    startProgram();
    wayland::PlasmaWindowActivator windows;
    ASSERT_TRUE(waitUntil([&] { return windows.windowExists(kMainTitle).value_or(false); }, 30s))
        << readFile(tmp.path() + "/program.log");
    serial.send("12345\r");
    ASSERT_TRUE(receiver.waitForText("<12345\n>", 20s)) << receiver.received();
    // ä and ß are on the German layout, which is configured but not the active one.
    serial.send("\xE4\xDF 5\r");
    const std::string expected = "<12345\n><" + cp1252ToUtf8("\xE4\xDF 5") + "\n>";
    EXPECT_TRUE(receiver.waitForText(expected, 20s)) << receiver.received() << "\n"
                                                     << readFile(tmp.path() + "/program.log");
    EXPECT_EQ(other.received(), "");
    EXPECT_TRUE(receiver.running());
}

}  // namespace
}  // namespace kest::e2e
