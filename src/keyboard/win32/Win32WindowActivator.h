#pragma once
// Window activation by title on Windows: the visible top-level windows and their
// titles, brought to the front past the foreground lock.

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
    bool bringToFront(WindowHandle window);
    bool tryAttached(WindowHandle window);
    bool tryAfterInput(WindowHandle window);
    bool isForeground(WindowHandle window) { return api_.foregroundWindow() == window; }

    Win32Api& api_;
};

}  // namespace kest::win32
