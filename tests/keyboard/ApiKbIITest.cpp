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

// Known names and modifiers become key codes; the rest is left for the character rule.
TEST(ApiEncoder, RewritesKnownNamesAndModifiers) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "abc"},
        {"+^%", codes({254, 16, 254, 17, 254, 18})},
        {"{HOME}{INS}{PGDN}", codes({255, 36, 255, 45, 255, 34})},
        // 37 is '%' and must not be taken for Alt once written.
        {"{LEFT}{RIGHT}", codes({255, 37, 255, 39})},
        {"{ENTER}~", codes({255, 13, 255, 13})},
        {"{BACKSPACE}{BS}{BKSP}{TAB}", codes({255, 8, 255, 8, 255, 8, 255, 9})},
        {"{NUMLOCK}{CAPSLOCK}{SCROLLLOCK}", codes({254, 144, 254, 20, 254, 145})},
        {"{HELP}", codes({255, 112})},
        {"{F10}{F11}", codes({255, 121, 255, 122})},
        // 123 is '{' and must not open a name once written.
        {"{F12}F1}", codes({255, 123, 'F', '1', '}'})},
        {"{enter}", "{enter}"},
        {"{DEL}{DELETE}{BREAK}", "{DEL}{DELETE}{BREAK}"},
        {"{F13}", "{F13}"},
        {"(ab)", "(ab)"},
        {"{LEFT 42}", "{LEFT 42}"},
        {"{+}", codes({'{', 254, 16, '}'})}};
    for (const auto& [keys, encoded] : cases) EXPECT_EQ(encodeApiKeys(keys), encoded) << keys;
}

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

// Every key is a virtual-key press with a pause of a tenth of a second (a capital has
// three: Shift down, the key, Shift up); hold codes wrap the next key without a pause
// of their own, and held keys come up in the order they went down. Nothing is typed
// through the layout and nothing syncs.
TEST_F(ApiPlayerTest, KeysBecomePressesWithTheirPausesAndHeldKeysComeUpInOrder) {
    const auto down = [](int vk) { return Device::down(static_cast<std::uint8_t>(vk)); };
    const auto up = [](int vk) { return Device::up(static_cast<std::uint8_t>(vk)); };
    struct Case {
        std::string keys;
        Events events;
        std::size_t pauses;
    };
    const Case cases[] = {
        {"", {}, 0},
        {"hello", join({tap(72), tap(69), tap(76), tap(76), tap(79)}), 5},
        {"A1 b", join({capital(65), tap(49), tap(32), tap(66)}), 6},
        {"^c", {down(17), down(67), up(67), up(17)}, 1},
        {"+{TAB}", {down(16), down(9), up(9), up(16)}, 1},
        // '{' of "{DEL}" is F12 after the modifiers are encoded; the rest is typed.
        {"^%{DEL}",
         join({{down(17), down(18)},
               tap(123),
               {up(17), up(18)},
               capital('D'),
               capital('E'),
               capital('L'),
               tap(125)}),
         11},
        {"{ENTER}~{HELP}{F12}", join({tap(13), tap(13), tap(112), tap(123)}), 4},
        // Unknown names go through the character rule.
        {"{F13}", join({tap(123), capital('F'), tap('1'), tap('3'), tap(125)}), 7},
        {".[", join({tap(46), tap(91)}), 2},
        {"abc+", join({tap(65), tap(66), tap(67), {down(16), up(16)}}), 3},
        {"++a", join({{down(16), down(16)}, tap(65), {up(16), up(16)}}), 1},
        // Lock keys are held like modifiers; what Caps Lock makes of "a" is not undone.
        {"{NUMLOCK}5", join({{down(144)}, tap(53), {up(144)}}), 1},
        {"{CAPSLOCK}a", join({{down(20)}, tap(65), {up(20)}}), 1},
        // Codes above 253 in the text are prefixes: a key code, not a capital.
        {codes({255, 'A'}), tap(65), 1},
        {codes({254, 'Z', 'a'}), join({{down(90)}, tap(65), {up(90)}}), 1},
        {codes({'a', 255}), tap(65), 1},
        {codes({'a', 254}), tap(65), 1},
        {codes({8, 9, 13, 27, 0, 200}), join({tap(8), tap(9), tap(13), tap(27), tap(0), tap(200)}),
         6},
    };
    for (const Case& c : cases) {
        device.clear();
        clock.sleeps.clear();
        EXPECT_EQ(send(c.keys), c.events) << c.keys;
        EXPECT_EQ(clock.sleeps, std::vector<double>(c.pauses, 0.1)) << c.keys;
        EXPECT_TRUE(device.keysDown().empty()) << c.keys;
    }
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

// The pause sleeps the time asked, nothing for nothing or less, and never past midnight.
TEST(ApiWait, SleepsTheTimeAskedButNothingForLessAndNeverPastMidnight) {
    test::FakeClock clock;
    clock.setSecondsSinceMidnight(12 * 3600.0);
    for (double s : {0.1, 0.0, -1.0, -0.0, std::numeric_limits<double>::quiet_NaN(), 2.5})
        API_WAIT(s, clock);
    EXPECT_EQ(clock.sleeps, (std::vector<double>{0.1, 2.5}));

    clock.sleeps.clear();
    clock.setSecondsSinceMidnight(86395.0);
    API_WAIT(10.0, clock);
    clock.setSecondsSinceMidnight(86400.0);
    API_WAIT(0.1, clock);
    API_WAIT(std::numeric_limits<double>::infinity(), clock);
    EXPECT_EQ(clock.sleeps, std::vector<double>{5.0});
}

}  // namespace
}  // namespace kest
