#include "e2e/support/E2eHarness.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "keyboard/x11/X11WindowActivator.h"
#include "keyboard/x11/XErrors.h"

#ifndef KEST_RECORDER_PATH
#error "KEST_RECORDER_PATH must name the kest_key_recorder program"
#endif

namespace kest::e2e {

PrivateDisplay::PrivateDisplay() {
    // Windows come and go while the tests look at them; an X error must not end the
    // test program (Xlib's default), only be logged.
    x11::installErrorHandler();
    // -noreset: a server that resets whenever its last client leaves would refuse
    // connections for a moment and forget the keymap between a test's clients.
    name_ = startDisplayServer("Xvfb -screen 0 1280x1024x24 -nolisten tcp -noreset", {}, server_);
}

std::string startDisplayServer(const std::string& command,
                               const std::map<std::string, std::string>& env,
                               std::unique_ptr<ChildProcess>& process) {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    // The write end goes to the server as fd 3 through the shell, which closes the
    // rest; bash, since dash takes no descriptor numbers above 9.
    const std::string cmd =
        "exec " + command + " -displayfd 3 3>&" + std::to_string(fds[1]) + " 2>/dev/null";
    process = std::make_unique<ChildProcess>(std::vector<std::string>{"bash", "-c", cmd}, env);
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty())
        throw std::runtime_error(command.substr(0, command.find(' ')) + " did not start");
    return ":" + number;
}

std::map<std::string, std::string> PrivateDisplay::env() const {
    return {{"DISPLAY", name_},
            {"LC_ALL", "C.UTF-8"},
            {"LANG", "C.UTF-8"},
            {"XDG_CONFIG_HOME", config_.path()},
            {"XDG_RUNTIME_DIR", config_.path()}};
}

namespace {

// Openbox claims the screen (_NET_SUPPORTING_WM_CHECK) before it handles requests, and
// a map request that comes in between is lost: the window never appears. So "ready"
// means the screen is claimed and then a probe window of ours got mapped.
bool windowManagerMapsWindows(const std::string& displayName) {
    Display* d = XOpenDisplay(displayName.c_str());
    if (!d) return false;
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    const bool claimed = waitUntil(
        [&] {
            Atom type;
            int format;
            unsigned long n = 0, after;
            unsigned char* data = nullptr;
            XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, AnyPropertyType, &type,
                               &format, &n, &after, &data);
            if (data) XFree(data);
            return n == 1;
        },
        15s);
    const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, probe, StructureNotifyMask);
    bool mapped = false;
    for (int attempt = 0; claimed && attempt < 30 && !mapped; ++attempt) {
        XMapWindow(d, probe);
        XFlush(d);
        waitUntil(
            [&] {
                XEvent e;
                while (XCheckTypedWindowEvent(d, probe, MapNotify, &e)) mapped = true;
                return mapped;
            },
            500ms);
    }
    XDestroyWindow(d, probe);
    XCloseDisplay(d);
    return mapped;
}

}  // namespace

WindowManager::WindowManager(const PrivateDisplay& display) {
    const std::string log = dir_.path() + "/openbox.log";
    process_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox"}, display.env(),
                                              log, true);
    if (!windowManagerMapsWindows(display.name())) {
        throw std::runtime_error("openbox did not start: " + readFile(log));
    }
}

Recorder::Recorder(const PrivateDisplay& display, const std::string& title, bool takeFocus) {
    log_ = dir_.path() + "/keys.log";
    std::vector<std::string> argv{KEST_RECORDER_PATH, title};
    if (!takeFocus) argv.push_back("--no-focus");
    process_ = std::make_unique<ChildProcess>(argv, display.env(), log_);
    if (!waitUntil([&] { return readFile(log_).find("ready\n") != std::string::npos; }, 15s)) {
        throw std::runtime_error("the recorder \"" + title +
                                 "\" did not come up; its log: " + readFile(log_));
    }
}

std::vector<std::string> Recorder::lines() const {
    std::vector<std::string> out;
    std::istringstream in(readFile(log_));
    std::string line;
    for (std::size_t i = 0; std::getline(in, line); ++i) {
        if (i >= skip_) out.push_back(line);
    }
    return out;
}

void Recorder::clear() {
    skip_ += lines().size();
}

std::vector<KeyEvent> Recorder::events() const {
    std::vector<KeyEvent> out;
    for (const auto& line : lines()) {
        KeyEvent e;
        char kind[16] = {};
        char text[256] = {};
        if (std::sscanf(line.c_str(), "%15s kc=%u sym=0x%lx state=0x%x text=%255s", kind,
                        &e.keycode, &e.keysym, &e.state, text) < 4) {
            continue;
        }
        e.press = std::string(kind) == "press";
        for (std::size_t i = 0; text[i] && text[i + 1]; i += 2) {
            e.text.push_back(static_cast<char>(std::stoi(std::string(text + i, 2), nullptr, 16)));
        }
        out.push_back(e);
    }
    return out;
}

std::string Recorder::text() const {
    std::string t;
    for (const auto& e : events()) t += e.text;
    return t;
}

bool Recorder::waitForText(const std::string& expected, std::chrono::milliseconds quiet) const {
    return waitForGrowth([&] { return text().size(); }, expected.size(), quiet) &&
           text() == expected;
}

XtermReceiver::XtermReceiver(const PrivateDisplay& display, const std::string& title)
    : XtermReceiver(display.env(), title) {}

XtermReceiver::XtermReceiver(const std::map<std::string, std::string>& env,
                             const std::string& title) {
    out_ = dir_.path() + "/received";
    const std::string ready = dir_.path() + "/ready";
    // Raw mode: no line editing, no line length limit, every byte passes as typed.
    const std::string script = "stty raw -echo; : > '" + ready + "'; exec cat > '" + out_ + "'";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"xterm", "-title", title, "-u8", "-e", "sh", "-c", script}, env);
    if (!waitUntil([&] { return std::filesystem::exists(ready); }, 20s)) {
        throw std::runtime_error("xterm did not start");
    }
}

bool XtermReceiver::waitForBytes(std::size_t count, std::chrono::milliseconds quiet) const {
    return waitForGrowth([&] { return received().size(); }, count, quiet);
}

ConfigFiles configFiles(const std::string& directory) {
    ConfigFiles files;
    for (const char* name : {"GENERAL.CFG", "TOUCHE_INP.CFG", "TOUCHE_OUT.CFG", "TOUCHE_REM.CFG"}) {
        const std::string path = directory + "/" + name;
        files[name] = std::filesystem::exists(path) ? readFile(path) : std::string("<missing>");
    }
    return files;
}

void writeConfigFiles(const std::string& directory, const ConfigFiles& files) {
    std::filesystem::create_directories(directory);
    for (const auto& [name, bytes] : files) {
        std::ofstream(directory + "/" + name, std::ios::binary | std::ios::trunc) << bytes;
    }
}

ConfigFiles makeConfig(const std::vector<std::pair<std::string, std::string>>& rules, int comPort,
                       const std::vector<int>& removeCodes, const GeneralSettings& s) {
    // Both table files, empty or not: without "TOUCHE_OUT.CFG" the instance would be
    // new, and its first start shows the help window before the main one.
    ConfigFiles files{{"TOUCHE_INP.CFG", ""}, {"TOUCHE_OUT.CFG", ""}};
    for (const auto& [search, replacement] : rules) {
        files["TOUCHE_INP.CFG"] += search + "\r\n";
        files["TOUCHE_OUT.CFG"] += replacement + "\r\n";
    }
    files["TOUCHE_REM.CFG"] = std::to_string(comPort) + "\r\n";
    for (int code : removeCodes) files["TOUCHE_REM.CFG"] += std::to_string(code) + "\r\n";
    const auto line = [](const std::string& value) { return value + "\r\n"; };
    const std::string rtsAndDtr = line(s.rtsAndDtr ? " 1 " : " 0 ");
    files["GENERAL.CFG"] = line(".2") + line("9600,N,8,1") + line(s.apiKeyboard ? " 1 " : " 0 ") +
                           line(s.prefix) + line(s.suffix) + line(s.targetWindow) + rtsAndDtr +
                           rtsAndDtr + line("None") + line(" 0 ") + line(s.tcpAddress) +
                           line(std::to_string(s.tcpPort)) + line("False");
    return files;
}

GeneralSettings scanner(const std::string& target, const std::string& tcpAddress, int tcpPort) {
    return {.prefix = "<",
            .suffix = ">",
            .targetWindow = target,
            .rtsAndDtr = true,
            .tcpAddress = tcpAddress,
            .tcpPort = tcpPort};
}

ConfigFiles scannerConfig(int comPort, const GeneralSettings& settings) {
    return makeConfig({{"5", "5{ENTER}"}}, comPort, {13}, settings);
}

bool focusWindowTitled(const std::string& displayName, const std::string& title) {
    // The program's own activator: ActivationTest shows that it finds a window by its
    // exact title and hands it the keys, with a window manager or without one.
    x11::X11WindowActivator activator(displayName.c_str());
    return waitUntil([&] { return activator.activate(title); }, 10s);
}

std::vector<unsigned> emptyKeycodes(const std::string& displayName) {
    std::vector<unsigned> empty;
    Display* d = XOpenDisplay(displayName.c_str());
    if (!d) return empty;
    int minKc = 0, maxKc = 0, perKey = 0;
    XDisplayKeycodes(d, &minKc, &maxKc);
    KeySym* syms = XGetKeyboardMapping(d, KeyCode(minKc), maxKc - minKc + 1, &perKey);
    for (int kc = minKc; kc <= maxKc; ++kc) {
        bool any = false;
        for (int i = 0; i < perKey; ++i) any = any || syms[(kc - minKc) * perKey + i] != NoSymbol;
        if (!any) empty.push_back(unsigned(kc));
    }
    XFree(syms);
    XCloseDisplay(d);
    return empty;
}

std::vector<unsigned> keysDown(const std::string& displayName) {
    std::vector<unsigned> down;
    Display* d = XOpenDisplay(displayName.c_str());
    if (!d) return down;
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (unsigned kc = 0; kc < 256; ++kc) {
        if (keys[kc / 8] & (1 << (kc % 8))) down.push_back(kc);
    }
    XCloseDisplay(d);
    return down;
}

}  // namespace kest::e2e
