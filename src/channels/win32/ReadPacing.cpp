#include "channels/win32/ReadPacing.h"

#include <algorithm>

namespace kest::win32 {

std::optional<unsigned> ReadPacing::gotNothing(bool endedAtOnce,
                                               const std::function<bool()>& deviceAnswers) {
    if (!deviceAnswers()) return std::nullopt;
    if (!endedAtOnce) {
        // The read waited its timeout: the port is idle, and the waiting was done.
        pauseMs_ = 0;
        return 0u;
    }
    pauseMs_ = pauseMs_ == 0 ? kFirstPauseMs : std::min(pauseMs_ * 2, kLongestPauseMs);
    return pauseMs_;
}

}  // namespace kest::win32
