#include "keyboard/RecordingKeyboardDevice.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

using Device = RecordingKeyboardDevice;

// The failure sweeps trust keysDown(); that failAfter() and refuseFrom() work shows in
// the exact event lists of the sweeps' neighbours.
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
