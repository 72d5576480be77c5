// The display-free parts of the X11 keyboard: the keysym tables and the rules for
// choosing, guarding and keeping spare keycodes.

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "keyboard/x11/Keysyms.h"
#include "keyboard/x11/SparePool.h"

namespace kest::x11 {
namespace {

using namespace std::chrono_literals;

TEST(Cp1252Keysyms, EveryPrintableCharacterRoundTrips) {
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
        const Keysym ks = keysymForCp1252(static_cast<unsigned char>(c));
        ASSERT_NE(ks, kNoKeysym) << c;
        EXPECT_EQ(cp1252ForKeysym(ks), c) << std::hex << c << " keysym " << ks;
    }
    // The undefined bytes still get a key, by their C1 code point.
    EXPECT_EQ(keysymForCp1252(0x81), 0x1000081u);
    EXPECT_EQ(keysymForCp1252(0x1F), kNoKeysym);
    EXPECT_EQ(keysymForCp1252(0x7F), kNoKeysym);
}

TEST(Cp1252Keysyms, LayoutsMayUseClassicOrUnicodeKeysyms) {
    EXPECT_EQ(cp1252ForKeysym(0x20ac), 0x80);      // EuroSign
    EXPECT_EQ(cp1252ForKeysym(0x10020ac), 0x80);   // U+20AC
    EXPECT_EQ(cp1252ForKeysym(0x13bd), 0x9C);      // oe
    EXPECT_EQ(cp1252ForKeysym(0x1000153), 0x9C);   // U+0153
    EXPECT_EQ(cp1252ForKeysym(0x0ae6), 0x95);      // bullet, recognised
    EXPECT_EQ(keysymForCp1252(0x95), 0x1002022u);  // but bound by its exact Unicode keysym
    // GTK types nothing for the classic permille keysym: per mille goes by Unicode only.
    EXPECT_EQ(keysymForCp1252(0x89), 0x1002030u);
    EXPECT_EQ(cp1252ForKeysym(0x0ad5), -1);
    EXPECT_EQ(cp1252ForKeysym(0x10000e9), -1);     // Latin-1 has its own keysyms
    EXPECT_EQ(cp1252ForKeysym(0xff0d), -1);        // Return types no character here
    EXPECT_EQ(cp1252ForKeysym(0xfe51), -1);        // dead_acute
    EXPECT_EQ(cp1252ForKeysym(0x10003b1), -1);     // alpha: outside the code page
}

TEST(VirtualKeys, KeysOfAPcKeyboard) {
    EXPECT_EQ(virtualKeyFor('A').keysym, Keysym('a'));
    EXPECT_EQ(virtualKeyFor('7').keysym, Keysym('7'));
    EXPECT_EQ(virtualKeyFor(13).keysym, 0xff0du);
    EXPECT_STREQ(virtualKeyFor(16).keyName, "LFSH");
    EXPECT_EQ(virtualKeyFor(112).keysym, 0xffbeu);   // F1
    EXPECT_EQ(virtualKeyFor(135).keysym, 0xffd5u);   // F24
    EXPECT_EQ(virtualKeyFor(135).keyName, nullptr);  // F13 and up go by keysym
    EXPECT_EQ(virtualKeyFor(0x60).keysym, 0xffb0u);  // keypad 0
    EXPECT_STREQ(virtualKeyFor(0xBA).keyName, "AC10");
    EXPECT_STREQ(virtualKeyFor(0xE2).keyName, "LSGT");
    EXPECT_EQ(virtualKeyFor(0x5B).keysym, 0xffebu);  // left Windows key
    // Codes with no key on a PC keyboard.
    for (int vk : {0, 7, 0x0A, 0x3A, 0x88, 0xFF})
        EXPECT_EQ(virtualKeyFor(std::uint8_t(vk)).keysym, kNoKeysym) << vk;
}

class SparePoolTest : public ::testing::Test {
  protected:
    SparePool pool{100ms};
    SparePool::TimePoint t0 = SparePool::Clock::now();
    std::map<SparePool::Keycode, SparePool::Keysym> server;  // what the server maps
    void reconcile(std::vector<SparePool::Keycode> empty) {
        pool.reconcile(empty, [&](SparePool::Keycode kc) { return server[kc]; });
    }
    void bind(SparePool::Keycode kc, SparePool::Keysym ks, SparePool::TimePoint at) {
        pool.bind(kc, ks, at);
        server[kc] = ks;
    }
};

TEST_F(SparePoolTest, UnboundKeycodesFirstThenLeastRecentlyUsedAfterTheGuard) {
    reconcile({200, 201});
    auto first = pool.choose();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->notBefore, SparePool::TimePoint{});
    bind(first->keycode, 0xe9, t0);
    auto second = pool.choose();
    ASSERT_TRUE(second);
    EXPECT_NE(second->keycode, first->keycode);
    bind(second->keycode, 0xe8, t0 + 10ms);
    pool.touch(first->keycode, t0 + 50ms);
    // Both bound: the one used longest ago, and not before 100 ms after its last use.
    auto third = pool.choose();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->keycode, second->keycode);
    EXPECT_EQ(third->notBefore, t0 + 110ms);
    EXPECT_EQ(pool.boundTo(0xe9), first->keycode);
    EXPECT_FALSE(pool.boundTo(0xe0));
}

TEST_F(SparePoolTest, HeldKeycodesAreNeverReboundOrRestored) {
    reconcile({200});
    bind(200, 0xffc9, t0);
    pool.setHeld(200, true);
    EXPECT_FALSE(pool.choose());
    EXPECT_TRUE(pool.boundKeycodes().empty());
    pool.setHeld(200, false);
    EXPECT_EQ(pool.boundKeycodes(), std::vector<SparePool::Keycode>{200});
    EXPECT_EQ(pool.restoreNotBefore(), t0 + 100ms);
    pool.unbindAll();
    EXPECT_TRUE(pool.boundKeycodes().empty());
}

TEST_F(SparePoolTest, KeycodesTakenBySomeoneElseAreDropped) {
    reconcile({200, 201, 202});
    bind(200, 0xe9, t0);
    bind(201, 0xe8, t0);
    server[201] = 0x61;  // another program put 'a' there
    server[202] = 0x62;
    reconcile({203});  // 202 is no longer empty, 203 became empty
    EXPECT_EQ(pool.size(), 2u);
    EXPECT_TRUE(pool.contains(200));
    EXPECT_FALSE(pool.contains(201));
    EXPECT_TRUE(pool.contains(203));
    EXPECT_EQ(pool.boundKeycodes(), std::vector<SparePool::Keycode>{200});
}

TEST_F(SparePoolTest, HistorySurvivesAKeymapReload) {
    reconcile({200});
    bind(200, 0xe9, t0);
    server[200] = 0;  // restored by us, then reloaded
    pool.unbindAll();
    reconcile({200});
    auto choice = pool.choose();
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->notBefore, t0 + 100ms);
}

}  // namespace
}  // namespace kest::x11
