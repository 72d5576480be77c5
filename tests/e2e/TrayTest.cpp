// The program itself on a private display with a real notification area (trayer): the
// icon hiding and showing the window and showing trouble, the Tray button with and
// without an area, and a second start bringing the hidden window forward.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ProgramHarness.h"
#include "e2e/support/E2eHarness.h"

// Xlib last: its macros (None, Bool, Status) must not meet the test framework.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>

namespace kest::e2e {
namespace {

const std::string kProgramClass = "Kest_Redirect_Serial_to_KB";
const std::string kTrayPanelTitle = "panel";  // trayer's window

// The Tray button, in the client area's pixels at 15 twips each.
struct Spot {
    int x, y;
};
constexpr Spot kMinimiseButton{345 + 40, 1 + 14};

// A read-only view of the display's windows.
class Screen {
  public:
    explicit Screen(const std::string& name) : display_(XOpenDisplay(name.c_str())) {
        if (!display_) throw std::runtime_error("cannot open " + name);
    }
    ~Screen() { XCloseDisplay(display_); }

    std::optional<Window> windowTitled(const std::string& title) const {
        return find(DefaultRootWindow(display_), [&](Window w) { return nameOf(w) == title; });
    }
    // The program's icon window, embedded in trayer's panel (an icon window left over
    // from a notification area that has gone does not count).
    std::optional<Window> trayIcon() const {
        const auto panel = windowTitled(kTrayPanelTitle);
        if (!panel) return std::nullopt;
        return find(*panel, [&](Window w) {
            const XWindowAttributes a = attributes(w);
            return classOf(w) == kProgramClass && viewable(w) && a.width <= 64 && a.height <= 64;
        });
    }
    // The program's windows that no window manager frames (tool tips, balloons) in view.
    std::vector<Window> popups() const {
        std::vector<Window> found;
        for (Window w : children(DefaultRootWindow(display_))) {
            if (attributes(w).override_redirect && viewable(w) && classOf(w) == kProgramClass)
                found.push_back(w);
        }
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
    // The centre of a window in root coordinates.
    Spot centre(Window w) const {
        const XWindowAttributes a = attributes(w);
        const Spot at = position(w);
        return {at.x + a.width / 2, at.y + a.height / 2};
    }
    // Where a window's client area starts, in root coordinates.
    Spot position(Window w) const {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return {x, y};
    }
    // Minimised: the window manager keeps it as an icon (in the task list).
    bool iconic(Window w) const {
        const Atom wmState = XInternAtom(display_, "WM_STATE", False);
        const auto values = property(w, wmState, wmState, 2);
        return !values.empty() && values[0] == IconicState;
    }
    bool trayHostRunning() const {
        const Atom tray = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
        return XGetSelectionOwner(display_, tray) != None;
    }
    bool hasState(Window w, const char* stateName) const {
        const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
        const auto wanted = static_cast<long>(XInternAtom(display_, stateName, False));
        for (long atom : property(w, state, XA_ATOM, 64))
            if (atom == wanted) return true;
        return false;
    }
    // Whether the window manager stacks window a above window b.
    bool above(Window a, Window b) const {
        const Atom stacking = XInternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
        const auto order = property(DefaultRootWindow(display_), stacking, XA_WINDOW, 1024);
        const auto at = [&](Window w) { return std::find(order.begin(), order.end(), long(w)); };
        return at(a) != order.end() && at(b) != order.end() && at(a) > at(b);
    }
    Window focused() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus;
    }

  private:
    // A window's attributes; all zero (unmapped, no size) when it is gone.
    XWindowAttributes attributes(Window w) const {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, w, &a)) a = XWindowAttributes{};
        return a;
    }
    std::vector<Window> children(Window w) const {
        Window root, parent, *list = nullptr;
        unsigned n = 0;
        std::vector<Window> found;
        if (XQueryTree(display_, w, &root, &parent, &list, &n) && list)
            found.assign(list, list + n);
        if (list) XFree(list);
        return found;
    }
    // The 32-bit items of a window property (longs, as Xlib hands them out); none when
    // the property is missing or of another format.
    std::vector<long> property(Window w, Atom name, Atom type, long maxItems) const {
        Atom actualType;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(display_, w, name, 0, maxItems, False, type, &actualType, &format,
                               &count, &after, &data) == Success &&
            data && format == 32) {
            const auto* items = reinterpret_cast<const long*>(data);
            values.assign(items, items + count);
        }
        if (data) XFree(data);
        return values;
    }
    template <typename Match>
    std::optional<Window> find(Window w, const Match& match) const {
        if (match(w)) return w;
        for (Window child : children(w)) {
            if (const auto found = find(child, match)) return found;
        }
        return std::nullopt;
    }
    std::string nameOf(Window w) const {
        char* name = nullptr;
        std::string result;
        if (XFetchName(display_, w, &name) && name) result = name;
        if (name) XFree(name);
        return result;
    }
    std::string classOf(Window w) const {
        XClassHint hint{};
        std::string result;
        if (XGetClassHint(display_, w, &hint)) {
            if (hint.res_class) result = hint.res_class;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        return result;
    }

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
    // The program's icon, once the notification area shows it (nullopt after the deadline).
    std::optional<Window> waitForTrayIcon(std::chrono::seconds deadline = 20s) const {
        std::optional<Window> icon;
        waitUntil([&] { return (icon = screen.trayIcon()).has_value(); }, deadline);
        return icon;
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
    Window waitForWindow(const std::string& title) {
        std::optional<Window> w;
        EXPECT_TRUE(
            waitUntil([&] { return (w = screen.windowTitled(title)) && screen.viewable(*w); }, 20s))
            << "no window " << title;
        return w.value_or(0);
    }
    void run(const std::string& command) const {
        // Every helper command is bounded: a stuck one fails the test instead of hanging it.
        const std::string full = "DISPLAY=" + display.name() + " timeout 20 " + command;
        ASSERT_EQ(std::system(full.c_str()), 0) << full;
    }
    // A click at a point of the screen, or of a window's client area.
    void click(Spot at, const std::string& how = "click 1", std::optional<Window> in = {}) const {
        const std::string window = in ? "--window " + std::to_string(*in) + " " : "";
        run("xdotool mousemove " + window + std::to_string(at.x) + " " + std::to_string(at.y) +
            " " + how);
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
    ASSERT_TRUE(waitUntil(
        [&] {
            moved = screen.position(main);
            return moved.x != before.x || moved.y != before.y;
        },
        30s));

    click(screen.centre(*icon));
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden";
    click(screen.centre(*icon));
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 30s)) << "not shown again";
    Spot back{};
    EXPECT_TRUE(waitUntil(
        [&] {
            back = screen.position(main);
            return back.x == moved.x && back.y == moved.y;
        },
        30s))
        << "moved to " << moved.x << "," << moved.y << ", back at " << back.x << "," << back.y;
    EXPECT_TRUE(screen.hasState(main, "_NET_WM_STATE_SKIP_TASKBAR"));
    click(screen.centre(*icon), "click 3");
    click(screen.centre(*icon));
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden again";
    click(screen.centre(*icon), "click --repeat 2 --delay 80 1");
    click(screen.centre(*icon));
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 30s)) << "double-click";

    activate(main);
    settledPixels(screen, main);  // a click into a window still being drawn may go nowhere
    click(kMinimiseButton, "click 1", main);
    EXPECT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s))
        << "the button did not hide";
    click(screen.centre(*icon));
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
    click(kMinimiseButton, "click 1", main);
    EXPECT_TRUE(waitUntil([&] { return screen.iconic(main); }, 30s)) << "not in the task list";
    EXPECT_FALSE(screen.hasState(main, "_NET_WM_STATE_SKIP_TASKBAR"));
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
    if (!balloon.empty()) click(screen.centre(balloon.front()));  // a click closes it
    EXPECT_NE(readFile(base() + "/kest-redirect.log").find("port red: COM port 7 not open: "),
              std::string::npos);

    serial = std::make_unique<SerialDevice>(base(), 7);
    EXPECT_TRUE(waitUntil([&] { return screen.pixels(*icon) == normalIcon; }, 30s))
        << "the icon did not come back";
}

TEST_F(DesktopTest, ASecondStartBringsTheCopyHiddenInTheTrayToTheFrontAndEnds) {
    const Window main = startBesideTrayHost();
    ASSERT_TRUE(main != 0 && icon);
    click(screen.centre(*icon));
    ASSERT_TRUE(waitUntil([&] { return !screen.viewable(main); }, 30s)) << "not hidden";
    XtermReceiver xterm(display, "Kest Receiver");
    const auto other = screen.windowTitled("Kest Receiver");
    ASSERT_TRUE(other.has_value());
    activate(*other);

    ChildProcess second({KEST_PROGRAM_PATH}, display.env(), tmp.path() + "/second.log", true);
    EXPECT_TRUE(waitUntil([&] { return screen.viewable(main); }, 20s)) << "not shown";
    EXPECT_TRUE(waitUntil([&] { return screen.above(main, *other); }, 30s)) << "not in front";
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
