#pragma once
// INP_PASS_Change's decision: which access code the password field holds, and the
// window heights of the two forms of the window.

#include <string_view>

namespace kest {

inline constexpr const char* kAccessCodeOpen = "OPEN.THE.PANEL";
inline constexpr const char* kAccessCodeUnlock = "UNLOCK CFG";
inline constexpr const char* kEndCommand = "END";

// Outer window height added below FR_MAIN when unlocked, and below INP_PASS's top
// when locked, in twips.
inline constexpr int kUnlockedMarginTwips = 400;
inline constexpr int kLockedHeightTwips = 1050;

struct LockDecision {
    bool unlock = false;  // show FR_MAIN; otherwise hide it and save
    bool end = false;     // end the program after the lock
};

// The field's text is compared in upper case, with no blanks trimmed.
LockDecision decideLock(std::string_view passText);

int unlockedHeightTwips(int frameTop, int frameHeight);
int lockedHeightTwips(int passTop);

}  // namespace kest
