// The real user32 calls behind Win32Api. The only file of the keyboard backend that
// sees <windows.h>.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "keyboard/win32/Win32Api.h"

namespace kest::win32 {

namespace {

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

HKL toHkl(LayoutHandle layout) {
    return reinterpret_cast<HKL>(layout);
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<WindowHandle>*>(list)->push_back(
        reinterpret_cast<WindowHandle>(window));
    return TRUE;
}

class SystemWin32Api final : public Win32Api {
  public:
    unsigned sendInput(const std::vector<KeyInput>& events) override {
        if (events.empty()) return 0;
        std::vector<INPUT> inputs(events.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            inputs[i].type = INPUT_KEYBOARD;
            inputs[i].ki.wVk = events[i].vk;
            inputs[i].ki.wScan = events[i].scan;
            inputs[i].ki.dwFlags = events[i].flags;
            inputs[i].ki.time = 0;
            inputs[i].ki.dwExtraInfo = 0;
        }
        return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }

    LayoutHandle keyboardLayout(ThreadId thread) override {
        return reinterpret_cast<LayoutHandle>(GetKeyboardLayout(thread));
    }

    std::int16_t vkKeyScan(char16_t c, LayoutHandle layout) override {
        return VkKeyScanExW(static_cast<WCHAR>(c), toHkl(layout));
    }

    std::uint32_t mapVirtualKey(std::uint32_t code, std::uint32_t mapType,
                                LayoutHandle layout) override {
        return MapVirtualKeyExW(code, mapType, toHkl(layout));
    }

    bool isDeadKey(std::uint8_t vk, unsigned mods, LayoutHandle layout) override {
        BYTE state[256] = {};
        const BYTE down = 0x80;
        if (mods & 1) state[VK_SHIFT] = state[VK_LSHIFT] = down;
        if (mods & 2) state[VK_CONTROL] = state[VK_LCONTROL] = down;
        if (mods & 4) state[VK_MENU] = state[VK_RMENU] = down;
        const HKL hkl = toHkl(layout);
        const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, hkl);
        WCHAR out[8];
        // Flag 4 keeps the keyboard state as it is (Windows 10 1607 and later). Older
        // versions leave the dead key pending in this thread's state, which a second
        // call with the same key clears.
        const bool dead = ToUnicodeEx(vk, scan, state, out, 8, 4, hkl) < 0;
        if (dead) ToUnicodeEx(vk, scan, state, out, 8, 4, hkl);
        return dead;
    }

    bool isToggled(std::uint8_t vk) override { return (GetKeyState(vk) & 1) != 0; }

    std::vector<WindowHandle> topLevelWindows() override {
        std::vector<WindowHandle> windows;
        EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
        return windows;
    }

    bool isVisible(WindowHandle window) override { return IsWindowVisible(toHwnd(window)); }

    bool isMinimised(WindowHandle window) override { return IsIconic(toHwnd(window)); }

    // For a window of another process GetWindowTextW reads the title that Windows
    // keeps itself and sends no message, so a hung program cannot hang us here.
    std::u16string windowText(WindowHandle window) override {
        const int length = GetWindowTextLengthW(toHwnd(window));
        if (length <= 0) return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const int copied = GetWindowTextW(toHwnd(window), text.data(), length + 1);
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        return std::u16string(text.begin(), text.end());
    }

    WindowHandle foregroundWindow() override {
        return reinterpret_cast<WindowHandle>(GetForegroundWindow());
    }

    bool setForegroundWindow(WindowHandle window) override {
        return SetForegroundWindow(toHwnd(window));
    }

    void restore(WindowHandle window) override { ShowWindow(toHwnd(window), SW_RESTORE); }

    void bringToTop(WindowHandle window) override { BringWindowToTop(toHwnd(window)); }

    ThreadId windowThread(WindowHandle window) override {
        return GetWindowThreadProcessId(toHwnd(window), nullptr);
    }

    ThreadId currentThread() override { return GetCurrentThreadId(); }

    bool attachThreadInput(ThreadId from, ThreadId to, bool attach) override {
        return AttachThreadInput(from, to, attach ? TRUE : FALSE);
    }
};

}  // namespace

std::unique_ptr<Win32Api> makeSystemWin32Api() {
    return std::make_unique<SystemWin32Api>();
}

}  // namespace kest::win32
