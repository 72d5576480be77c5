#pragma once
// Bring a top-level window to the front by its title and give it the focus.

#include <optional>
#include <string>

namespace kest {

class WindowActivator {
  public:
    virtual ~WindowActivator() = default;
    // title is Windows-1252 text. A title equal to it (letter case ignored) wins, else
    // one that begins with it. Returns false, silently, when none matches.
    virtual bool activate(const std::string& title) = 0;
    // Whether activate(title) would find a window now, without activating it; nothing
    // where the platform cannot tell.
    virtual std::optional<bool> windowExists(const std::string& /*title*/) { return std::nullopt; }
};

}  // namespace kest
