// The whole program inside a headless sway: started as a Wayland client, it types what
// a serial device sends into foot and into xterm under Xwayland, and brings the
// window named in its configuration to the front.

#include <gtest/gtest.h>

#include "e2e/ProgramHarness.h"
#include "e2e/support/WaylandHarness.h"

namespace kest::e2e {
namespace {

constexpr const char* kMainWindow = "Kest Redirect Serial/File/TCP Port to Keyboard   V1.2N";

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
        ASSERT_TRUE(waitUntil([&] { return sway.hasWindow(kMainWindow); }, 30s))
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
    SerialPair serial(base() + "/dosdevices/com5", tmp.path() + "/scanner");
    writeScannerConfigIn(base() + "/drive_c/TALVEN.CFG", 5, kReceiver);
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
    SerialPair serial(base() + "/dosdevices/com5", tmp.path() + "/scanner");
    // No target window: the keys go where the focus is, in the Xwayland screen.
    writeScannerConfigIn(base() + "/drive_c/TALVEN.CFG", 5, "");
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
    writeScannerConfigIn(base() + "/drive_c/TALVEN.CFG", 5, kReceiver);
    // swaybar's tray comes up beside the compositor, empty.
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 0; })) << sway.trayItems();
    startProgram(sway.env());
    EXPECT_TRUE(waitUntil([&] { return sway.trayItems() == 1; })) << sway.trayItems();
}

}  // namespace
}  // namespace kest::e2e
