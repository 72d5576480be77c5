#pragma once
// Who makes this program and where users find it: the one place for the addresses
// that the links, the help texts and the notification-area tip show.

#include <array>

namespace kest {

inline constexpr const char* kMakerWebAddress = "https://kest-redirect.example.org";
inline constexpr const char* kMakerProductPage =
    "https://kest-redirect.example.org/serial-to-keyboard";
inline constexpr const char* kMakerSupportAddress = "support@kest-redirect.example.org";
// The maker as the notification-area tip names it. The tip holds 63 characters and
// must end with the instance name; the web address would leave room for only 9 of
// them, this leaves room for 30.
inline constexpr const char* kMakerTipText = " by Kest ";

// The service and contact lines at the head of the token reference and at the end
// of the general help.
inline constexpr std::array<const char*, 5> kMakerServiceLines = {
    "Kest Redirect - serial port, TCP and file data typed as keystrokes",
    "Web site: https://kest-redirect.example.org",
    "Updates and manual: https://kest-redirect.example.org/serial-to-keyboard",
    "Technical support: support@kest-redirect.example.org",
    "Custom rules and device set-up on request, see the web site for service plans",
};

}  // namespace kest
