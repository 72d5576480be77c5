// The real user32 (and advapi32, dwmapi) calls behind Win32Api. The only file of the keyboard
// backend that sees <windows.h>.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <dwmapi.h>
#include <windows.h>

#include <algorithm>

#include "keyboard/win32/Win32Api.h"

namespace kest::win32 {

namespace {

// KLLF_SHIFTLOCK of the keyboard layout attributes.
constexpr DWORD kShiftLock = 0x00010000;

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

HKL toHkl(LayoutHandle layout) {
    return reinterpret_cast<HKL>(layout);
}

std::optional<std::uint32_t> tokenIntegrity(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size))
        return std::nullopt;
    const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return std::nullopt;
    return *GetSidSubAuthority(sid, count - 1);
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

    KeyText keyText(std::uint8_t vk, unsigned mods, bool capsLock, LayoutHandle layout) override {
        BYTE state[256] = {};
        const BYTE down = 0x80;
        if (mods & 1) state[VK_SHIFT] = state[VK_LSHIFT] = down;
        if (mods & 2) state[VK_CONTROL] = state[VK_LCONTROL] = down;
        if (mods & 4) state[VK_MENU] = state[VK_RMENU] = down;
        if (capsLock) state[VK_CAPITAL] = 0x01;
        const HKL hkl = toHkl(layout);
        const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, hkl);
        WCHAR out[8];
        // Flag 4 keeps the keyboard state as it is (Windows 10 1607 and later). Older
        // versions leave a dead key pending in this thread's state, which a second
        // call with the same key clears.
        const int n = ToUnicodeEx(vk, scan, state, out, 8, 4, hkl);
        KeyText result;
        if (n < 0) {
            ToUnicodeEx(vk, scan, state, out, 8, 4, hkl);
            result.dead = true;
        } else {
            result.text.assign(out, out + std::min(n, 8));
        }
        return result;
    }

    // A thread's view of the lock keys is read by sharing its input state for the
    // moment of the read.
    bool isToggled(std::uint8_t vk, ThreadId thread) override {
        const DWORD self = GetCurrentThreadId();
        const bool attached =
            thread != 0 && thread != self && AttachThreadInput(self, thread, TRUE);
        const bool on = (GetKeyState(vk) & 1) != 0;
        if (attached) AttachThreadInput(self, thread, FALSE);
        return on;
    }

    bool shiftTurnsCapsLockOff() override {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, L"Keyboard Layout", L"Attributes", RRF_RT_REG_DWORD,
                         nullptr, &value, &size) != ERROR_SUCCESS)
            return false;
        return (value & kShiftLock) != 0;
    }

    WindowHandle focusWindow() override {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(0, &info)) return 0;
        return reinterpret_cast<WindowHandle>(info.hwndFocus);
    }

    ProcessId windowProcess(WindowHandle window) override {
        DWORD process = 0;
        GetWindowThreadProcessId(toHwnd(window), &process);
        return process;
    }

    ProcessId currentProcess() override { return GetCurrentProcessId(); }

    std::optional<std::uint32_t> processIntegrity(ProcessId process) override {
        const bool self = process == GetCurrentProcessId();
        HANDLE handle = self ? GetCurrentProcess()
                             : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
        if (!handle) return std::nullopt;
        std::optional<std::uint32_t> level;
        HANDLE token = nullptr;
        if (OpenProcessToken(handle, TOKEN_QUERY, &token)) {
            level = tokenIntegrity(token);
            CloseHandle(token);
        }
        if (!self) CloseHandle(handle);
        return level;
    }

    std::vector<WindowHandle> topLevelWindows() override {
        std::vector<WindowHandle> windows;
        EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
        return windows;
    }

    bool isVisible(WindowHandle window) override { return IsWindowVisible(toHwnd(window)); }

    bool isMinimised(WindowHandle window) override { return IsIconic(toHwnd(window)); }

    bool isCloaked(WindowHandle window) override {
        DWORD cloaked = 0;
        return SUCCEEDED(DwmGetWindowAttribute(toHwnd(window), DWMWA_CLOAKED, &cloaked,
                                               sizeof cloaked)) &&
               cloaked != 0;
    }

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

    void restore(WindowHandle window) override { ShowWindowAsync(toHwnd(window), SW_RESTORE); }

    void bringToTop(WindowHandle window) override { BringWindowToTop(toHwnd(window)); }

    ThreadId windowThread(WindowHandle window) override {
        return GetWindowThreadProcessId(toHwnd(window), nullptr);
    }

    ThreadId currentThread() override { return GetCurrentThreadId(); }

    bool attachThreadInput(ThreadId from, ThreadId to, bool attach) override {
        return AttachThreadInput(from, to, attach ? TRUE : FALSE);
    }

    void sleepMs(unsigned milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

std::unique_ptr<Win32Api> makeSystemWin32Api() {
    return std::make_unique<SystemWin32Api>();
}

}  // namespace kest::win32
