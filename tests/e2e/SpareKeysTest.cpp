// Characters the layout lacks go to spare keycodes: stable while typing, given back
// after five idle seconds, when the keyboard is closed and when the program is
// ended by a signal.

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>

#include "e2e/support/X11Fixture.h"
#include "keyboard/KeyNotation.h"

// After gtest: X11 defines None, Bool and friends as macros.
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#ifndef KEST_TYPE_AND_WAIT_PATH
#error "KEST_TYPE_AND_WAIT_PATH must name the kest_type_and_wait program"
#endif

namespace kest::e2e {
namespace {

class SpareKeys : public X11Fixture {
  protected:
    void SetUp() override {
        X11Fixture::SetUp();
        initiallyEmpty = emptyKeycodes(display.name());
        ASSERT_GE(initiallyEmpty.size(), 4u);
    }

    // The keymap notifications the recorder got since it was last cleared.
    long keymapChanges() const {
        const auto lines = recorder->lines();
        return std::count(lines.begin(), lines.end(), "keymap");
    }

    bool allRestored() const { return emptyKeycodes(display.name()) == initiallyEmpty; }

    std::vector<unsigned> initiallyEmpty;
};

// The keyboard's group count and locked group, as the user's own keys see them.
std::pair<int, int> groupsAndLockedGroup(const std::string& displayName) {
    Display* d = XOpenDisplay(displayName.c_str());
    XkbDescPtr xkb = XkbGetMap(d, 0, XkbUseCoreKbd);
    XkbGetControls(d, XkbAllControlsMask, xkb);
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    const int groups = xkb->ctrls->num_groups;
    XkbFreeKeyboard(xkb, 0, True);
    XCloseDisplay(d);
    return {groups, state.locked_group};
}

// Catches a keymap change per character, or bindings taken back and made again while
// the same characters come again (every change makes every client reload its keymap),
// and spare keycodes kept for ever or not bound again once given back.
TEST_F(SpareKeys, ATextsUnusualCharactersAreBoundInOneChangeAndGivenBackWhenIdle) {
    // The server tells one change in as many notifications as it has keyboards; the
    // key typed after it shows that the recorder has had them all.
    Display* d = XOpenDisplay(display.name().c_str());
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(d, KeyCode(initiallyEmpty.front()), 1, &none, 1);
    XCloseDisplay(d);
    SendKeys("a", true, *device);
    ASSERT_TRUE(recorder->waitForText("a"));
    const auto perChange = keymapChanges();
    ASSERT_GT(perChange, 0);
    recorder->clear();
    // More characters than spare keycodes, each one twice.
    const std::string text =
        "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
        "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF";
    SendKeys(text + text, true, *device);
    ASSERT_TRUE(recorder->waitForText(cp1252ToUtf8(text + text))) << recorder->text();
    // One change binds them all (an XKB change takes a notification or so more than a
    // core one); none is taken back or bound again while typing.
    EXPECT_LE(keymapChanges(), 2 * perChange);
    // Given back after five idle seconds (the bound only tells "late" from "never"),
    // and bound again when needed.
    EXPECT_TRUE(waitUntil([&] { return allRestored(); }, 25s));
    EXPECT_EQ(device->boundSpareKeys(), 0u);
    recorder->clear();
    SendKeys("\xF1", true, *device);
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("\xF1")));
}

// Catches a group or level left switched between characters, and keycodes, keys or
// the locked group not given back when the keyboard is closed; more characters than
// spare keycodes.
TEST_F(SpareKeys, AWholeCodePageLeavesTheUsersKeyboardAsItWas) {
    const auto before = groupsAndLockedGroup(display.name());
    std::string text;
    for (int c = 0xA1; c <= 0xFF; ++c) text.push_back(static_cast<char>(c));
    text += "\x80\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96";
    SendKeys(literalKeyNotation(text), true, *device);
    ASSERT_TRUE(recorder->waitForText(cp1252ToUtf8(text))) << recorder->text();
    // Nothing left switched between the characters: the user's 'a' key types 'a'.
    recorder->clear();
    Display* d = XOpenDisplay(display.name().c_str());
    const KeyCode a = XKeysymToKeycode(d, XK_a);
    XTestFakeKeyEvent(d, a, True, CurrentTime);
    XTestFakeKeyEvent(d, a, False, CurrentTime);
    XCloseDisplay(d);
    EXPECT_TRUE(recorder->waitForText("a")) << recorder->text();
    device.reset();
    EXPECT_TRUE(allRestored());
    EXPECT_TRUE(keysDown(display.name()).empty());
    EXPECT_EQ(groupsAndLockedGroup(display.name()), before);
}

class SpareKeysOnSignal : public SpareKeys, public ::testing::WithParamInterface<int> {};

// Catches spare keycodes left bound, or keys left down, by a program ended by a signal.
TEST_P(SpareKeysOnSignal, GivenBackWhenTheProgramIsEnded) {
    const int sig = GetParam();
    TempDir dir;
    const std::string out = dir.path() + "/out";
    ChildProcess typist({KEST_TYPE_AND_WAIT_PATH, "\xE0\xE8\xF9"}, display.env(), out);
    ASSERT_TRUE(waitUntil([&] { return readFile(out).find("typed") != std::string::npos; }));
    EXPECT_EQ(readFile(out), "typed 3\n");
    EXPECT_TRUE(recorder->waitForText(cp1252ToUtf8("\xE0\xE8\xF9"))) << recorder->text();
    EXPECT_FALSE(allRestored());
    typist.signal(sig);
    const int status = typist.wait();
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_TRUE(allRestored());
    EXPECT_TRUE(keysDown(display.name()).empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, SpareKeysOnSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return info.param == SIGTERM ? "Term" : "Int"; });

}  // namespace
}  // namespace kest::e2e
