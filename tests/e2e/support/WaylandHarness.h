#pragma once
// Headless compositors of our own for the Wayland tests (sway, GNOME's mutter, KDE's
// KWin), and receivers that only sway's tests need: foot writing what it receives to a
// file, and a rootful Xwayland for X programs.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/E2eHarness.h"

namespace kest::e2e {

// A compositor of our own, on a session bus and in a runtime directory of its own, for
// tests that run on sway, GNOME and KDE Plasma alike.
class HeadlessDesktop {
  public:
    virtual ~HeadlessDesktop() = default;
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

    // The compositor's socket, as an absolute path (WAYLAND_DISPLAY takes one).
    const std::string& socket() const { return socket_; }
    // The environment of its clients: Wayland, the session bus, no X display.
    std::map<std::string, std::string> env() const;
    // Puts this process into the session, as the program would find it there.
    void enter() const;
    // The compositor's log lines that tell of a client thrown off or a protocol error.
    std::vector<std::string> clientErrors() const;

  protected:
    HeadlessDesktop() = default;
    // The compositor's own environment, with its runtime directory and a home in ours.
    std::map<std::string, std::string> compositorEnv(const std::string& runtime) const;

    TempDir dir_;
    TempDir clientRuntime_;
    std::string socket_;
    std::string bus_;
    std::string log_;
    std::unique_ptr<ChildProcess> busDaemon_;
    // Declared after the bus: the compositor ends first, while the bus it talks to is
    // still there.
    std::unique_ptr<ChildProcess> process_;
};

// A headless sway (wlroots). withTrayBar: swaybar with its tray.
class HeadlessSway final : public HeadlessDesktop {
  public:
    explicit HeadlessSway(bool withTrayBar = false);
    ~HeadlessSway() override;

    // swaymsg with these arguments; its standard output.
    std::string message(const std::string& arguments) const;
    // Whether a window with this title is on screen.
    bool hasWindow(const std::string& title) const;
    // How many StatusNotifier items swaybar's tray holds; -1 while it cannot be asked.
    int trayItems() const;

  private:
    std::string runtime_;
};

// foot in raw mode: every byte the terminal produces lands in a file.
class FootReceiver {
  public:
    FootReceiver(const HeadlessSway& sway, const std::string& title);
    std::string received() const { return readFile(out_); }
    // Waits while the received text grows until it is as long as expected (see
    // waitForGrowth); true when equal.
    bool waitFor(const std::string& expected, std::chrono::milliseconds quiet = 20s) const;

  private:
    TempDir dir_;
    std::string out_;
    std::unique_ptr<ChildProcess> process_;
};

// A headless GNOME compositor: mutter with a virtual monitor; its bus also stands in
// for the system bus, where mutter reads the keyboard layout from
// org.freedesktop.locale1. withPortal: the bus starts the desktop portal (GNOME's) and
// the accessibility bus when asked for them.
class HeadlessMutter final : public HeadlessDesktop {
  public:
    explicit HeadlessMutter(const std::string& layout = "us", bool withPortal = false);
    ~HeadlessMutter() override;

  private:
    std::unique_ptr<ChildProcess> locale_;
};

// A headless KDE Plasma compositor: KWin with a virtual output, with the keyboard
// layouts given ("us,de": US active, German configured) and desktop entries that grant
// the programs named their fake input and window list.
class HeadlessKwin final : public HeadlessDesktop {
  public:
    HeadlessKwin(const std::string& layouts, const std::vector<std::string>& trustedPrograms);
    // The layout in use, as KWin's keyboard layouts tell it.
    std::string activeLayout() const;
    // Configures other layouts as the user's settings would, and waits until KWin has
    // taken them.
    void setLayouts(const std::string& layouts);

  private:
    void writeLayouts(const std::string& layouts);
};

// The test program's own path, for HeadlessKwin's trusted programs.
std::string thisProgram();

// A rootful Xwayland: one window in sway holding a whole X screen.
class RootfulXwayland {
  public:
    explicit RootfulXwayland(const HeadlessSway& sway);
    const std::string& name() const { return name_; }
    // sway's clients' environment with this X display.
    const std::map<std::string, std::string>& env() const { return env_; }

  private:
    std::map<std::string, std::string> env_;
    std::string name_;
    std::unique_ptr<ChildProcess> server_;
};

}  // namespace kest::e2e
