#include "keyboard/KeyDispatch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "keyboard/KeyNotation.h"
#include "keyboard/KeyboardDevice.h"
#include "keyboard/RecordingKeyboardDevice.h"
#include "support/FakeClock.h"

namespace kest {
namespace {

using Device = RecordingKeyboardDevice;
using Ev = Device::Event;
using Events = std::vector<Ev>;

const Ev kSync{Ev::Kind::Sync, 0};

Ev down(int vk) {
    return Device::down(static_cast<std::uint8_t>(vk));
}
Ev up(int vk) {
    return Device::up(static_cast<std::uint8_t>(vk));
}

// The two paths leave different traces on the recorder: SendKeys types characters
// through the layout and syncs when asked to wait; the player only sends raw key
// events, with pauses on the clock.
class KeyDispatchTest : public ::testing::Test {
  protected:
    void send(std::string keys, bool apiKb = false, bool upper = false, bool wait = true) {
        dispatch.SEND_TO_KB(keys, wait, apiKb, upper);
    }

    Device device;
    test::FakeClock clock;
    KeyDispatch dispatch{device, clock};
};

// The mode tokens choose the path for this text and the ones after it; U.Case releases
// Shift and sends upper-cased text, Windows-1252 letters included, on SendKeys only.
TEST_F(KeyDispatchTest, TokensAndSwitchesChooseThePathAndTheTagSaysWhich) {
    struct Case {
        std::string earlier;  // sent first, through the same dispatch
        std::string keys;
        bool apiKb, upper, wait;
        Events events;
        std::string tag;
    };
    const Events ctrlEsc = {down(17), down(27), up(27), up(17)};
    Events twice = ctrlEsc;
    twice.insert(twice.end(), {down(65), up(65)});
    twice.insert(twice.end(), ctrlEsc.begin(), ctrlEsc.end());
    const Events upperAbc = {
        up(16), Device::ch('A'), Device::ch('B'), Device::ch('C'), down(13), up(13), kSync};
    const Events upperHigh = {up(16), Device::ch(0xC9), Device::ch(0x9F), Device::ch(0x8A),
                              Device::ch(0xDF)};
    const Case cases[] = {
        {"", "ab", false, false, true, {Device::ch('a'), Device::ch('b'), kSync}, ""},
        {"", "ab", false, false, false, {Device::ch('a'), Device::ch('b')}, ""},
        // The API switch takes the player, which never syncs.
        {"", "ab", true, false, true, {down(65), up(65), down(66), up(66)}, ""},
        {"{WinDesk}abc", "x", false, false, true, {down(88), up(88)}, "API"},
        {"", "{StartWin}", false, false, true, ctrlEsc, "API"},
        {"", "{StartWin}a{StartWin}{WinDesk}{WinDesk}", false, false, true, twice, "API"},
        {"{WinDesk}", "{WinCur}", false, false, false, {}, "CUR"},
        {"{WinDesk}", "{WinCur}x", false, false, true, {Device::ch('x'), kSync}, "CUR"},
        // {WinCur} loses to the other tokens but is removed all the same.
        {"", "{WinCur}x{WinDesk}", false, false, true, {down(88), up(88)}, "API"},
        {"", "abc{enter}", false, true, true, upperAbc, ""},
        {"", "\xe9\xff\x9a\xdf", false, true, false, upperHigh, ""},
        {"{WinDesk}", "a", false, true, true, {down(65), up(65)}, "API"},
    };
    for (const Case& c : cases) {
        KeyDispatch fresh{device, clock};
        std::string earlier = c.earlier;
        if (!earlier.empty()) fresh.SEND_TO_KB(earlier, true, false, false);
        device.clear();
        std::string keys = c.keys;
        fresh.SEND_TO_KB(keys, c.wait, c.apiKb, c.upper);
        EXPECT_EQ(device.events(), c.events) << c.earlier << " then " << c.keys;
        EXPECT_EQ(fresh.modeTag(), c.tag) << c.earlier << " then " << c.keys;
    }
}

// Tokens are case-sensitive: "{windesk}" is invalid notation. Invalid notation types
// nothing but the Shift release that precedes upper-case text; device failures reach
// the caller on both paths with no key left down.
TEST_F(KeyDispatchTest, InvalidNotationAndDeviceFailuresReachTheCaller) {
    EXPECT_THROW(send("{windesk}"), KeyNotationError);
    EXPECT_EQ(dispatch.modeTag(), "");
    EXPECT_THROW(send("abc{NOPE}"), KeyNotationError);
    EXPECT_THROW(send("abc{NOPE}", false, true), KeyNotationError);
    EXPECT_EQ(device.events(), (Events{Device::up(16)}));
    device.failAfter(1);
    EXPECT_THROW(send("+ab"), std::runtime_error);
    EXPECT_TRUE(device.keysDown().empty());
    device.failAfter(1);
    EXPECT_THROW(send("+ab", true), std::runtime_error);
    EXPECT_TRUE(device.keysDown().empty());
}

// Keys refused part-way (a locked screen): the piece is typed again later from where
// it stopped, on both paths. Nothing goes twice, a Shift held at that point is pressed
// again, and the player does not wait again for the events that went in.
TEST_F(KeyDispatchTest, ARefusedPieceResumesAfterTheEventsThatWentIn) {
    const auto sendRefused = [&](std::string keys, bool apiKb) {
        try {
            dispatch.SEND_TO_KB(keys, true, apiKb, false);
        } catch (const KeysRefused& refused) {
            return refused.eventsDone;
        }
        ADD_FAILURE() << "the keys were not refused";
        return std::size_t(0);
    };
    device.refuseFrom(2);  // Shift and 'a' go in
    const std::size_t done = sendRefused("+(ab)c", false);
    EXPECT_EQ(done, 2u);
    device.acceptAgain();
    std::string keys = "+(ab)c";
    dispatch.SEND_TO_KB(keys, true, false, false, done);
    EXPECT_EQ(device.events(), (Events{Device::down(16), Device::ch('a'), Device::down(16),
                                       Device::ch('b'), Device::up(16), Device::ch('c'), kSync}));

    device.clear();
    device.refuseFrom(3);  // Shift, then A down and up; Shift's release is refused
    EXPECT_EQ(sendRefused("Ab", true), 3u);
    EXPECT_EQ(clock.sleeps.size(), 3u);
    device.acceptAgain();
    device.clear();
    clock.sleeps.clear();
    keys = "Ab";
    dispatch.SEND_TO_KB(keys, true, true, false, 3);
    EXPECT_EQ(device.events(),
              (Events{Device::down(16), Device::up(16), Device::down(66), Device::up(66)}));
    EXPECT_EQ(clock.sleeps.size(), 2u);  // before Shift's release, and inside 'b'
}

}  // namespace
}  // namespace kest
