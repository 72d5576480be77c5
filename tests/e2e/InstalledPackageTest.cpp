// The installed package, not the build tree: the program the package put into /usr/bin
// comes up on a private display and types a scanned line through a rule, and the
// start-at-login entry it writes starts a named instance with that instance's rules.
// scripts/package-test installs the package, runs this and removes the package again;
// it is no CTest test, since it needs the package installed.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/ProgramHarness.h"

namespace kest::e2e {
namespace {

namespace fs = std::filesystem;

class InstalledPackageTest : public ProgramFixture {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(KEST_PROGRAM_PATH)) << "the package is not installed";
        ProgramFixture::SetUp();
    }
};

TEST_F(InstalledPackageTest, InstalledProgramTypesAScannedLineThroughARule) {
    XtermReceiver xterm(display, kReceiver);
    SerialDevice serial(base(), 5);
    writeScannerConfig(5);
    auto program = startProgram({});
    ASSERT_TRUE(waitForMainWindow());
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(program->pid()) + "/exe"),
              KEST_PROGRAM_PATH);
    serial.send("12345\r");
    ASSERT_TRUE(xterm.waitForBytes(8));
    EXPECT_EQ(xterm.received(), "<12345\r>");
}

TEST_F(InstalledPackageTest, StartAtLoginEntryStartsTheNamedInstance) {
    XtermReceiver xterm(display, kReceiver);
    SerialDevice serial(base(), 6);
    writeScannerConfig(6, scanner(kReceiver), "_Packaged");
    const std::string entry =
        display.env().at("XDG_CONFIG_HOME") + "/autostart/kest-redirect_Packaged.desktop";
    ChildProcess autostartOn({KEST_PROGRAM_PATH, "--autostart", "on", "/#Packaged#"},
                             display.env());
    ASSERT_EQ(autostartOn.wait(), 0);
    ASSERT_EQ(std::system(("desktop-file-validate '" + entry + "'").c_str()), 0);
    std::ifstream file(entry);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(
        text.str().find("\nExec=\"" + std::string(KEST_PROGRAM_PATH) + "\" \"/#Packaged#\"\n"),
        std::string::npos)
        << text.str();

    // What the desktop runs at login, from that Exec line.
    auto program = startProgram({"/#Packaged#"});
    ASSERT_TRUE(waitForMainWindow("_Packaged"));
    serial.send("12345\r");
    ASSERT_TRUE(xterm.waitForBytes(8));
    EXPECT_EQ(xterm.received(), "<12345\r>");

    ChildProcess autostartOff({KEST_PROGRAM_PATH, "--autostart", "off", "/#Packaged#"},
                              display.env());
    EXPECT_EQ(autostartOff.wait(), 0);
    EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
}  // namespace kest::e2e
