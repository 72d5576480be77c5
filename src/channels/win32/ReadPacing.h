#pragma once
// When the serial worker reads next, and when it gives a device up. Plain C++, built
// everywhere, so that it is tested on Linux; the worker (Windows only) asks it after
// every read that ended.
//
// An idle port costs nothing: a read waits for its timeout and the next one follows.
// After every read that brought nothing the worker asks the driver whether the device
// still answers (ClearCommError, GetCommModemStatus): an adapter that was pulled out
// fails there, and is reported gone once. A driver that ends reads at once with
// nothing (some USB adapters after a line error, or for good) is neither taken for
// gone nor asked in a loop that never sleeps: the worker waits longer and longer
// between such reads.

#include <functional>
#include <optional>

namespace kest::win32 {

class ReadPacing {
  public:
    static constexpr unsigned kFirstPauseMs = 20;
    static constexpr unsigned kLongestPauseMs = 1000;

    // A read brought bytes: the next one goes at once.
    void gotData() { pauseMs_ = 0; }
    // A read brought nothing; endedAtOnce when it did not wait for its timeout (or was
    // aborted by the driver). deviceAnswers asks the driver. Returns how long to wait
    // before the next read, or nothing when the device is gone.
    std::optional<unsigned> gotNothing(bool endedAtOnce,
                                       const std::function<bool()>& deviceAnswers);

  private:
    unsigned pauseMs_ = 0;
};

}  // namespace kest::win32
