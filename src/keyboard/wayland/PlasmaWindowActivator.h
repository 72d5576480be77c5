#pragma once
// Window activation by title on KDE Plasma, through KWin's window list
// (org_kde_plasma_window_management), which KWin grants to programs whose desktop
// entry asks for it. Titles are matched as on every platform.

#include <memory>
#include <string>

#include "keyboard/WindowActivator.h"
#include "keyboard/wayland/WaylandConnection.h"

namespace kest::wayland {

class PlasmaWindowActivator final : public WindowActivator {
  public:
    // Connects (nullptr: $WAYLAND_DISPLAY). Throws DeviceError when KWin does not offer
    // its window list to this program.
    explicit PlasmaWindowActivator(const char* displayName = nullptr);

    bool activate(const std::string& title) override;
    std::optional<bool> windowExists(const std::string& title) override;

  private:
    // Finds the window and, with activate, brings it to the front; nothing when the
    // compositor could not be asked.
    std::optional<bool> find(const std::string& title, bool activate);

    std::string displayName_;
    bool hasDisplayName_ = false;
    // Made anew for the next activation when the compositor closed it.
    std::unique_ptr<WaylandConnection> connection_;
};

}  // namespace kest::wayland
