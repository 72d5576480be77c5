// The keyboard backend the program opens at start.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/KeyboardBackend.h"
#include "e2e/support/E2eHarness.h"
#include "keyboard/KeyNotation.h"

namespace kest::e2e {
namespace {

TEST(KeyboardBackendChoice, OpensTheX11KeyboardOnAReachableDisplay) {
    PrivateDisplay display;
    Recorder recorder(display, "Backend");
    KeyboardBackend backend = openKeyboardBackend(display.name().c_str());
    ASSERT_TRUE(backend.device && backend.activator);
    SendKeys("ok", true, *backend.device);
    EXPECT_TRUE(recorder.waitForText("ok"));
    EXPECT_TRUE(backend.activator->activate("backend"));
}

TEST(KeyboardBackendChoice, ExplainsWhyWhenNoDisplayCanBeOpened) {
    try {
        openKeyboardBackend(":65000");
        FAIL() << "a display that does not exist was opened";
    } catch (const KeyboardBackendError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot open the X display \":65000\""),
                  std::string::npos)
            << e.what();
    }
    const char* saved = std::getenv("DISPLAY");
    const std::string keep = saved ? saved : "";
    unsetenv("DISPLAY");
    try {
        openKeyboardBackend();
        FAIL() << "opened a keyboard without DISPLAY";
    } catch (const KeyboardBackendError& e) {
        EXPECT_NE(std::string(e.what()).find("DISPLAY is not set"), std::string::npos) << e.what();
    }
    if (saved) setenv("DISPLAY", keep.c_str(), 1);
}

}  // namespace
}  // namespace kest::e2e
