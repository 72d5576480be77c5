#pragma once
// A stand-in for the user32 calls with just enough of Windows behind it to check the
// backend by its effect: layouts that turn key events into characters as Windows'
// own tables do (Caps Lock, AltGr, dead keys, Ctrl+letter), windows with titles, and
// a foreground lock that refuses until one of the usual ways round it is taken.

#include <bitset>
#include <map>
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
};

enum class ForegroundLock { None, UnlessAttached, UnlessOurInput, Always };

class FakeWin32Api final : public Win32Api {
  public:
    static constexpr ThreadId kSelf = 1;

    FakeWin32Api();
    void addLayout(FakeLayout layout) { layouts_[layout.handle] = std::move(layout); }

    // What the program in front read as characters, and every event taken.
    std::u16string received;
    std::vector<KeyInput> sent;
    std::bitset<256> down;
    bool capsLock = false;
    // The next SendInput takes only this many events (negative: all).
    int acceptNext = -1;

    std::vector<FakeWindow> windows;
    std::map<ThreadId, LayoutHandle> threadLayouts;
    WindowHandle foreground = 0;
    ForegroundLock lock = ForegroundLock::None;
    std::set<ThreadId> attached;
    int foregroundRequests = 0;

    unsigned sendInput(const std::vector<KeyInput>& events) override;
    LayoutHandle keyboardLayout(ThreadId thread) override;
    std::int16_t vkKeyScan(char16_t c, LayoutHandle layout) override;
    std::uint32_t mapVirtualKey(std::uint32_t code, std::uint32_t mapType,
                                LayoutHandle layout) override;
    bool isDeadKey(std::uint8_t vk, unsigned mods, LayoutHandle layout) override;
    bool isToggled(std::uint8_t vk) override { return vk == kVkCapital && capsLock; }

    std::vector<WindowHandle> topLevelWindows() override;
    bool isVisible(WindowHandle window) override { return find(window).visible; }
    bool isMinimised(WindowHandle window) override { return find(window).minimised; }
    std::u16string windowText(WindowHandle window) override { return find(window).title; }
    WindowHandle foregroundWindow() override { return foreground; }
    bool setForegroundWindow(WindowHandle window) override;
    void restore(WindowHandle window) override { find(window).minimised = false; }
    void bringToTop(WindowHandle) override {}
    ThreadId windowThread(WindowHandle window) override { return find(window).thread; }
    ThreadId currentThread() override { return kSelf; }
    bool attachThreadInput(ThreadId from, ThreadId to, bool attach) override;

  private:
    FakeWindow& find(WindowHandle window);
    void take(const KeyInput& e);
    void keyDown(std::uint8_t vk);
    const FakeLayout& frontLayout();

    std::map<LayoutHandle, FakeLayout> layouts_;
    bool ourInputLast_ = false;
};

}  // namespace kest::win32::testing
