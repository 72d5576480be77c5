// Every character exact in the programs people type into: xterm, a GTK 3 text view,
// a Tk text widget and a Qt 6 plain-text edit, each fed the same texts through
// SendKeys on the XTest keyboard.

#include <gtest/gtest.h>

#include <string>

#include "e2e/support/TextReceivers.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace kest::e2e {
namespace {

class ReceiverMatrix : public ::testing::TestWithParam<ReceiverKind> {};

// Catches a character a toolkit gets wrong or loses: accented words first (a few spare
// keycodes), then twice every character, more than there are spare keycodes, bound in
// two different orders.
TEST_P(ReceiverMatrix, EveryCharacterArrivesExactly) {
    PrivateDisplay display;
    TextReceiver receiver(display, GetParam(), "Kest Receiver");
    ASSERT_TRUE(receiver.focus());
    x11::XTestKeyboardDevice device(display.name().c_str());
    const std::string words =
        "d\xE9j\xE0 \xFC"
        "ber Stra\xDF"
        "e ma\xF1"
        "ana 10\x80 ";
    EXPECT_EQ(typeEachText(device, receiver, {words, printableCp1252(1), printableCp1252(2)}), "");
    EXPECT_TRUE(keysDown(display.name()).empty());
}

INSTANTIATE_TEST_SUITE_P(Receivers, ReceiverMatrix,
                         ::testing::Values(ReceiverKind::Xterm, ReceiverKind::Gtk, ReceiverKind::Tk,
                                           ReceiverKind::Qt),
                         [](const auto& info) { return std::string(receiverName(info.param)); });

}  // namespace
}  // namespace kest::e2e
