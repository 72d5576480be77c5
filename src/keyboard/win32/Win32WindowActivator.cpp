#include "keyboard/win32/Win32WindowActivator.h"

#include <algorithm>
#include <cstdio>

#include "keyboard/Cp1252.h"
#include "keyboard/TitleMatch.h"

namespace kest::win32 {

namespace {

// UTF-16 to code points; a lone surrogate stays a unit of its own.
std::u32string decodeUtf16(std::u16string_view title) {
    std::u32string out;
    for (std::size_t i = 0; i < title.size(); ++i) {
        char32_t u = title[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
            title[i + 1] < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (title[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(u);
    }
    return out;
}

}  // namespace

bool Win32WindowActivator::activate(const std::string& title) {
    std::vector<WindowHandle> windows;
    std::vector<std::u32string> titles;
    for (WindowHandle w : api_.topLevelWindows()) {
        if (!api_.isVisible(w) || api_.isCloaked(w)) continue;
        windows.push_back(w);
        titles.push_back(decodeUtf16(api_.windowText(w)));
    }
    std::u32string wanted;
    for (unsigned char c : title) wanted.push_back(cp1252ToUnicode(c));
    const auto chosen = matchTitle(wanted, titles);
    if (!chosen) return false;
    if (bringToFront(windows[*chosen])) return true;
    std::fprintf(stderr, "kest: Windows kept another window in front of \"%s\"\n",
                 cp1252ToUtf8(title).c_str());
    return false;
}

// Windows gives the foreground only to the process that has the user's last input or
// owns the foreground window now; a wedge typing in the background has neither. Each
// way round the lock is tried in turn, from the least intrusive, and the result is
// read back rather than trusted.
bool Win32WindowActivator::bringToFront(WindowHandle window) {
    // A minimised window would come to the front as a button on the task bar only. The
    // restore is posted, not waited for: a hung program cannot hang us.
    if (api_.isMinimised(window)) api_.restore(window);
    if (isForeground(window)) return true;
    if (api_.setForegroundWindow(window) && becomesForeground(window)) return true;
    if (tryAttached(window)) return true;
    return tryAfterInput(window);
}

// The window of another thread comes to the front when that thread has taken the
// change, a moment after SetForegroundWindow returned: read back at once, the old
// window would still be there, and the next way round the lock would be tried for
// nothing (the Alt taps then going into the window that was already on its way).
bool Win32WindowActivator::becomesForeground(WindowHandle window) {
    for (unsigned waited = 0;; waited += kForegroundPollMs) {
        if (isForeground(window)) return true;
        if (waited >= kForegroundWaitMs) return false;
        api_.sleepMs(kForegroundPollMs);
    }
}

// With our input attached to the foreground window's thread, Windows treats us as
// part of the program in front, which may hand the foreground on.
bool Win32WindowActivator::tryAttached(WindowHandle window) {
    const ThreadId self = api_.currentThread();
    const WindowHandle foreground = api_.foregroundWindow();
    std::vector<ThreadId> attached;
    const ThreadId foregroundThread = foreground ? api_.windowThread(foreground) : 0;
    for (ThreadId other : {foregroundThread, api_.windowThread(window)}) {
        if (other == 0 || other == self) continue;
        if (std::find(attached.begin(), attached.end(), other) != attached.end()) continue;
        if (api_.attachThreadInput(self, other, true)) attached.push_back(other);
    }
    api_.bringToTop(window);
    const bool asked = api_.setForegroundWindow(window);
    // Left attached, the two threads would share one input state for good.
    for (auto it = attached.rbegin(); it != attached.rend(); ++it)
        api_.attachThreadInput(self, *it, false);
    return asked ? becomesForeground(window) : isForeground(window);
}

// Input we send counts as the user's last input. Alt is tapped twice: one tap alone
// would open the menu bar of the window in front.
bool Win32WindowActivator::tryAfterInput(WindowHandle window) {
    const std::uint16_t scan =
        static_cast<std::uint16_t>(api_.mapVirtualKey(kVkMenu, kMapVkToScan, 0));
    const KeyInput down{kVkMenu, scan, 0};
    const KeyInput up{kVkMenu, scan, kEventKeyUp};
    const std::vector<KeyInput> taps{down, up, down, up};
    if (api_.sendInput(taps) != taps.size()) {
        // Alt may be down now; a stuck Alt turns every key typed next into a command.
        api_.sendInput({up});
        return false;
    }
    return api_.setForegroundWindow(window) ? becomesForeground(window) : isForeground(window);
}

}  // namespace kest::win32
