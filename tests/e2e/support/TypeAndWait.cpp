// kest_type_and_wait TEXT: types TEXT (key notation, Windows-1252) on $DISPLAY, says
// "typed N" (N: spare keycodes bound) and waits for a signal, so a test can end it
// the way a user or a service manager would.

#include <unistd.h>

#include <cstdio>
#include <exception>

#include "keyboard/KeyNotation.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kest_type_and_wait TEXT\n");
        return 2;
    }
    try {
        kest::x11::XTestKeyboardDevice device;
        kest::SendKeys(argv[1], true, device);
        std::printf("typed %zu\n", device.boundSpareKeys());
        std::fflush(stdout);
        for (;;) pause();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kest_type_and_wait: %s\n", e.what());
        return 1;
    }
}
