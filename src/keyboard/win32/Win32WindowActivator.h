#pragma once
// Window activation by title on Windows: the top-level windows that are shown (visible
// and not cloaked) and their titles, brought to the front past the foreground lock.

#include <string>

#include "keyboard/WindowActivator.h"
#include "keyboard/win32/Win32Api.h"

namespace kest::win32 {

class Win32WindowActivator final : public WindowActivator {
  public:
    // api must outlive the activator.
    explicit Win32WindowActivator(Win32Api& api) : api_(api) {}

    // False also when the window was found but Windows kept another one in front.
    bool activate(const std::string& title) override;

  private:
    static constexpr unsigned kForegroundWaitMs = 200;
    static constexpr unsigned kForegroundPollMs = 10;

    bool bringToFront(WindowHandle window);
    bool becomesForeground(WindowHandle window);
    bool tryAttached(WindowHandle window);
    bool tryAfterInput(WindowHandle window);
    bool isForeground(WindowHandle window) { return api_.foregroundWindow() == window; }

    Win32Api& api_;
};

}  // namespace kest::win32
