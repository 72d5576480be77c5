#pragma once
// Runs cleanups when SIGINT or SIGTERM arrives, then lets the signal do what it would
// have done. The handler itself only writes to a pipe; the cleanups run on a thread
// of their own, where taking locks and talking to the X server is allowed.

#include <functional>

namespace kest::x11 {

class SignalCleanup {
  public:
    // Returns an id for remove(). The first call installs the handlers.
    static int add(std::function<void()> cleanup);
    static void remove(int id);
};

}  // namespace kest::x11
