#include "keyboard/x11/XErrors.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace kest::x11 {

namespace {

std::atomic<unsigned long> errors{0};

int logError(Display* display, XErrorEvent* event) {
    char text[128] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "kest: X error %s (request %d.%d, resource 0x%lx)\n", text,
                 int(event->request_code), int(event->minor_code), event->resourceid);
    errors.fetch_add(1);
    return 0;
}

}  // namespace

void installErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(logError); });
}

unsigned long errorCount() {
    return errors.load();
}

}  // namespace kest::x11
