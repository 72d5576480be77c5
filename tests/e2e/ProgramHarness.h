#pragma once
// Runs the real program on a private display with a window manager and its own
// configuration home, and gives the tests a TCP server on the loopback for it to reach
// and the user's clicks and keys in its window.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/E2eHarness.h"

namespace kest::e2e {

// A listening loopback socket on a port the system chose.
class Listener {
  public:
    Listener();
    ~Listener();
    int port() const { return port_; }
    // The accepted connection, or -1 when none came in time.
    int acceptWithin(int milliseconds);

  private:
    int fd_ = -1;
    int port_ = 0;
};

void appendTo(const std::string& path, const std::string& bytes);

inline constexpr const char* kReceiver = "Kest E2E Receiver";

class ProgramFixture : public ::testing::Test {
  protected:
    // A scanner's configuration (see scannerConfig), typed into the receiver unless the
    // settings say otherwise.
    void writeScannerConfig(int port, const GeneralSettings& settings = scanner(kReceiver),
                            const std::string& suffix = {});

    // B, the base directory of the DOS paths.
    std::string base() const;
    std::string configDir(const std::string& suffix = {}) const;
    void writeConfig(const std::string& name, const std::string& bytes,
                     const std::string& suffix = {});
    ConfigFiles configFiles(const std::string& suffix = {}) const;

    std::unique_ptr<ChildProcess> startProgram(const std::vector<std::string>& arguments);
    // Waits for the main window whose caption ends with the suffix.
    bool waitForMainWindow(const std::string& suffix = {});
    int mainWindowHeight() const;
    // Activates the main window and types the text with real key events.
    void typeIntoMainWindow(const std::string& text) const;
    // Clicks at a point of the main window's client area (pixels) and types the text
    // there, if any, over what the field held when replace is set.
    void clickIntoMainWindow(int x, int y, const std::string& text = {},
                             bool replace = false) const;
    // Closes the main window as a user does, with the window manager's Alt+F4.
    void closeMainWindow() const;
    // Waits for a message box with the exact title and presses its button, after it has
    // been shown for keepOpen (to see what the program does meanwhile); false when none
    // came.
    bool answerMessage(const std::string& title,
                       std::chrono::milliseconds keepOpen = std::chrono::milliseconds(0)) const;

    void SetUp() override;

    PrivateDisplay display;
    std::unique_ptr<WindowManager> windowManager;
    TempDir tmp;

  private:
    std::string shell(const std::string& command) const;
    std::string mainWindow_;
    int started_ = 0;
};

}  // namespace kest::e2e
