// The keyboard backend the program opens at start, where it cannot open one. That it
// opens the X11 keyboard on a reachable display, keys and activation, every test of the
// whole program shows (ProgramTest types through it into xterm).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/KeyboardBackend.h"

namespace kest {
namespace {

std::string failureOf(const char* displayName) {
    try {
        openKeyboardBackend(displayName);
    } catch (const KeyboardBackendError& e) {
        return e.what();
    }
    return "<opened>";
}

// Catches a start without a display that crashes or says nothing useful.
TEST(KeyboardBackendChoice, ExplainsWhyWhenNoDisplayCanBeOpened) {
    EXPECT_NE(failureOf(":65000").find("cannot open the X display \":65000\""), std::string::npos)
        << failureOf(":65000");
    const char* saved = std::getenv("DISPLAY");
    const std::string keep = saved ? saved : "";
    unsetenv("DISPLAY");
    const std::string noDisplay = failureOf(nullptr);
    if (saved) setenv("DISPLAY", keep.c_str(), 1);
    EXPECT_NE(noDisplay.find("DISPLAY is not set"), std::string::npos) << noDisplay;
}

}  // namespace
}  // namespace kest
