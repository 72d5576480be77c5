// The display-free part of the X11 keyboard's spare keycodes: the rules for choosing,
// guarding and keeping them, where a real server cannot show the order or the guard.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <tuple>

#include "keyboard/x11/SparePool.h"

namespace kest::x11 {
namespace {

using namespace std::chrono_literals;

class SparePoolTest : public ::testing::Test {
  protected:
    using Spot = SparePool::Spot;
    SparePool pool{100ms};
    SparePool::TimePoint t0 = SparePool::Clock::now();
    // What the server maps: keycode, group, level.
    std::map<std::tuple<int, int, int>, SparePool::Keysym> server;
    void reconcile(std::vector<SparePool::Keycode> empty) {
        pool.reconcile(empty, [&](SparePool::Keycode kc, int g, int l) {
            return server[{kc, g, l}];
        });
    }
    void bind(const Spot& spot, SparePool::Keysym ks, SparePool::TimePoint at) {
        pool.bind(spot, ks, at);
        server[{spot.keycode, spot.group, spot.level}] = ks;
    }
};

// Catches short texts that add groups, a spot re-bound before its last event can
// have been handled, and raw key presses given a spot only a modifier reaches.
TEST_F(SparePoolTest, FreeSpotsLevelByLevelThenLeastRecentlyUsedAfterTheGuard) {
    reconcile({200, 201});
    // The first level of every key, then Shift's, then the next group: a few
    // characters change a few keys and add no group.
    const std::vector<Spot> order = {{200, 0, 0}, {201, 0, 0}, {200, 0, 1}, {201, 0, 1},
                                     {200, 1, 0}, {201, 1, 0}, {200, 1, 1}};
    SparePool::Keysym ks = 0x100;
    for (const Spot& expected : order) {
        auto choice = pool.choose();
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->spot, expected);
        EXPECT_EQ(choice->notBefore, SparePool::TimePoint{});
        bind(choice->spot, ++ks, t0);
    }
    EXPECT_EQ(pool.groupsOf(200), 2);
    while (auto choice = pool.choose()) {
        if (choice->notBefore != SparePool::TimePoint{}) break;
        bind(choice->spot, ++ks, t0);
    }
    EXPECT_EQ(pool.groupsOf(201), SparePool::kGroups);
    pool.touch(200, t0 + 50ms);
    // All bound: the first spot of the keycode used longest ago, 100 ms after that use.
    auto reuse = pool.choose();
    ASSERT_TRUE(reuse);
    EXPECT_EQ(reuse->spot, (Spot{201, 0, 0}));
    EXPECT_EQ(reuse->notBefore, t0 + 100ms);
    EXPECT_EQ(pool.boundTo(0x103), (Spot{200, 0, 1}));
    EXPECT_FALSE(pool.boundTo(0xe0));
    // Raw key presses only ever get a first spot.
    pool.unbindAll();
    bind({200, 0, 0}, 0xe9, t0);
    EXPECT_EQ(pool.choose(true)->spot, (Spot{201, 0, 0}));
}

// Catches a key still held down re-bound or restored, so that its release types
// something else.
TEST_F(SparePoolTest, HeldKeycodesAreNeverReboundOrRestored) {
    reconcile({200});
    bind({200, 0, 0}, 0xffc9, t0);
    pool.setHeld(200, true);
    EXPECT_FALSE(pool.choose());
    EXPECT_TRUE(pool.boundKeycodes().empty());
    pool.setHeld(200, false);
    EXPECT_EQ(pool.boundKeycodes(), std::vector<SparePool::Keycode>{200});
    EXPECT_EQ(pool.restoreNotBefore(), t0 + 100ms);
    pool.unbindAll();
    EXPECT_TRUE(pool.boundKeycodes().empty());
    EXPECT_EQ(pool.groupsOf(200), 0);
}

// Catches another program's keys overwritten or "restored" by us.
TEST_F(SparePoolTest, KeycodesTakenBySomeoneElseAreDropped) {
    reconcile({200, 201, 202});
    bind({200, 0, 0}, 0xe9, t0);
    bind({200, 1, 1}, 0xf6, t0);
    bind({201, 0, 0}, 0xe8, t0);
    server[{201, 0, 1}] = 0x41;  // another program put 'A' on Shift's level there
    server[{202, 0, 0}] = 0x62;
    reconcile({203});  // 202 is no longer empty, 203 became empty
    EXPECT_EQ(pool.boundKeycodes(), std::vector<SparePool::Keycode>{200});
    EXPECT_FALSE(pool.contains(201));
    EXPECT_FALSE(pool.contains(202));
    EXPECT_TRUE(pool.contains(203));
}

// Catches the guard forgotten when the keymap is reloaded while keys are on their way.
TEST_F(SparePoolTest, HistorySurvivesAKeymapReload) {
    reconcile({200});
    bind({200, 0, 0}, 0xe9, t0);
    bind({200, 0, 1}, 0xe8, t0);
    server.clear();  // restored by us, then reloaded
    pool.unbindAll();
    reconcile({200});
    // Free again: bound at once; once all is bound, re-bound only after the guard.
    for (int i = 0; i < SparePool::kSpots; ++i) {
        auto choice = pool.choose();
        ASSERT_EQ(choice->notBefore, SparePool::TimePoint{});
        pool.bind(choice->spot, 0x100 + SparePool::Keysym(i), t0 + 10ms);
    }
    EXPECT_EQ(pool.choose()->notBefore, t0 + 110ms);
}

}  // namespace
}  // namespace kest::x11
