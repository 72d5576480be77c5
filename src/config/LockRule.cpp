#include "config/LockRule.h"

#include <string>

namespace kest {

namespace {

// The codes are plain ASCII, and no non-ASCII Windows-1252 letter has an ASCII upper
// case, so ASCII upper-casing decides exactly as a full conversion would.
std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

}  // namespace

LockDecision decideLock(std::string_view passText) {
    const std::string t = upperAscii(passText);
    LockDecision decision;
    decision.unlock = t == kAccessCodeUnlock || t == kAccessCodeOpen;
    decision.end = t == kEndCommand;
    return decision;
}

int unlockedHeightTwips(int frameTop, int frameHeight) {
    return frameTop + frameHeight + kUnlockedMarginTwips;
}

int lockedHeightTwips(int passTop) {
    return passTop + kLockedHeightTwips;
}

}  // namespace kest
