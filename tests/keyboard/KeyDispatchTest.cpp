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

// The two paths leave different traces on the recorder: SendKeys types characters
// through the layout and syncs when asked to wait; the player only sends raw key
// events, with pauses on the clock.
class KeyDispatchTest : public ::testing::Test {
  protected:
    std::string send(std::string keys, bool apiKb = false, bool upper = false, bool wait = true) {
        dispatch.SEND_TO_KB(keys, wait, apiKb, upper);
        return keys;
    }
    bool wentThroughPlayer() const {
        for (const Ev& e : device.events()) {
            if (e.kind == Ev::Kind::Char || e.kind == Ev::Kind::Sync) return false;
        }
        return !device.events().empty();
    }

    Device device;
    test::FakeClock clock;
    KeyDispatch dispatch{device, clock};
};

TEST_F(KeyDispatchTest, StartsOnSendKeysWithAnEmptyTag) {
    EXPECT_EQ(dispatch.modeTag(), "");
    send("ab");
    EXPECT_EQ(device.events(), (Events{Device::ch('a'), Device::ch('b'), kSync}));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(KeyDispatchTest, WaitFlagIsHandedToSendKeys) {
    send("ab", false, false, false);
    EXPECT_EQ(device.events(), (Events{Device::ch('a'), Device::ch('b')}));
}

TEST_F(KeyDispatchTest, WinDeskSwitchesToThePlayerForGood) {
    EXPECT_EQ(send("{WinDesk}abc"), "abc");
    EXPECT_EQ(dispatch.modeTag(), "API");
    EXPECT_TRUE(wentThroughPlayer());
    device.clear();
    send("xyz");
    EXPECT_TRUE(wentThroughPlayer());
    EXPECT_EQ(device.events().size(), 6u);
    EXPECT_EQ(dispatch.modeTag(), "API");
}

TEST_F(KeyDispatchTest, StartWinPressesCtrlEscThroughThePlayer) {
    send("{StartWin}");
    EXPECT_EQ(dispatch.modeTag(), "API");
    EXPECT_EQ(device.events(),
              (Events{Device::down(17), Device::down(27), Device::up(27), Device::up(17)}));
}

TEST_F(KeyDispatchTest, EveryTokenOccurrenceIsReplaced) {
    send("{StartWin}a{StartWin}{WinDesk}{WinDesk}");
    EXPECT_EQ(device.events(),
              (Events{Device::down(17), Device::down(27), Device::up(27), Device::up(17),
                      Device::down(65), Device::up(65), Device::down(17), Device::down(27),
                      Device::up(27), Device::up(17)}));
}

TEST_F(KeyDispatchTest, WinCurAloneSetsCurAndTypesNothing) {
    send("{WinDesk}");
    EXPECT_EQ(send("{WinCur}", false, false, false), "");
    EXPECT_EQ(dispatch.modeTag(), "CUR");
    EXPECT_TRUE(device.events().empty());
}

TEST_F(KeyDispatchTest, WinCurTextGoesThroughSendKeys) {
    EXPECT_EQ(send("{WinCur}abc"), "abc");
    EXPECT_EQ(dispatch.modeTag(), "CUR");
    EXPECT_EQ(device.typedText(), "abc");
}

TEST_F(KeyDispatchTest, WinCurLosesToTheOtherTokensButIsRemoved) {
    EXPECT_EQ(send("{WinCur}x{WinDesk}"), "x");
    EXPECT_EQ(dispatch.modeTag(), "API");
    EXPECT_TRUE(wentThroughPlayer());
}

TEST_F(KeyDispatchTest, CurBringsBackSendKeysAfterApi) {
    send("{WinDesk}");
    device.clear();
    send("{WinCur}x");
    EXPECT_EQ(device.events(), (Events{Device::ch('x'), kSync}));
}

TEST_F(KeyDispatchTest, ApiSwitchUsesThePlayerAndIgnoresWait) {
    send("ab", true, false, true);
    EXPECT_EQ(device.events(),
              (Events{Device::down(65), Device::up(65), Device::down(66), Device::up(66)}));
    EXPECT_EQ(dispatch.modeTag(), "");
}

TEST_F(KeyDispatchTest, UpperReleasesShiftThenSendsTheUpperCasedText) {
    send("abc{enter}", false, true);
    EXPECT_EQ(device.events(), (Events{Device::up(16), Device::ch('A'), Device::ch('B'),
                                       Device::ch('C'), Device::down(13), Device::up(13), kSync}));
}

TEST_F(KeyDispatchTest, UpperCoversTheWindows1252Letters) {
    send("\xe9\xff\x9a\xdf", false, true);
    EXPECT_EQ(device.typedText(), "\xc9\x9f\x8a\xdf");
}

TEST_F(KeyDispatchTest, UpperHasNoEffectOnThePlayer) {
    send("{WinDesk}a", false, true);
    EXPECT_EQ(device.events(), (Events{Device::down(65), Device::up(65)}));
}

TEST_F(KeyDispatchTest, TokensAreCaseSensitive) {
    EXPECT_THROW(send("{windesk}"), KeyNotationError);
    EXPECT_EQ(dispatch.modeTag(), "");
    EXPECT_TRUE(device.events().empty());
}

TEST_F(KeyDispatchTest, InvalidNotationTypesNothingAndReachesTheCaller) {
    EXPECT_THROW(send("abc{NOPE}"), KeyNotationError);
    EXPECT_THROW(send("abc{NOPE}", false, true), KeyNotationError);
    // Only the Shift release that precedes upper-case text.
    EXPECT_EQ(device.events(), (Events{Device::up(16)}));
}

TEST_F(KeyDispatchTest, DeviceFailureReachesTheCallerOnBothPaths) {
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
