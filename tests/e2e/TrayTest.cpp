// The program itself on a private display with a real notification area (trayer): the
// icon hiding and showing the window and showing trouble, the Tray button with and
// without an area, and a second start bringing the hidden window forward.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ProgramHarness.h"
#include "e2e/support/E2eHarness.h"

// Xlib last: its macros (None, Bool, Status) must not meet the test framework.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>

namespace kest::e2e {
namespace {

// The Tray button, in the client area's pixels at 15 twips each.
struct Spot {
    int x, y;
    bool operator==(const Spot&) const = default;
};
constexpr Spot kMinimiseButton{345 + 40, 1 + 14};

// A read-only view of the display's windows: Xlib for what a window shows and where it
// is, the desktop's own tools for finding windows and reading the window manager's state.
class Screen {
  public:
    explicit Screen(const std::string& name) : name_(name), display_(XOpenDisplay(name.c_str())) {
        if (!display_) throw std::runtime_error("cannot open " + name);
    }
    ~Screen() { XCloseDisplay(display_); }

    // What a helper command prints; bounded, so a stuck one fails the test instead of
    // hanging it.
    std::string tool(const std::string& command, int* status = nullptr) const {
        return commandOutput("DISPLAY=" + name_ + " timeout 20 " + command, status);
    }
    // The windows a command prints, one number (decimal or 0x...) for each; other words
    // are skipped.
    std::vector<Window> windows(const std::string& command) const {
        std::istringstream words(tool(command));
        std::vector<Window> found;
        for (std::string word; words >> word;)
            if (const Window w = std::strtoul(word.c_str(), nullptr, 0)) found.push_back(w);
        return found;
    }
    // The program's windows (by their class) in view among those xwininfo lists with the
    // arguments.
    std::vector<Window> programWindows(const std::string& xwininfoArguments) const {
        auto found = windows("xwininfo " + xwininfoArguments +
                             " 2>/dev/null | awk '/\"Kest_Redirect_Serial_to_KB\"\\)/ {print $1}'");
        std::erase_if(found, [&](Window w) { return !viewable(w); });
        return found;
    }
    // The program's windows that no window manager frames (tool tips, balloons).
    std::vector<Window> popups() const {
        auto found = programWindows("-root -children");
        std::erase_if(found, [&](Window w) { return !attributes(w).override_redirect; });
        return found;
    }
    // What a window shows, pixel for pixel (empty when it cannot be read).
    std::string pixels(Window w) const {
        const XWindowAttributes a = attributes(w);
        if (a.map_state != IsViewable) return {};
        XImage* image = XGetImage(display_, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        if (!image) return {};
        std::string bytes(image->data, size_t(image->bytes_per_line) * a.height);
        XDestroyImage(image);
        return bytes;
    }
    bool viewable(Window w) const { return attributes(w).map_state == IsViewable; }
    // Where a window's client area starts, in root coordinates.
    Spot position(Window w) const {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return {x, y};
    }
    // Whether a window's property, as xprop shows it, holds the text.
    bool propertyHas(Window w, const std::string& property, const std::string& text) const {
        return tool("xprop -id " + std::to_string(w) + " " + property).find(text) !=
               std::string::npos;
    }
    // Whether the window manager stacks window a above window b.
    bool above(Window a, Window b) const {
        const auto order = windows("xprop -root _NET_CLIENT_LIST_STACKING");
        const auto at = [&](Window w) { return std::find(order.begin(), order.end(), w); };
        return at(a) != order.end() && at(b) != order.end() && at(a) > at(b);
    }
    bool trayHostRunning() const {
        const Atom tray = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
        return XGetSelectionOwner(display_, tray) != None;
    }
    Window focused() const {
        return std::strtoul(tool("xdotool getwindowfocus -f").c_str(), nullptr, 10);
    }
    // A window's attributes; all zero (unmapped, no size) when it is gone.
    XWindowAttributes attributes(Window w) const {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, w, &a)) a = XWindowAttributes{};
        return a;
    }

  private:
    std::string name_;
    Display* display_;
};

class DesktopTest : public ProgramFixture {
  protected:
    // A configuration directory that exists already: no help window at start.
    void notFirstStart() {
        if (!std::filesystem::exists(configDir())) writeConfig("TOUCHE_OUT.CFG", "");
    }
    void startTrayHost() {
        trayer = std::make_unique<ChildProcess>(
            std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                     "pixel", "--width", "120", "--heighttype", "pixel", "--height",
                                     "28", "--transparent", "false", "--tint", "0x888888",
                                     "--SetDockType", "true"},
            display.env());
        ASSERT_TRUE(waitUntil([&] { return screen.trayHostRunning(); }, 20s)) << "no trayer";
    }
    // The program's icon, once the notification area shows it (nullopt after the deadline):
    // its window embedded in trayer's panel (one left over from an area that has gone does
    // not count).
    std::optional<Window> waitForTrayIcon(std::chrono::seconds deadline = 20s) const {
        std::vector<Window> found;
        waitUntil([&] { return !(found = screen.programWindows("-name panel -tree")).empty(); },
                  deadline);
        return found.empty() ? std::nullopt : std::optional(found.front());
    }
    // A later start with a notification area: the main window, its icon docked.
    Window startBesideTrayHost() {
        notFirstStart();
        startTrayHost();
        program = ProgramFixture::startProgram({});
        const Window main = waitForWindow(kMainTitle);
        icon = waitForTrayIcon();
        EXPECT_TRUE(icon.has_value()) << "the icon did not appear";
        return main;
    }
    // A window in view with the exact title, once there is one (0 after the deadline).
    Window waitForWindow(const std::string& title) const {
        const auto found =
            screen.windows("xdotool search --sync --onlyvisible --name '^" + title + "$'");
        EXPECT_FALSE(found.empty()) << "no window " << title;
        return found.empty() ? 0 : found.front();
    }
    void run(const std::string& command) const {
        int status = -1;
        screen.tool(command, &status);
        ASSERT_EQ(status, 0) << command;
    }
    // A click at a point of a window's client area, by default its centre.
    void click(Window in, const std::string& how = "click 1", std::optional<Spot> at = {}) const {
        const XWindowAttributes a = screen.attributes(in);
        const Spot spot = at.value_or(Spot{a.width / 2, a.height / 2});
        run("xdotool mousemove --window " + std::to_string(in) + " " + std::to_string(spot.x) +
            " " + std::to_string(spot.y) + " " + how);
    }
    // Asks the window manager for the focus, and takes it directly if that is refused.
    void activate(Window w) const {
        run("xdotool windowactivate " + std::to_string(w));
        if (!waitUntil([&] { return screen.focused() == w; }, 5s))
            run("xdotool windowfocus " + std::to_string(w));
        EXPECT_TRUE(waitUntil([&] { return screen.focused() == w; }, 20s)) << "no focus";
    }

    Screen screen{display.name()};
    std::unique_ptr<ChildProcess> trayer;
    std::unique_ptr<ChildProcess> program;
    std::optional<Window> icon;  // the program's, once startBesideTrayHost has seen it
};

// What a window shows once its drawing has settled (empty when it is not in view).
std::string settledPixels(const Screen& screen, Window w) {
    std::string shown;
    waitUntil([&] {
        shown = screen.pixels(w);
        std::this_thread::sleep_for(300ms);
        return !shown.empty() && shown == screen.pixels(w);
    });
    return shown;
}

// Only a real notification area tells whether the icon is seen and clicked: it hides
// and shows the window where the user left it, a right click does nothing, a
// double-click toggles twice, and the Tray button hides the window into it.
TEST_F(DesktopTest, TheTrayIconAndTheTrayButtonHideAndTheIconShowsTheWindowWhereItWas) {
    const Window main = startBesideTrayHost();
    ASSERT_TRUE(main != 0 && icon);
    const Spot before = screen.position(main);
    run("xdotool windowmove " + std::to_string(main) + " 311 207");
    Spot moved = before;
    ASSERT_TRUE(waitUntil([&] { return (moved = screen.position(main)) != before; }, 30s));

    click(*icon);
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden";
    click(*icon);
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 30s)) << "not shown again";
    Spot back{};
    EXPECT_TRUE(waitUntil([&] { return (back = screen.position(main)) == moved; }, 30s))
        << "moved to " << moved.x << "," << moved.y << ", back at " << back.x << "," << back.y;
    EXPECT_TRUE(screen.propertyHas(main, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"));
    click(*icon, "click 3");
    click(*icon);
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden again";
    click(*icon, "click --repeat 2 --delay 80 1");
    click(*icon);
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 30s)) << "double-click";

    activate(main);
    settledPixels(screen, main);  // a click into a window still being drawn may go nowhere
    click(main, "click 1", kMinimiseButton);
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s))
        << "the button did not hide";
    click(*icon);
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 30s)) << "not shown by the icon";
}

// Without an area the Tray button minimises into the task list; the icon is re-added
// every five seconds at the latest, to an area that starts after the program and to
// one that is rebuilt (the bounds tell "late" from "never").
TEST_F(DesktopTest, WithoutAnAreaTheButtonMinimisesAndTheIconComesToALaterOrRebuiltArea) {
    notFirstStart();
    program = ProgramFixture::startProgram({});
    const Window main = waitForWindow(kMainTitle);
    ASSERT_NE(main, 0u);
    ASSERT_FALSE(screen.trayHostRunning());
    activate(main);  // a click on a window still being set up may go nowhere
    click(main, "click 1", kMinimiseButton);
    EXPECT_TRUE(
        waitUntil([&] { return screen.propertyHas(main, "WM_STATE", "state: Iconic"); }, 30s))
        << "not in the task list";
    EXPECT_FALSE(screen.propertyHas(main, "_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR"));
    activate(main);  // as the task list restores any window
    EXPECT_TRUE(screen.viewable(main)) << "not restored";

    startTrayHost();
    EXPECT_TRUE(waitForTrayIcon(30s).has_value()) << "no icon in a later notification area";
    trayer.reset();
    ASSERT_TRUE(waitUntil([&] { return !screen.trayHostRunning(); }, 30s));
    startTrayHost();
    EXPECT_TRUE(waitForTrayIcon(30s).has_value()) << "no icon in a rebuilt notification area";
}

// COM7 is a pseudo-terminal pair, unplugged and plugged back: the icon the area draws
// changes, a balloon comes by itself, and the icon is the normal one again once the
// port is back.
TEST_F(DesktopTest, TheTrayIconShowsTroubleUntilItClears) {
    auto serial = std::make_unique<SerialDevice>(base(), 7);
    writeScannerConfig(7, scanner("nobody"));
    ASSERT_TRUE(startBesideTrayHost() != 0 && icon);
    const std::string normalIcon = settledPixels(screen, *icon);
    ASSERT_FALSE(normalIcon.empty());

    serial.reset();
    EXPECT_TRUE(waitUntil(
        [&] {
            const std::string shown = screen.pixels(*icon);
            return !shown.empty() && shown != normalIcon;
        },
        30s))
        << "the icon did not change";
    EXPECT_TRUE(waitUntil([&] { return !screen.popups().empty(); }, 20s)) << "no balloon";
    const std::vector<Window> balloon = screen.popups();
    if (!balloon.empty()) click(balloon.front());  // a click closes it
    EXPECT_NE(readFile(base() + "/kest-redirect.log").find("port red: COM port 7 not open: "),
              std::string::npos);

    serial = std::make_unique<SerialDevice>(base(), 7);
    EXPECT_TRUE(waitUntil([&] { return screen.pixels(*icon) == normalIcon; }, 30s))
        << "the icon did not come back";
}

TEST_F(DesktopTest, ASecondStartBringsTheCopyHiddenInTheTrayToTheFrontAndEnds) {
    const Window main = startBesideTrayHost();
    ASSERT_TRUE(main != 0 && icon);
    click(*icon);
    ASSERT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden";
    XtermReceiver xterm(display, "Kest Receiver");
    const Window other = waitForWindow("Kest Receiver");
    ASSERT_NE(other, 0u);
    activate(other);

    ChildProcess second({KEST_PROGRAM_PATH}, display.env(), tmp.path() + "/second.log", true);
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 20s)) << "not shown";
    EXPECT_TRUE(waitUntil([&] { return screen.above(main, other); }, 30s)) << "not in front";
    // The second copy says why, in a message that it closes by itself later.
    const Window message = waitForWindow("Kest Redirect");
    ASSERT_NE(message, 0u);
    activate(message);
    run("xdotool key Return");
    const int status = second.wait(20s);
    ASSERT_NE(status, -1) << "the second copy kept running";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Once the message is closed, the keyboard goes to the window that came forward.
    EXPECT_TRUE(waitUntil([&] { return screen.focused() == main; }, 30s));
    EXPECT_NE(readFile(tmp.path() + "/second.log").find("its window was brought to the front"),
              std::string::npos);
}

}  // namespace
}  // namespace kest::e2e
