#pragma once
// Xlib's default error handler ends the program. A keyboard wedge that runs for days
// must survive a window closing under it or a keymap request being refused, so
// errors are logged and counted instead, and callers check the count.

#include <stdexcept>

namespace kest::x11 {

// The display, or something the program needs of it, is missing. The message is fit
// for the user.
class DeviceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Installs the handler once per process; safe to call again.
void installErrorHandler();

// The number of X protocol errors seen so far in this process.
unsigned long errorCount();

}  // namespace kest::x11
