#include "keyboard/win32/Win32WindowActivator.h"

#include <gtest/gtest.h>

#include <tuple>

#include "keyboard/win32/FakeWin32Api.h"

namespace kest::win32::testing {
namespace {

constexpr WindowHandle kOwn = 1;

class Win32WindowActivatorTest : public ::testing::Test {
  protected:
    Win32WindowActivatorTest() {
        api.windows.push_back({kOwn, u"Kest Redirect", 20});
        api.foreground = kOwn;
    }
    WindowHandle add(std::u16string title, bool visible = true) {
        const WindowHandle h = 0x100 + api.windows.size();
        api.windows.push_back({h, std::move(title), ThreadId(30 + api.windows.size()), visible});
        return h;
    }

    FakeWin32Api api;
    Win32WindowActivator activator{api};
};

// Which title wins is the shared title match's; Windows' own part is which windows
// count and how their titles are read. Cloaked windows pass IsWindowVisible but are not
// shown: a suspended Store app, a window on another virtual desktop. The title typed in
// Windows-1252 meets UTF-16 titles, surrogate pairs included. A minimised window is
// restored.
TEST_F(Win32WindowActivatorTest, OnlyShownWindowsCountTitlesAreReadAsUnicodeAndRestored) {
    add(u"Orders", false);
    add(u"Orders Entry");
    api.windows.back().cloaked = true;
    for (const char* title : {"Orders", ""}) EXPECT_FALSE(activator.activate(title)) << title;
    EXPECT_EQ(api.foreground, kOwn);

    const WindowHandle orders = add(u"Orders \U0001F600 \u4E2D");
    api.windows.back().minimised = true;
    EXPECT_TRUE(activator.activate("ORDERS"));
    EXPECT_EQ(api.foreground, orders);
    EXPECT_FALSE(api.isMinimised(orders));
    const WindowHandle etude = add(u"\u00e9tude \u0153uvre \u00ff");
    EXPECT_TRUE(activator.activate("\xC9TUDE \x8CUVRE \x9F"));
    EXPECT_EQ(api.foreground, etude);
}

// Another program's window comes to the front a moment after SetForegroundWindow:
// it is looked for again for up to 200 ms before any other way is tried, so that no
// Alt tap goes into it. A window that never comes is given up after that time.
TEST_F(Win32WindowActivatorTest, AnActivationThatTakesAMomentIsWaitedForBeforeAnyOtherWay) {
    const WindowHandle orders = add(u"Orders");
    api.foregroundDelayMs = 120;
    EXPECT_TRUE(activator.activate("Orders"));
    EXPECT_EQ(api.foreground, orders);
    EXPECT_TRUE(api.sent.empty());
    EXPECT_LE(api.slept, 200u);

    api.foreground = kOwn;
    api.foregroundDelayMs = 100000;
    api.slept = 0;
    EXPECT_FALSE(activator.activate("Orders"));
    EXPECT_LE(api.slept, 3 * 200u);
    EXPECT_TRUE(api.down.none());
}

// Attaching input comes first and sends no key; our own input (two Alt taps: the
// menu bar that the first opens, the second closes) is the way left after it. A window
// that Windows keeps behind all the same is reported as not activated.
TEST_F(Win32WindowActivatorTest, TheForegroundLockIsPassedLeavingNoInputAttachedAndNoKeyDown) {
    const WindowHandle orders = add(u"Orders");
    for (const auto& [lock, presses, activated] :
         {std::tuple{ForegroundLock::UnlessAttached, 0, true},
          std::tuple{ForegroundLock::UnlessOurInput, 2, true},
          std::tuple{ForegroundLock::Always, 2, false}}) {
        api.foreground = kOwn;
        api.lock = lock;
        api.sent.clear();
        EXPECT_EQ(activator.activate("Orders"), activated);
        EXPECT_EQ(api.foreground, activated ? orders : kOwn);
        EXPECT_TRUE(api.attached.empty());
        EXPECT_TRUE(api.down.none());
        int pressed = 0;
        for (const KeyInput& e : api.sent) pressed += !(e.flags & kEventKeyUp);
        EXPECT_EQ(pressed, presses);
    }
}

}  // namespace
}  // namespace kest::win32::testing
