// Every character exact in the programs people type into: xterm, a GTK 3 text view,
// a Tk text widget and a Qt 6 plain-text edit, each fed the same texts through
// SendKeys on the XTest keyboard.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/support/TextReceivers.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace kest::e2e {
namespace {

class ReceiverMatrix : public ::testing::TestWithParam<ReceiverKind> {
  protected:
    void SetUp() override {
        receiver = std::make_unique<TextReceiver>(display, GetParam(), "Kest Receiver");
        ASSERT_TRUE(receiver->focus());
        device = std::make_unique<x11::XTestKeyboardDevice>(display.name().c_str());
    }

    // Types the texts one after another and checks what arrived after each.
    void typeAndCheck(const std::vector<std::string>& texts) {
        std::string expected;
        for (const auto& text : texts) {
            SendKeys(literalKeyNotation(text), true, *device);
            expected += cp1252ToUtf8(text);
            ASSERT_TRUE(receiver->waitForText(expected)) << receiverName(GetParam()) << " got:\n"
                                                         << receiver->received() << "\nwanted:\n"
                                                         << expected;
        }
        EXPECT_TRUE(keysDown(display.name()).empty());
    }

    PrivateDisplay display;
    std::unique_ptr<TextReceiver> receiver;
    std::unique_ptr<x11::XTestKeyboardDevice> device;
};

TEST_P(ReceiverMatrix, EveryCharacterArrivesExactly) {
    // Accented words first (a few spare keycodes), then twice every character: more
    // characters than spare keycodes, bound in two different orders.
    typeAndCheck(
        {"d\xE9j\xE0 \xFC"
         "ber Stra\xDF"
         "e ma\xF1"
         "ana 10\x80 ",
         printableCp1252(1), printableCp1252(2)});
}

INSTANTIATE_TEST_SUITE_P(Receivers, ReceiverMatrix,
                         ::testing::Values(ReceiverKind::Xterm, ReceiverKind::Gtk, ReceiverKind::Tk,
                                           ReceiverKind::Qt),
                         [](const auto& info) { return std::string(receiverName(info.param)); });

}  // namespace
}  // namespace kest::e2e
