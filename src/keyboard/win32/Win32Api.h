#pragma once
// The handful of user32 calls that typing and window activation use on Windows, behind
// one interface. The logic that decides which calls to make includes no Windows
// header, so it builds and is tested everywhere against a fake; the real calls live
// in SystemWin32Api.cpp, which only the Windows build compiles.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "keyboard/KeyboardDevice.h"

namespace kest::win32 {

using WindowHandle = std::uintptr_t;  // HWND
using LayoutHandle = std::uintptr_t;  // HKL
using ThreadId = std::uint32_t;       // DWORD thread id
using ProcessId = std::uint32_t;      // DWORD process id

// Mandatory integrity levels (the last sub-authority of the token's label).
constexpr std::uint32_t kIntegrityMedium = 0x2000;
constexpr std::uint32_t kIntegrityHigh = 0x3000;
constexpr std::uint32_t kIntegritySystem = 0x4000;

// KEYBDINPUT.dwFlags
constexpr std::uint32_t kEventExtendedKey = 0x0001;
constexpr std::uint32_t kEventKeyUp = 0x0002;
constexpr std::uint32_t kEventUnicode = 0x0004;

// MapVirtualKeyExW map types
constexpr std::uint32_t kMapVkToScan = 0;

// Virtual keys the backend presses by itself, beside the core's Return, Shift,
// Control and Menu (Alt).
constexpr std::uint8_t kVkBack = 0x08;
constexpr std::uint8_t kVkTab = 0x09;
constexpr std::uint8_t kVkCapital = 0x14;
constexpr std::uint8_t kVkEscape = 0x1B;

// One KEYBDINPUT of a SendInput call.
struct KeyInput {
    std::uint16_t vk = 0;
    std::uint16_t scan = 0;  // the UTF-16 unit with kEventUnicode
    std::uint32_t flags = 0;

    friend bool operator==(const KeyInput&, const KeyInput&) = default;
};

// Windows refused what the keyboard or the window activation needed. The message is
// fit for the user.
class DeviceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What ToUnicodeEx makes of a key.
struct KeyText {
    bool dead = false;    // a dead key: it waits to change the next character
    std::u16string text;  // the characters it types, none for a key that types none
};

class Win32Api {
  public:
    virtual ~Win32Api() = default;

    // SendInput: inserts the events into the input stream as one block; returns how
    // many went in (fewer when another program blocks input or UIPI refuses).
    virtual unsigned sendInput(const std::vector<KeyInput>& events) = 0;
    // GetKeyboardLayout(thread); thread 0 is the calling thread.
    virtual LayoutHandle keyboardLayout(ThreadId thread) = 0;
    // VkKeyScanExW: low byte the virtual key, high byte the shift state (1 Shift,
    // 2 Ctrl, 4 Alt, 8 and above layout-specific); -1 when the layout has no key for it.
    virtual std::int16_t vkKeyScan(char16_t c, LayoutHandle layout) = 0;
    // MapVirtualKeyExW
    virtual std::uint32_t mapVirtualKey(std::uint32_t code, std::uint32_t mapType,
                                        LayoutHandle layout) = 0;
    // ToUnicodeEx on the key with that VkKeyScan shift state and Caps Lock on or off,
    // without leaving a trace in any keyboard state.
    virtual KeyText keyText(std::uint8_t vk, unsigned mods, bool capsLock, LayoutHandle layout) = 0;
    // GetKeyState(vk) & 1 as that thread sees it (0: ours): whether a lock key is on.
    // Each thread has its own view, and ours lags behind while we are not in front.
    virtual bool isToggled(std::uint8_t vk, ThreadId thread) = 0;
    // The user's "press Shift to turn off Caps Lock" setting (HKCU\Keyboard Layout,
    // Attributes, KLLF_SHIFTLOCK): Shift then turns Caps Lock off, Caps Lock only on.
    virtual bool shiftTurnsCapsLockOff() = 0;
    // GetGUIThreadInfo of the foreground thread: the window with the keyboard focus,
    // which may belong to another thread than the window in front (UWP frames); 0 none.
    virtual WindowHandle focusWindow() = 0;
    // GetWindowThreadProcessId's process, GetCurrentProcessId.
    virtual ProcessId windowProcess(WindowHandle window) = 0;
    virtual ProcessId currentProcess() = 0;
    // The mandatory integrity level of the process's token (OpenProcess with limited
    // query rights, GetTokenInformation(TokenIntegrityLevel)); nothing when Windows
    // does not tell, as for system processes that we may not open.
    virtual std::optional<std::uint32_t> processIntegrity(ProcessId process) = 0;

    // EnumWindows: every top-level window, front to back.
    virtual std::vector<WindowHandle> topLevelWindows() = 0;
    virtual bool isVisible(WindowHandle window) = 0;    // IsWindowVisible
    virtual bool isMinimised(WindowHandle window) = 0;  // IsIconic
    // DWMWA_CLOAKED: visible to IsWindowVisible yet not shown (a suspended Store app,
    // a window on another virtual desktop, the text input host).
    virtual bool isCloaked(WindowHandle window) = 0;
    // GetWindowTextW
    virtual std::u16string windowText(WindowHandle window) = 0;
    virtual WindowHandle foregroundWindow() = 0;                // GetForegroundWindow
    virtual bool setForegroundWindow(WindowHandle window) = 0;  // SetForegroundWindow
    // ShowWindowAsync(SW_RESTORE): a hung program cannot hang us.
    virtual void restore(WindowHandle window) = 0;
    virtual void bringToTop(WindowHandle window) = 0;           // BringWindowToTop
    virtual ThreadId windowThread(WindowHandle window) = 0;     // GetWindowThreadProcessId
    virtual ThreadId currentThread() = 0;                       // GetCurrentThreadId
    virtual bool attachThreadInput(ThreadId from, ThreadId to, bool attach) = 0;
    virtual void sleepMs(unsigned milliseconds) = 0;  // Sleep
};

// The real calls. Exists only in the Windows build.
std::unique_ptr<Win32Api> makeSystemWin32Api();

}  // namespace kest::win32
