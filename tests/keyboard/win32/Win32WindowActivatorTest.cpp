#include "keyboard/win32/Win32WindowActivator.h"

#include <gtest/gtest.h>

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

TEST_F(Win32WindowActivatorTest, ExactTitleWinsOverAnEarlierPrefixAndCaseIsIgnored) {
    const WindowHandle entry = add(u"Orders Entry");
    const WindowHandle orders = add(u"ORDERS");
    EXPECT_TRUE(activator.activate("orders"));
    EXPECT_EQ(api.foreground, orders);
    EXPECT_TRUE(activator.activate("Orders E"));
    EXPECT_EQ(api.foreground, entry);
}

TEST_F(Win32WindowActivatorTest, CaseIsIgnoredAcrossWindows1252) {
    // "ÉTUDE ŒUVRE Ÿ" in Windows-1252 against a title in lower case.
    const WindowHandle etude = add(u"\u00e9tude \u0153uvre \u00ff");
    EXPECT_TRUE(activator.activate("\xC9TUDE \x8CUVRE \x9F"));
    EXPECT_EQ(api.foreground, etude);
    // Characters outside the code page, surrogate pairs included, still allow a prefix.
    const WindowHandle chat = add(u"Chat \U0001F600 \u4E2D");
    EXPECT_TRUE(activator.activate("CHAT"));
    EXPECT_EQ(api.foreground, chat);
}

// Cloaked windows pass IsWindowVisible but are not shown: a suspended Store app, a
// window on another virtual desktop.
TEST_F(Win32WindowActivatorTest, NoMatchHiddenOrCloakedWindowsAndEmptyTitleActivateNothing) {
    add(u"Invoice", false);
    add(u"Orders");
    add(u"Settings");
    api.windows.back().cloaked = true;
    for (const char* title : {"Invoice", "Orders 2", "", "rders", "Settings"}) {
        EXPECT_FALSE(activator.activate(title)) << title;
    }
    EXPECT_EQ(api.foreground, kOwn);
    EXPECT_EQ(api.foregroundRequests, 0);
}

TEST_F(Win32WindowActivatorTest, AMinimisedWindowIsRestored) {
    const WindowHandle orders = add(u"Orders");
    api.windows.back().minimised = true;
    EXPECT_TRUE(activator.activate("Orders"));
    EXPECT_FALSE(api.isMinimised(orders));
    EXPECT_EQ(api.foreground, orders);
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
    EXPECT_TRUE(api.attached.empty());
    EXPECT_GE(api.slept, 120u);
    EXPECT_LE(api.slept, 200u);

    api.foreground = kOwn;
    api.foregroundDelayMs = 100000;
    api.slept = 0;
    EXPECT_FALSE(activator.activate("Orders"));
    EXPECT_LE(api.slept, 3 * 200u);
    EXPECT_TRUE(api.down.none());
}

// Attaching input comes first and sends no key; our own input (two Alt taps: the
// menu bar that the first opens, the second closes) is the way left after it.
TEST_F(Win32WindowActivatorTest, TheForegroundLockIsPassedLeavingNoInputAttachedAndNoKeyDown) {
    const WindowHandle orders = add(u"Orders");
    for (auto [lock, presses] : {std::pair{ForegroundLock::UnlessAttached, 0},
                                 std::pair{ForegroundLock::UnlessOurInput, 2}}) {
        api.foreground = kOwn;
        api.lock = lock;
        api.sent.clear();
        EXPECT_TRUE(activator.activate("Orders"));
        EXPECT_EQ(api.foreground, orders);
        EXPECT_TRUE(api.attached.empty());
        EXPECT_TRUE(api.down.none());
        int pressed = 0;
        for (const KeyInput& e : api.sent) pressed += !(e.flags & kEventKeyUp);
        EXPECT_EQ(pressed, presses);
    }
}

TEST_F(Win32WindowActivatorTest, AWindowKeptBehindByWindowsIsReportedAsNotActivated) {
    add(u"Orders");
    api.lock = ForegroundLock::Always;
    EXPECT_FALSE(activator.activate("Orders"));
    EXPECT_EQ(api.foreground, kOwn);
    EXPECT_TRUE(api.attached.empty());
    EXPECT_TRUE(api.down.none());
}

}  // namespace
}  // namespace kest::win32::testing
