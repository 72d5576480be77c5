#pragma once
// Pieces shared by the end-to-end tests: a private X server, a window manager, the
// key recorder, an xterm receiving into a file and the program's configuration files.
// Every process started here is ended by its owner's destructor (see Processes.h).

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "e2e/support/Processes.h"
#include "keyboard/Cp1252.h"  // cp1252ToUtf8 for the expected texts

namespace kest::e2e {

// Every printable Windows-1252 character but the five that the code page leaves
// undefined: in code order, or shuffled by a seed of its own so that spare keycodes are
// bound and re-bound in different orders.
inline std::string printableCp1252(unsigned shuffleSeed = 0) {
    std::string text;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
        text.push_back(static_cast<char>(c));
    }
    if (shuffleSeed != 0) {
        std::mt19937 random(shuffleSeed);
        std::shuffle(text.begin(), text.end(), random);
    }
    return text;
}

// The program's main window; a named instance adds "_" and its name.
inline const std::string kMainTitle = "Kest Redirect Serial/File/TCP Port to Keyboard   V1.2N";

// An Xvfb of our own on a free display number.
class PrivateDisplay {
  public:
    PrivateDisplay();
    const std::string& name() const { return name_; }
    // The environment for clients of this display (UTF-8 locale, private configuration
    // and runtime directories).
    std::map<std::string, std::string> env() const;

  private:
    TempDir config_;  // XDG_CONFIG_HOME and XDG_RUNTIME_DIR: no user settings leak in
    std::string name_;
    std::unique_ptr<ChildProcess> server_;
};

// Starts an X server command (Xvfb, Xwayland) that is to tell its display number on
// descriptor 3 (-displayfd); returns the display name ":N". Throws when it does not.
std::string startDisplayServer(const std::string& command,
                               const std::map<std::string, std::string>& env,
                               std::unique_ptr<ChildProcess>& process);

// openbox, ready once it has claimed the screen.
class WindowManager {
  public:
    explicit WindowManager(const PrivateDisplay& display);

  private:
    TempDir dir_;
    std::unique_ptr<ChildProcess> process_;
};

struct KeyEvent {
    bool press = false;
    unsigned keycode = 0;
    unsigned long keysym = 0;
    unsigned state = 0;
    std::string text;  // UTF-8 typed by a press
};

// A kest_key_recorder window.
class Recorder {
  public:
    Recorder(const PrivateDisplay& display, const std::string& title, bool takeFocus = true);
    std::vector<KeyEvent> events() const;
    // The UTF-8 text the presses typed.
    std::string text() const;
    std::vector<std::string> lines() const;
    // Waits while the text grows until it is as long as expected (see waitForGrowth);
    // true when equal.
    bool waitForText(const std::string& expected, std::chrono::milliseconds quiet = 10s) const;
    void clear();

  private:
    TempDir dir_;
    std::string log_;
    std::unique_ptr<ChildProcess> process_;
    std::size_t skip_ = 0;
};

// An xterm in a UTF-8 locale whose terminal, in raw mode, copies every byte to a file.
class XtermReceiver {
  public:
    XtermReceiver(const PrivateDisplay& display, const std::string& title);
    // On any X display: the environment of its clients.
    XtermReceiver(const std::map<std::string, std::string>& env, const std::string& title);
    std::string received() const { return readFile(out_); }
    // Waits for count bytes while they keep coming (see waitForGrowth).
    bool waitForBytes(std::size_t count, std::chrono::milliseconds quiet = 20s) const;

  private:
    TempDir dir_;
    std::string out_;
    std::unique_ptr<ChildProcess> process_;
};

// The settings of one GENERAL.CFG, as the program writes them.
struct GeneralSettings {
    std::string prefix;
    std::string suffix;
    std::string targetWindow;
    bool apiKeyboard = false;
    bool rtsAndDtr = false;
    std::string tcpAddress = "0.0.0.0";
    int tcpPort = 1024;
};

// The four files of one configuration directory, by name ("<missing>" when absent).
using ConfigFiles = std::map<std::string, std::string>;
ConfigFiles configFiles(const std::string& directory);
void writeConfigFiles(const std::string& directory, const ConfigFiles& files);
// Rules as "search -> replacement" pairs, the port and remove list, and the settings.
ConfigFiles makeConfig(const std::vector<std::pair<std::string, std::string>>& rules, int comPort,
                       const std::vector<int>& removeCodes, const GeneralSettings& settings);
// A scanner's: "<" before and ">" after each text, typed into the window titled target,
// RTS and DTR on, and the TCP channel (in the client role) as given.
GeneralSettings scanner(const std::string& target, const std::string& tcpAddress = "0.0.0.0",
                        int tcpPort = 1024);
// With it, "5" becomes "5{ENTER}" and carriage returns are dropped.
ConfigFiles scannerConfig(int comPort, const GeneralSettings& settings);

// Gives the focus to the top-level window with the exact title, once it is shown.
bool focusWindowTitled(const std::string& displayName, const std::string& title);

// Keycodes of the keyboard that carry no keysym at all.
std::vector<unsigned> emptyKeycodes(const std::string& displayName);
// Keys the server has down now.
std::vector<unsigned> keysDown(const std::string& displayName);

}  // namespace kest::e2e
