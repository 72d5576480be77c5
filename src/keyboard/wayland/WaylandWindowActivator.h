#pragma once
// Window activation by title on wlroots compositors, through the foreign-toplevel list
// (zwlr_foreign_toplevel_manager_v1). Titles are matched as on every platform.

#include <memory>
#include <string>

#include "keyboard/WindowActivator.h"
#include "keyboard/wayland/WaylandConnection.h"

namespace kest::wayland {

class WaylandWindowActivator final : public WindowActivator {
  public:
    // Connects (nullptr: $WAYLAND_DISPLAY). Throws DeviceError when the compositor
    // offers no toplevel list or no seat.
    explicit WaylandWindowActivator(const char* displayName = nullptr);

    bool activate(const std::string& title) override;

  private:
    std::string displayName_;
    bool hasDisplayName_ = false;
    // Made anew for the next activation when the compositor closed it.
    std::unique_ptr<WaylandConnection> connection_;
};

}  // namespace kest::wayland
