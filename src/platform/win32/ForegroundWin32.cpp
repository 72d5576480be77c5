#include <windows.h>

#include "platform/Foreground.h"

namespace kest {

void allowAnotherProgramToTakeTheForeground() {
    // The running copy's process is not known here; any process may, for the moment
    // until the user's next input.
    ::AllowSetForegroundWindow(ASFW_ANY);
}

}  // namespace kest
