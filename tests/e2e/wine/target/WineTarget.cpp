// A Windows window that records what it is typed, for the end-to-end tests under Wine.
//
//   kest_wine_target.exe <title> <record file>
//
// Every character (WM_CHAR) is appended to the record file as UTF-8 and flushed at
// once, so that a test reading the file sees each character as soon as the window
// has it. Key downs and ups go to "<record file>.keys", one line
// each ("down 41", "up 41", virtual-key code in hex), for the player path, whose
// virtual keys are the point. "<record file>.ready" appears once the window is shown
// and has the keyboard focus.
//
// Plain Win32, no Qt and no EDIT control (Wine's EDIT crashes on accented text with
// its default font): the window itself takes the keys.

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>
#include <string>

namespace {

FILE* gText = nullptr;
FILE* gKeys = nullptr;

// Each UTF-16 unit as it comes: the program types Windows-1252 text, all of it in the
// basic plane (a surrogate half would show as U+FFFD).
void recordCharacter(wchar_t unit) {
    char out[4];
    const int n = WideCharToMultiByte(CP_UTF8, 0, &unit, 1, out, sizeof out, nullptr, nullptr);
    std::fwrite(out, 1, static_cast<size_t>(n), gText);
    std::fflush(gText);
}

void recordKey(const char* what, WPARAM vk) {
    std::fprintf(gKeys, "%s %02x\n", what, static_cast<unsigned>(vk & 0xFF));
    std::fflush(gKeys);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
        case WM_SYSCHAR:
            recordCharacter(static_cast<wchar_t>(wParam));
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            recordKey("down", wParam);
            break;  // on to DefWindowProc, which makes WM_SYSCHAR of Alt keys
        case WM_KEYUP:
        case WM_SYSKEYUP:
            recordKey("up", wParam);
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

FILE* openRecord(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) std::fwprintf(stderr, L"cannot write %ls\n", path.c_str());
    return file;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3) {
        std::fwprintf(stderr, L"usage: kest_wine_target.exe <title> <record file>\n");
        return 2;
    }
    const std::wstring title = argv[1];
    const std::wstring record = argv[2];
    gText = openRecord(record);
    gKeys = openRecord(record + L".keys");
    if (!gText || !gKeys) return 1;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KestWineTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                  100, 100, 480, 240, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
    SetForegroundWindow(window);
    SetFocus(window);
    if (FILE* ready = openRecord(record + L".ready")) std::fclose(ready);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    std::fclose(gText);
    std::fclose(gKeys);
    return 0;
}
