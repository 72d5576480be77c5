#pragma once
// A headless sway of our own for the Wayland tests, and the receivers that run in it:
// foot writing what it receives to a file, and a rootful Xwayland for X programs.
// sway refuses to run as root: a test run by root starts it as nobody, with a runtime
// directory that belongs to nobody; root can still connect to its socket.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/support/E2eHarness.h"

namespace kest::e2e {

class HeadlessSway {
  public:
    // withTrayBar: swaybar with its tray, on a D-Bus session bus of our own that the
    // compositor's user and the test's user share.
    explicit HeadlessSway(bool withTrayBar = false);
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    // The compositor's socket, as an absolute path (WAYLAND_DISPLAY takes one).
    const std::string& socket() const { return socket_; }
    // The environment of its clients: Wayland only, no X display.
    std::map<std::string, std::string> env() const;
    // swaymsg with these arguments; its standard output.
    std::string message(const std::string& arguments) const;
    // Whether a window with this title is on screen.
    bool hasWindow(const std::string& title) const;
    // The compositor's log lines that tell of a client thrown off or a protocol error.
    std::vector<std::string> clientErrors() const;
    // How many StatusNotifier items swaybar's tray holds; -1 while it cannot be asked.
    int trayItems() const;
    // Ends sway cleanly (swaymsg exit) and waits for it; true when it ended in time.
    bool stop();

  private:
    TempDir dir_;
    TempDir clientRuntime_;
    TempDir config_;
    std::string runtime_;
    std::string socket_;
    std::string log_;
    std::string bus_;
    std::unique_ptr<ChildProcess> busDaemon_;
    std::unique_ptr<ChildProcess> process_;
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

// The compositor's log lines that tell of a client thrown off or a protocol error.
std::vector<std::string> clientErrorsIn(const std::string& log);

// A desktop's compositor, for tests that run on GNOME and KDE Plasma alike: on a
// session bus and in a runtime directory of its own.
class HeadlessDesktop {
  public:
    virtual ~HeadlessDesktop() = default;
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

    // The environment of its clients: Wayland, the session bus, no X display.
    std::map<std::string, std::string> env() const;
    std::vector<std::string> clientErrors() const { return clientErrorsIn(log_); }

  protected:
    HeadlessDesktop() = default;

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

// A headless GNOME compositor: mutter with a virtual monitor, on a session bus of its
// own (which also stands in for the system bus, where mutter reads the keyboard layout
// from org.freedesktop.locale1). Runs as root as well as not. withPortal: the bus
// starts the desktop portal (GNOME's) and the accessibility bus when asked for them.
class HeadlessMutter final : public HeadlessDesktop {
  public:
    explicit HeadlessMutter(const std::string& layout = "us", bool withPortal = false);
    ~HeadlessMutter() override;

  private:
    std::unique_ptr<ChildProcess> locale_;
};

// A headless KDE Plasma compositor: KWin with a virtual output, on a session bus of
// its own, with the keyboard layouts given ("us,de": US active, German configured) and
// desktop entries that grant the programs named their fake input and window list.
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
    std::map<std::string, std::string> env() const;

  private:
    std::map<std::string, std::string> swayEnv_;
    std::string name_;
    std::unique_ptr<ChildProcess> server_;
};

}  // namespace kest::e2e
