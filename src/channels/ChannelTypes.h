#pragma once
// What the channels share with the window that shows them.

#include <stdexcept>

namespace kest {

// A synchronous failure of a component call (open, listen, send ...). Callers that
// are told to ignore such a failure still catch it at that one statement.
class ComponentError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The colour a control shows for a channel's state; the window maps the roles to its
// colours (VERT, ROUGE, button face) so that the channels know nothing of widgets.
enum class StatusRole {
    Ordinary,  // the control's own colour: nothing has been tried yet
    Success,   // VERT: open, connected, present
    Failure,   // ROUGE: failed, closed, error
    Neutral,   // button face: nothing configured, not found
};

}  // namespace kest
