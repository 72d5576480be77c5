// Window activation by title, with a window manager (openbox) and without one. The
// proof of activation is where the next keys land.

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "e2e/support/E2eHarness.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/x11/X11WindowActivator.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace kest::e2e {
namespace {

class Activation : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam()) wm = std::make_unique<WindowManager>(display);
        orders = std::make_unique<Recorder>(display, "Orders", false);
        ordersEntry = std::make_unique<Recorder>(display, "Orders Entry \xC3\xA9t\xC3\xA9", false);
        other = std::make_unique<Recorder>(display, "Other");
        device = std::make_unique<x11::XTestKeyboardDevice>(display.name().c_str());
        activator = std::make_unique<x11::X11WindowActivator>(display.name().c_str());
    }

    // Types a marker and reports which recorder got it.
    Recorder* receiverOfKeys(const std::string& marker) {
        for (auto* r : {orders.get(), ordersEntry.get(), other.get()}) r->clear();
        SendKeys(marker, true, *device);
        Recorder* got = nullptr;
        waitUntil([&] {
            for (auto* r : {orders.get(), ordersEntry.get(), other.get()}) {
                if (r->text() == marker) got = r;
            }
            return got != nullptr;
        });
        return got;
    }

    PrivateDisplay display;
    std::unique_ptr<WindowManager> wm;
    std::unique_ptr<Recorder> orders, ordersEntry, other;
    std::unique_ptr<x11::XTestKeyboardDevice> device;
    std::unique_ptr<x11::X11WindowActivator> activator;
};

// Catches a window found but not given the keys (or given them late), a title read
// wrongly (UTF-8 names, Windows-1252 titles), and the focus moved by a title that
// matches nothing or by the rule tester's question whether a window exists. Which
// title wins is the shared matching's, checked by its unit test.
TEST_P(Activation, TheKeysFollowTheWindowFoundByItsTitleAndNothingElse) {
    ASSERT_EQ(receiverOfKeys("a"), other.get());
    EXPECT_FALSE(activator->activate("Invoices"));
    EXPECT_EQ(activator->windowExists("oRDERS"), std::optional(true));
    EXPECT_EQ(activator->windowExists("Invoices"), std::optional(false));
    EXPECT_EQ(receiverOfKeys("b"), other.get());
    // Keys typed at once after the activation must reach the window found.
    EXPECT_TRUE(activator->activate("Orders entry \xE9"));
    EXPECT_EQ(receiverOfKeys("y"), ordersEntry.get());
    EXPECT_TRUE(activator->activate("oRDERS"));
    EXPECT_EQ(receiverOfKeys("x"), orders.get());
}

INSTANTIATE_TEST_SUITE_P(WindowManager, Activation, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "Openbox" : "NoWindowManager";
                         });

}  // namespace
}  // namespace kest::e2e
