#pragma once
// Window activation by title on X11: the titles of the top-level windows
// (_NET_WM_NAME, else WM_NAME); _NET_ACTIVE_WINDOW when a window manager runs, else
// raise and focus.

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "keyboard/TitleMatch.h"
#include "keyboard/WindowActivator.h"
#include "keyboard/x11/XErrors.h"

namespace kest::x11 {

// Kept under this name for the tests that knew it here.
using kest::matchTitle;

class X11WindowActivator final : public WindowActivator {
  public:
    // Opens its own connection (nullptr: $DISPLAY); throws DeviceError when it cannot.
    explicit X11WindowActivator(const char* displayName = nullptr);
    ~X11WindowActivator() override;
    X11WindowActivator(const X11WindowActivator&) = delete;
    X11WindowActivator& operator=(const X11WindowActivator&) = delete;

    bool activate(const std::string& title) override;
    std::optional<bool> windowExists(const std::string& title) override;

  private:
    std::optional<Window> find(const std::string& title);
    struct TopLevel {
        Window window;
        std::u32string title;
    };
    std::vector<TopLevel> topLevels();
    std::optional<std::u32string> titleOf(Window window);
    std::optional<Window> namedWindowIn(Window frame, int depth);
    bool windowManagerRuns();
    // Returns once the window manager has made the window active and given it the
    // keyboard focus, or after kFocusWait.
    void focus(Window window, bool managed);
    // A property holding one window (_NET_ACTIVE_WINDOW, ...); None when unset.
    Window windowProperty(Window on, Atom name);
    bool hasFocus(Window window);  // the keyboard focus is on it or inside it

    static constexpr std::chrono::milliseconds kFocusWait{2000};

    Display* display_ = nullptr;
    Atom netClientList_ = None;
    Atom netActiveWindow_ = None;
    Atom netWmName_ = None;
    Atom netSupportingCheck_ = None;
    Atom utf8String_ = None;
};

}  // namespace kest::x11
