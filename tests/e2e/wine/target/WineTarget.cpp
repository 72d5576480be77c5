// A Windows window that records what it is typed, for the end-to-end tests under Wine.
//
//   kest_wine_target.exe <title> <record file>
//
// Every character (WM_CHAR, surrogate pairs joined) is appended to the record file as
// UTF-8 and flushed at once, so that a test reading the file sees each character as
// soon as the window has it. Key downs and ups go to "<record file>.keys", one line
// each ("down 41", "up 41", virtual-key code in hex), for the player path, whose
// virtual keys are the point. "<record file>.ready" appears once the window is shown
// and has the keyboard focus.
//
// Plain Win32, no Qt and no EDIT control (Wine's EDIT crashes on accented text with
// its default font): the window itself takes the keys.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

FILE* gText = nullptr;
FILE* gKeys = nullptr;
wchar_t gHighSurrogate = 0;
std::wstring gTyped;  // shown in the window, so a screenshot tells what arrived

void appendUtf8(char32_t c) {
    char out[4];
    int n = 0;
    if (c < 0x80) {
        out[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
        out[n++] = static_cast<char>(0xC0 | (c >> 6));
        out[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out[n++] = static_cast<char>(0xE0 | (c >> 12));
        out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out[n++] = static_cast<char>(0xF0 | (c >> 18));
        out[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    std::fwrite(out, 1, static_cast<size_t>(n), gText);
    std::fflush(gText);
}

// A high surrogate waits for its low half; a half without its partner is kept as it
// came (as U+FFFD would hide what the sender did wrong).
void recordCharacter(wchar_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (gHighSurrogate) appendUtf8(0xFFFD);
        gHighSurrogate = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF && gHighSurrogate) {
        appendUtf8(0x10000 + ((char32_t(gHighSurrogate) - 0xD800) << 10) + (unit - 0xDC00));
        gHighSurrogate = 0;
        return;
    }
    if (gHighSurrogate) appendUtf8(0xFFFD);
    gHighSurrogate = 0;
    appendUtf8(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
}

void recordKey(const char* what, WPARAM vk) {
    std::fprintf(gKeys, "%s %02x\n", what, static_cast<unsigned>(vk & 0xFF));
    std::fflush(gKeys);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT area;
    GetClientRect(window, &area);
    // The last part of what arrived, as much as fits.
    const std::wstring tail = gTyped.size() > 200 ? gTyped.substr(gTyped.size() - 200) : gTyped;
    DrawTextW(dc, tail.c_str(), static_cast<int>(tail.size()), &area, DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(window, &ps);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
        case WM_SYSCHAR:
            recordCharacter(static_cast<wchar_t>(wParam));
            gTyped.push_back(static_cast<wchar_t>(wParam));
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            recordKey("down", wParam);
            break;  // on to DefWindowProc, which makes WM_SYSCHAR of Alt keys
        case WM_KEYUP:
        case WM_SYSKEYUP:
            recordKey("up", wParam);
            break;
        case WM_PAINT:
            paint(window);
            return 0;
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
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KestWineTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(),
                                  WS_OVERLAPPEDWINDOW, 100, 100, 480, 240, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
    UpdateWindow(window);
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
