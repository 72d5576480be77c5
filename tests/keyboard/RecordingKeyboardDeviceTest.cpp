#include "keyboard/RecordingKeyboardDevice.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kest {
namespace {

using Device = RecordingKeyboardDevice;

TEST(RecordingKeyboardDevice, FailAfterThrowsOnceOnTheNthCallAndRecordsNothingForIt) {
    Device device;
    device.failAfter(2);
    device.keybdEvent(16, kKeyDown);
    device.typeCharacter('a');
    EXPECT_THROW(device.sync(), std::runtime_error);
    device.typeCharacter('b');
    EXPECT_EQ(device.events(),
              (std::vector<Device::Event>{Device::down(16), Device::ch('a'), Device::ch('b')}));
    EXPECT_EQ(device.typedText(), "ab");

    // Refused from the n-th call on, every call, until accepted again.
    device.refuseFrom(1);
    device.sync();
    for (int call = 0; call < 3; ++call) EXPECT_THROW(device.typeCharacter('c'), KeysRefused);
    device.acceptAgain();
    device.typeCharacter('d');
    EXPECT_EQ(device.typedText(), "abd");
}

TEST(RecordingKeyboardDevice, KeysDownCountsEveryPressAndIgnoresStrayReleases) {
    Device device;
    device.keybdEvent(17, kKeyUp);
    device.keybdEvent(16, kKeyDown);
    device.keybdEvent(17, kKeyDown);
    device.keybdEvent(16, kKeyDown);
    device.keybdEvent(16, kKeyUp);
    EXPECT_EQ(device.keysDown(), (std::vector<std::uint8_t>{16, 17}));
    device.keybdEvent(16, kKeyUp);
    device.keybdEvent(17, kKeyUp);
    EXPECT_TRUE(device.keysDown().empty());
}

}  // namespace
}  // namespace kest
