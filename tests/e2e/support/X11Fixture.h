#pragma once
// A private display with a focused recorder and our XTest keyboard on it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/support/E2eHarness.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace kest::e2e {

// Key events as (press?, keysym), the simplest view of a key sequence.
using Seq = std::vector<std::pair<bool, unsigned long>>;
inline std::pair<bool, unsigned long> P(unsigned long keysym) {
    return {true, keysym};
}
inline std::pair<bool, unsigned long> R(unsigned long keysym) {
    return {false, keysym};
}

class X11Fixture : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder = std::make_unique<Recorder>(display, "Kest Recorder");
        device = std::make_unique<x11::XTestKeyboardDevice>(display.name().c_str());
    }

    Seq keySequence() const {
        Seq seq;
        for (const auto& e : recorder->events()) seq.emplace_back(e.press, e.keysym);
        return seq;
    }

    bool waitForEvents(std::size_t count) const {
        return waitForGrowth([&] { return recorder->events().size(); }, count, 10s);
    }

    // Runs a shell command against the private display.
    void run(const std::string& command) const {
        const std::string full = "DISPLAY=" + display.name() + " " + command;
        ASSERT_EQ(std::system(full.c_str()), 0) << full;
    }

    PrivateDisplay display;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<x11::XTestKeyboardDevice> device;
};

}  // namespace kest::e2e
