// The Windows program as users install and start it, under Wine: the installer (an
// older version first, then this one over it, then removed with msiexec), the
// installed program starting, and its start at login as a value in the registry.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/wine/WineHarness.h"

namespace kest::e2e::wine {
namespace {

namespace fs = std::filesystem;

class WineInstall : public WineFixture {
  protected:
    // The product codes of what Wine's uninstaller lists under our name.
    std::vector<std::string> installed() {
        run({"wine", "uninstaller", "--list"});
        std::vector<std::string> codes;
        std::istringstream lines(lastOutput());
        for (std::string line; std::getline(lines, line);) {
            if (line.find("|||Kest Redirect") != std::string::npos)
                codes.push_back(line.substr(0, line.find('|')));
        }
        return codes;
    }
    std::string installDir() const { return prefix() + "/drive_c/Program Files/Kest Redirect"; }
    // The Start-menu shortcut: all users' on Windows; Wine's msiexec puts it into the
    // user's own Start menu.
    bool shortcutPresent() const {
        const std::string programs = "/Microsoft/Windows/Start Menu/Programs/Kest Redirect.lnk";
        if (fs::exists(prefix() + "/drive_c/ProgramData" + programs)) return true;
        for (const auto& user : fs::directory_iterator(prefix() + "/drive_c/users")) {
            if (fs::exists(user.path().string() + "/AppData/Roaming" + programs)) return true;
        }
        return false;
    }
};

TEST_F(WineInstall, TheInstallerUpgradesInstallsAProgramThatStartsAtLoginAndRemovesIt) {
    // The prefix is shared between runs, and a wineserver ended at once may not have
    // kept an earlier removal: nothing of ours is installed before the test.
    for (const std::string& code : installed()) run({"wine", "msiexec", "/x", code, "/qn"});
    ASSERT_TRUE(installed().empty());
    // The same installer numbered lower, as the version before this one.
    std::string wxs = readFile(KEST_WINDOWS_WXS);
    const std::string version = "Version=\"" KEST_VERSION ".0\"";
    ASSERT_NE(wxs.find(version), std::string::npos);
    wxs.replace(wxs.find(version), version.size(), "Version=\"0.9.0\"");
    const std::string olderWxs = tmp.path() + "/older.wxs", older = tmp.path() + "/older.msi";
    std::ofstream(olderWxs) << wxs;
    const std::string windowsBuild = fs::path(KEST_WINDOWS_MSI).parent_path().string();
    ASSERT_EQ(run({"sh", "-c", "cd \"$0\" && wixl --arch x64 -o \"$1\" \"$2\"", windowsBuild, older,
                   olderWxs}),
              0);
    ASSERT_EQ(run({"wine", "msiexec", "/i", windowsPath(older), "/qn"}), 0);
    ASSERT_EQ(run({"wine", "msiexec", "/i", windowsPath(KEST_WINDOWS_MSI), "/qn"}), 0);
    EXPECT_EQ(installed().size(), 1u) << "the older version was not replaced";
    const std::string installedProgram = installDir() + "/Kest_Redirect_Serial_to_KB.exe";
    // Not EXPECT_EQ: a failure would print a diff of two 22 MB files.
    EXPECT_TRUE(readFile(installedProgram) == readFile(kWindowsProgram))
        << "the installed program is not the build's";
    EXPECT_TRUE(fs::exists(installDir() + "/README.txt"));
    EXPECT_TRUE(shortcutPresent());

    // Start at login is a value of the instance in the user's Run key.
    const std::string key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string value = "Kest Redirect_Wine Start";
    ASSERT_EQ(run({"wine", installedProgram, "--autostart", "on", "/#Wine Start#"}), 0)
        << lastOutput();
    EXPECT_NE(lastOutput().find("Start at login is on for instance \"Wine Start\""),
              std::string::npos)
        << lastOutput();
    ASSERT_EQ(run({"wine", "reg", "query", key, "/v", value}), 0) << lastOutput();
    EXPECT_NE(lastOutput().find("Kest_Redirect_Serial_to_KB.exe\" \"/#Wine Start#\""),
              std::string::npos)
        << lastOutput();
    ASSERT_EQ(run({"wine", installedProgram, "--autostart", "off", "/#Wine Start#"}), 0)
        << lastOutput();
    EXPECT_NE(run({"wine", "reg", "query", key, "/v", value}), 0) << lastOutput();

    // It starts from where it is installed, and what it writes stays after removal.
    startInstance("WineInstalled", makeConfig({}, 200, {}, {}), installedProgram);
    endWine();

    ASSERT_EQ(run({"wine", "msiexec", "/x", windowsPath(KEST_WINDOWS_MSI), "/qn"}), 0);
    EXPECT_FALSE(fs::exists(installDir()));
    EXPECT_FALSE(shortcutPresent());
    EXPECT_TRUE(installed().empty());
    EXPECT_TRUE(fs::exists(configDir("_WineInstalled") + "/GENERAL.CFG"));
}

}  // namespace
}  // namespace kest::e2e::wine
