#include "keyboard/ApiKbII.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "keyboard/RecordingKeyboardDevice.h"
#include "support/FakeClock.h"

namespace kest {
namespace {

using Device = RecordingKeyboardDevice;
using Ev = Device::Event;
using Events = std::vector<Ev>;

std::string codes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// --- encoder -------------------------------------------------------------------------

struct EncodeCase {
    std::string keys;
    std::string encoded;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << '"' << c.keys << '"';
}

class ApiEncoder : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(ApiEncoder, RewritesKnownNamesAndModifiers) {
    EXPECT_EQ(encodeApiKeys(GetParam().keys), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ApiEncoder,
    ::testing::Values(
        EncodeCase{"abc", "abc"}, EncodeCase{"+^%", codes({254, 16, 254, 17, 254, 18})},
        EncodeCase{"{HOME}{END}{UP}{DOWN}", codes({255, 36, 255, 35, 255, 38, 255, 40})},
        // 37 is '%' and must not be taken for Alt once written.
        EncodeCase{"{LEFT}{RIGHT}", codes({255, 37, 255, 39})},
        EncodeCase{"{ESC}{PRTSC}{PGUP}{PGDN}", codes({255, 27, 255, 44, 255, 33, 255, 34})},
        EncodeCase{"{INSERT}{INS}", codes({255, 45, 255, 45})},
        EncodeCase{"{ENTER}~", codes({255, 13, 255, 13})},
        EncodeCase{"{BACKSPACE}{BS}{BKSP}{TAB}", codes({255, 8, 255, 8, 255, 8, 255, 9})},
        EncodeCase{"{NUMLOCK}{CAPSLOCK}{SCROLLLOCK}", codes({254, 144, 254, 20, 254, 145})},
        EncodeCase{"{HELP}", codes({255, 112})}, EncodeCase{"{F1}", codes({255, 112})},
        EncodeCase{"{F10}{F11}", codes({255, 121, 255, 122})},
        // 123 is '{' and must not open a name once written.
        EncodeCase{"{F12}F1}", codes({255, 123, 'F', '1', '}'})}));

INSTANTIATE_TEST_SUITE_P(LeftForTheCharacterRule, ApiEncoder,
                         ::testing::Values(EncodeCase{"{enter}", "{enter}"},
                                           EncodeCase{"{DEL}", "{DEL}"},
                                           EncodeCase{"{DELETE}{BREAK}", "{DELETE}{BREAK}"},
                                           EncodeCase{"{F13}", "{F13}"}, EncodeCase{"(ab)", "(ab)"},
                                           EncodeCase{"{LEFT 42}", "{LEFT 42}"},
                                           EncodeCase{"{+}", codes({'{', 254, 16, '}'})}));

// --- player --------------------------------------------------------------------------

class ApiPlayerTest : public ::testing::Test {
  protected:
    Events send(std::string keys) {
        API_SEND_KEYS(keys, device, clock);
        return device.events();
    }
    Events tap(int vk) {
        return {Device::down(static_cast<std::uint8_t>(vk)),
                Device::up(static_cast<std::uint8_t>(vk))};
    }
    Events capital(int vk) {
        return {Device::down(16), Device::down(static_cast<std::uint8_t>(vk)),
                Device::up(static_cast<std::uint8_t>(vk)), Device::up(16)};
    }
    static Events join(std::initializer_list<Events> parts) {
        Events out;
        for (const Events& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }

    Device device;
    test::FakeClock clock;
};

TEST_F(ApiPlayerTest, HelloIsTenEventsWithOnePauseEach) {
    EXPECT_EQ(send("hello"), join({tap(72), tap(69), tap(76), tap(76), tap(79)}));
    EXPECT_EQ(clock.sleeps, std::vector<double>(5, 0.1));
}

TEST_F(ApiPlayerTest, CapitalsAreShiftWrappedWithThreePauses) {
    EXPECT_EQ(send("A1 b"), join({capital(65), tap(49), tap(32), tap(66)}));
    EXPECT_EQ(clock.sleeps.size(), 3u + 1 + 1 + 1);
}

TEST_F(ApiPlayerTest, HoldCodesWrapTheNextKeyWithoutPauses) {
    EXPECT_EQ(send("^c"),
              (Events{Device::down(17), Device::down(67), Device::up(67), Device::up(17)}));
    EXPECT_EQ(clock.sleeps, std::vector<double>{0.1});
}

TEST_F(ApiPlayerTest, HeldKeysComeUpInTheOrderTheyWentDown) {
    // '{' of "{DEL}" is F12 after the modifiers are encoded; the rest is typed.
    EXPECT_EQ(send("^%{DEL}"), join({{Device::down(17), Device::down(18)},
                                     tap(123),
                                     {Device::up(17), Device::up(18)},
                                     capital('D'),
                                     capital('E'),
                                     capital('L'),
                                     tap(125)}));
}

TEST_F(ApiPlayerTest, NamedKeysPressAndRelease) {
    EXPECT_EQ(send("{ENTER}~{HELP}{F12}"), join({tap(13), tap(13), tap(112), tap(123)}));
}

TEST_F(ApiPlayerTest, UnknownNamesGoThroughTheCharacterRule) {
    EXPECT_EQ(send("{F13}"), join({tap(123), capital('F'), tap('1'), tap('3'), tap(125)}));
    device.clear();
    EXPECT_EQ(send(".["), join({tap(46), tap(91)}));
}

TEST_F(ApiPlayerTest, ShiftOverTab) {
    EXPECT_EQ(send("+{TAB}"),
              (Events{Device::down(16), Device::down(9), Device::up(9), Device::up(16)}));
}

TEST_F(ApiPlayerTest, TrailingModifierIsReleasedAtTheEnd) {
    EXPECT_EQ(send("abc+"), join({tap(65), tap(66), tap(67), {Device::down(16), Device::up(16)}}));
    EXPECT_TRUE(device.keysDown().empty());
}

TEST_F(ApiPlayerTest, LockKeysAreHeldLikeModifiersAndNotCompensated) {
    EXPECT_EQ(send("{NUMLOCK}5"), join({{Device::down(144)}, tap(53), {Device::up(144)}}));
    device.clear();
    // With Caps Lock toggled on the target shows a capital; the player does not care.
    EXPECT_EQ(send("{CAPSLOCK}a"), join({{Device::down(20)}, tap(65), {Device::up(20)}}));
}

TEST_F(ApiPlayerTest, RepeatedModifierIsHeldTwiceAndReleasedTwice) {
    EXPECT_EQ(
        send("++a"),
        join({{Device::down(16), Device::down(16)}, tap(65), {Device::up(16), Device::up(16)}}));
    EXPECT_TRUE(device.keysDown().empty());
}

TEST_F(ApiPlayerTest, CodesAboveTwoFiftyThreeInTheTextArePrefixes) {
    EXPECT_EQ(send(codes({255, 'A'})), tap(65));  // a key code, not a capital
    device.clear();
    EXPECT_EQ(send(codes({254, 'Z', 'a'})), join({{Device::down(90)}, tap(65), {Device::up(90)}}));
    device.clear();
    EXPECT_EQ(send(codes({'a', 255})), tap(65));
    device.clear();
    EXPECT_EQ(send(codes({'a', 254})), tap(65));
}

TEST_F(ApiPlayerTest, OtherCodesAreUsedAsVirtualKeys) {
    EXPECT_EQ(send(codes({8, 9, 13, 27, 0, 200})),
              join({tap(8), tap(9), tap(13), tap(27), tap(0), tap(200)}));
}

TEST_F(ApiPlayerTest, NeverTypesThroughTheLayoutAndNeverSyncs) {
    send("Hello, World! {ENTER}");
    for (const Ev& e : device.events()) {
        EXPECT_TRUE(e.kind == Ev::Kind::Down || e.kind == Ev::Kind::Up);
    }
}

TEST_F(ApiPlayerTest, KeysAreRewrittenInPlaceToTheEncodedString) {
    std::string keys = "+a{ENTER}";
    API_SEND_KEYS(keys, device, clock);
    EXPECT_EQ(keys, codes({254, 16, 'a', 255, 13}));
}

TEST_F(ApiPlayerTest, EmptyTextDoesNothing) {
    EXPECT_TRUE(send("").empty());
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(ApiPlayerFailure, DeviceFailureReleasesTheKeyBeingTypedThenTheHeldKeys) {
    Device device;
    test::FakeClock clock;
    device.failAfter(4);  // down 17, down 18, down 16, down 68, then up 68 fails
    std::string keys = "^%D";
    EXPECT_THROW(API_SEND_KEYS(keys, device, clock), std::runtime_error);
    EXPECT_EQ(device.events(),
              (Events{Device::down(17), Device::down(18), Device::down(16), Device::down(68),
                      Device::up(68), Device::up(16), Device::up(17), Device::up(18)}));
}

TEST(ApiPlayerFailure, NoKeyStaysDownWhereverTheDeviceFails) {
    for (std::string keys : {"^%{DEL}", "+Ab", "{NUMLOCK}5", "abc+", "++a~"}) {
        Device probe;
        test::FakeClock probeClock;
        std::string copy = keys;
        API_SEND_KEYS(copy, probe, probeClock);
        const int calls = static_cast<int>(probe.events().size());
        for (int n = 0; n < calls; ++n) {
            Device device;
            test::FakeClock clock;
            device.failAfter(n);
            copy = keys;
            EXPECT_THROW(API_SEND_KEYS(copy, device, clock), std::runtime_error);
            EXPECT_TRUE(device.keysDown().empty()) << keys << " failing at call " << n;
        }
    }
}

// --- pause ---------------------------------------------------------------------------

TEST(ApiWait, SleepsTheTimeAsked) {
    test::FakeClock clock;
    clock.setSecondsSinceMidnight(12 * 3600.0);
    API_WAIT(0.1, clock);
    API_WAIT(2.5, clock);
    EXPECT_EQ(clock.sleeps, (std::vector<double>{0.1, 2.5}));
}

TEST(ApiWait, NothingOrLessReturnsAtOnce) {
    test::FakeClock clock;
    for (double s : {0.0, -1.0, -0.0, std::numeric_limits<double>::quiet_NaN()}) {
        API_WAIT(s, clock);
    }
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(ApiWait, EndsAtMidnight) {
    test::FakeClock clock;
    clock.setSecondsSinceMidnight(86395.0);
    API_WAIT(10.0, clock);
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_DOUBLE_EQ(clock.sleeps[0], 5.0);

    clock.setSecondsSinceMidnight(86400.0);
    API_WAIT(0.1, clock);
    API_WAIT(std::numeric_limits<double>::infinity(), clock);
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

}  // namespace
}  // namespace kest
