#pragma once
// A stand-in for the user32 calls with just enough of Windows behind it to check the
// backend by its effect: layouts that turn key events into characters as Windows'
// own tables do (Caps Lock, AltGr, dead keys, Ctrl+letter, "press Shift to turn off
// Caps Lock"), windows with titles, processes and their integrity levels, a foreground
// lock that refuses until one of the usual ways round it is taken, a foreground that
// changes a moment after it was asked for, and input that a locked screen refuses.

#include <bitset>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "keyboard/win32/Win32Api.h"

namespace kest::win32::testing {

struct FakeKey {
    char16_t ch;
    std::uint8_t vk;
    unsigned mods = 0;  // VkKeyScan shift state
    bool dead = false;
};

struct FakeLayout {
    LayoutHandle handle;
    std::vector<FakeKey> keys;
    std::map<std::uint8_t, std::uint16_t> scans;
};

FakeLayout usLayout();
FakeLayout germanLayout();

struct FakeWindow {
    WindowHandle handle;
    std::u16string title;
    ThreadId thread;
    bool visible = true;
    bool minimised = false;
    ProcessId process = 0;  // not ours; of medium integrity unless the test says otherwise
    bool cloaked = false;
};

enum class ForegroundLock { None, UnlessAttached, UnlessOurInput, Always };

class FakeWin32Api final : public Win32Api {
  public:
    static constexpr ThreadId kSelf = 1;
    static constexpr ProcessId kOwnProcess = 1;

    // What the program in front read as characters, and every event taken.
    std::u16string received;
    std::vector<KeyInput> sent;
    std::bitset<256> down;
    bool capsLock = false;
    // "Press Shift to turn off Caps Lock": Shift turns it off, Caps Lock only on.
    bool shiftLock = false;
    // What our own thread believes of Caps Lock while we are not in front; nothing:
    // the same as the focus thread.
    std::optional<bool> ownCapsView;
    // The next SendInput takes only this many events (negative: all).
    int acceptNext = -1;
    // Input is refused as on a locked screen.
    bool locked = false;

    std::vector<FakeWindow> windows;
    std::map<ThreadId, LayoutHandle> threadLayouts{{kSelf, usLayout().handle}};
    WindowHandle foreground = 0;
    // The window with the keyboard focus when it is not the one in front.
    WindowHandle focus = 0;
    std::map<ProcessId, std::optional<std::uint32_t>> integrity{{kOwnProcess, kIntegrityMedium}};
    // SetForegroundWindow of another thread's window takes effect only after this long.
    unsigned foregroundDelayMs = 0;
    unsigned slept = 0;
    ForegroundLock lock = ForegroundLock::None;
    std::set<ThreadId> attached;

    unsigned sendInput(const std::vector<KeyInput>& events) override;
    LayoutHandle keyboardLayout(ThreadId thread) override;
    std::int16_t vkKeyScan(char16_t c, LayoutHandle layout) override;
    std::uint32_t mapVirtualKey(std::uint32_t code, std::uint32_t mapType,
                                LayoutHandle layout) override;
    KeyText keyText(std::uint8_t vk, unsigned mods, bool capsLock, LayoutHandle layout) override;
    bool isToggled(std::uint8_t vk, ThreadId thread) override;
    bool shiftTurnsCapsLockOff() override { return shiftLock; }
    WindowHandle focusWindow() override { return focus ? focus : foregroundWindow(); }
    ProcessId windowProcess(WindowHandle window) override { return find(window).process; }
    ProcessId currentProcess() override { return kOwnProcess; }
    std::optional<std::uint32_t> processIntegrity(ProcessId process) override;

    std::vector<WindowHandle> topLevelWindows() override;
    bool isVisible(WindowHandle window) override { return find(window).visible; }
    bool isMinimised(WindowHandle window) override { return find(window).minimised; }
    bool isCloaked(WindowHandle window) override { return find(window).cloaked; }
    std::u16string windowText(WindowHandle window) override { return find(window).title; }
    WindowHandle foregroundWindow() override;
    bool setForegroundWindow(WindowHandle window) override;
    void restore(WindowHandle window) override { find(window).minimised = false; }
    void bringToTop(WindowHandle) override {}
    ThreadId windowThread(WindowHandle window) override { return find(window).thread; }
    ThreadId currentThread() override { return kSelf; }
    bool attachThreadInput(ThreadId from, ThreadId to, bool attach) override;
    void sleepMs(unsigned milliseconds) override { slept += milliseconds; }

  private:
    FakeWindow& find(WindowHandle window);
    void take(const KeyInput& e);
    void keyDown(std::uint8_t vk);

    std::map<LayoutHandle, FakeLayout> layouts_{{usLayout().handle, usLayout()},
                                                {germanLayout().handle, germanLayout()}};
    bool ourInputLast_ = false;
    WindowHandle pendingForeground_ = 0;
    unsigned pendingAt_ = 0;
};

}  // namespace kest::win32::testing
