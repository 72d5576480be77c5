// The installed package, not the build tree: the start-at-login entry that the program
// in /usr/bin writes starts that program as the named instance, which comes up on a
// private display and types a scanned line through the instance's rules.
// scripts/package-test installs the package, runs this and removes the package again;
// it is no CTest test, since it needs the package installed.

#include <filesystem>

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

TEST_F(InstalledPackageTest, StartAtLoginEntryStartsTheInstalledProgramWhichTypesThroughARule) {
    XtermReceiver xterm(display, kReceiver);
    SerialDevice serial(base(), 6);
    writeScannerConfig(6, scanner(kReceiver), "_Packaged");
    const std::string entry =
        display.env().at("XDG_CONFIG_HOME") + "/autostart/kest-redirect_Packaged.desktop";
    ChildProcess autostartOn({KEST_PROGRAM_PATH, "--autostart", "on", "/#Packaged#"},
                             display.env());
    ASSERT_EQ(autostartOn.wait(), 0);
    ASSERT_EQ(std::system(("desktop-file-validate '" + entry + "'").c_str()), 0);
    const std::string text = readFile(entry);
    EXPECT_NE(text.find("\nExec=\"" + std::string(KEST_PROGRAM_PATH) + "\" \"/#Packaged#\"\n"),
              std::string::npos)
        << text;

    // What the desktop runs at login, from that Exec line.
    auto program = startProgram({"/#Packaged#"});
    ASSERT_TRUE(waitForMainWindow("_Packaged"));
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(program->pid()) + "/exe"),
              KEST_PROGRAM_PATH);
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
