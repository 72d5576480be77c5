#pragma once
// Runs the Windows program (the .exe of the Windows build) under Wine on a private
// Xvfb, with our own Windows target window receiving what it types. One Wine prefix
// serves the whole test run: it is made once (that takes the better part of a
// minute) and reused; each test gets its own display, its own instance name and its
// own ports, and ends every Windows process it started.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/E2eHarness.h"

namespace kest::e2e::wine {

// The Windows path of a file of ours (Wine's Z: drive is the root).
std::string windowsPath(const std::string& unixPath);

// Our Windows window: records every character it gets as UTF-8, and its key downs
// and ups (virtual keys) for the player path.
class TargetWindow {
  public:
    TargetWindow(const std::map<std::string, std::string>& env, const std::string& title);
    const std::string& title() const { return title_; }
    std::string text() const { return readFile(record_); }
    // Lines "down 41" / "up 41", virtual keys in hex.
    std::string keys() const { return readFile(record_ + ".keys"); }
    // Waits while bytes come until as many as expected have (see waitForGrowth), then
    // compares.
    bool waitForText(const std::string& utf8, std::chrono::milliseconds quiet = 30s) const {
        return waitFor(record_, utf8, quiet);
    }
    bool waitForKeys(const std::string& lines) const { return waitFor(record_ + ".keys", lines); }

  private:
    static bool waitFor(const std::string& file, const std::string& expected,
                        std::chrono::milliseconds quiet = 30s);
    std::string title_;
    TempDir dir_;
    std::string record_;
    ChildProcess process_;
};

// A process's exit code once it has ended; -1 when it did not end in time.
int exitCode(ChildProcess& process, std::chrono::milliseconds timeout = 180s);

// The Windows build's program.
extern const char* const kWindowsProgram;

// A private display with Wine ready on it, the shared prefix and a clean wineserver.
class WineFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override { endWine(); }

    std::map<std::string, std::string> env() const;
    std::string prefix() const { return prefix_; }
    // C:\TALVEN.CFG<suffix> inside the prefix.
    std::string configDir(const std::string& suffix) const;

    // A command in the Wine environment; its output goes to the test's folder, read
    // back by lastOutput().
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv);
    // The Windows program (the build's, or another copy of it) with these arguments.
    std::unique_ptr<ChildProcess> startProgram(const std::vector<std::string>& arguments,
                                               const std::string& program = kWindowsProgram);
    std::string lastOutput() const;
    // Runs a command to its end: its exit code, -1 when it did not end in 3 minutes.
    int run(const std::vector<std::string>& argv) { return exitCode(*start(argv)); }
    // Starts the program of instance `name` on the configuration given and waits for
    // its main window.
    std::unique_ptr<ChildProcess> startInstance(const std::string& name, const ConfigFiles& files,
                                                const std::string& program = kWindowsProgram);
    // Waits for a shown top-level window whose title is exactly this one, while its
    // owner (when given) runs.
    bool waitForWindow(const std::string& title, ChildProcess* owner = nullptr) const;

    std::string shell(const std::string& command) const;
    // Ends every Windows process of the prefix, and the wineserver with them.
    void endWine() const;

    std::unique_ptr<PrivateDisplay> display;
    TempDir tmp;

  private:
    std::string prefix_;
    int started_ = 0;
};

}  // namespace kest::e2e::wine
