#include "e2e/wine/WineHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#if !defined(KEST_WINDOWS_PROGRAM) || !defined(KEST_WINE_TARGET) || !defined(KEST_WINE_ROOT)
#error "KEST_WINDOWS_PROGRAM, KEST_WINE_TARGET and KEST_WINE_ROOT must be defined"
#endif

namespace kest::e2e::wine {

namespace fs = std::filesystem;

namespace {

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::map<std::string, std::string> wineEnv(std::map<std::string, std::string> env,
                                           const std::string& prefix) {
    env["WINEPREFIX"] = prefix;
    env["WINEDEBUG"] = "-all";
    // No Mono or Gecko installer dialogs (nothing here needs them), and no menu
    // entries written into the home folder of whoever runs the tests.
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d";
    return env;
}

// Runs a Wine tool to its end; false when it failed or outran the deadline.
bool runWineTool(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, std::chrono::seconds timeout,
                 const std::string& log = "/dev/null") {
    ChildProcess tool(argv, env, log, true);
    const int status = tool.wait(timeout);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A regular expression that matches exactly this text, for xdotool's --name.
std::string exactPattern(const std::string& text) {
    std::string pattern = "^";
    for (char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    return pattern + "$";
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string sharedPrefix(const std::map<std::string, std::string>& displayEnv) {
    const std::string root = KEST_WINE_ROOT;
    fs::create_directories(root);
    std::string version = commandOutput("wine --version 2>/dev/null");
    for (char& c : version) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '-';
    }
    const std::string prefix = root + "/prefix-" + version;
    const std::string complete = prefix + "/.kest-complete";
    const int lock = ::open((root + "/prefix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0)
        throw std::runtime_error("cannot lock the Wine prefix folder " + root);
    std::string failure;
    if (!fs::exists(complete)) {
        // A prefix that a killed run left half made is no good: start again.
        fs::remove_all(prefix);
        const auto env = wineEnv(displayEnv, prefix);
        const std::string log = root + "/wineboot.log";
        if (!runWineTool({"wineboot", "-i"}, env, std::chrono::seconds(300), log) ||
            !runWineTool({"wineserver", "-w"}, env, std::chrono::seconds(120))) {
            failure = "wineboot could not make a prefix: " + readFile(log);
        } else {
            std::ofstream(complete) << version << "\n";
        }
    }
    ::close(lock);
    if (!failure.empty()) throw std::runtime_error(failure);
    return prefix;
}

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// --- the target window ---

TargetWindow::TargetWindow(const std::map<std::string, std::string>& env, const std::string& title)
    : title_(title), record_(dir_.path() + "/typed") {
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"wine", KEST_WINE_TARGET, title, windowsPath(record_)}, env,
        dir_.path() + "/target.log", true);
    if (!waitUntil([&] { return fs::exists(record_ + ".ready"); }, 60s)) {
        throw std::runtime_error("the target window \"" + title +
                                 "\" did not come up: " + readFile(dir_.path() + "/target.log"));
    }
}

std::string TargetWindow::text() const {
    return readFile(record_);
}

std::vector<std::string> TargetWindow::keys() const {
    std::vector<std::string> lines;
    std::istringstream in(readFile(record_ + ".keys"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool TargetWindow::waitForText(const std::string& utf8, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return text().size() >= utf8.size(); }, timeout) && text() == utf8;
}

bool TargetWindow::waitForKeys(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return keys().size() >= count; }, timeout);
}

// --- the serial device ---

SerialDevice::SerialDevice(const std::string& prefix, int comNumber)
    : portLink_(prefix + "/dosdevices/com" + std::to_string(comNumber)) {
    const std::string deviceLink = dir_.path() + "/device";
    fs::remove(portLink_);
    socat_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"socat", "pty,raw,echo=0,link=" + portLink_,
                                 "pty,raw,echo=0,link=" + deviceLink},
        std::map<std::string, std::string>{});
    if (!waitUntil([&] { return fs::exists(portLink_) && fs::exists(deviceLink); }))
        throw std::runtime_error("socat did not make the pseudo-terminals");
    // Held open from the start, so that nothing the program sends back is lost
    // before the test reads it.
    fd_ = ::open(deviceLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open the device end " + deviceLink);
}

SerialDevice::~SerialDevice() {
    ::close(fd_);
    socat_.reset();
    std::error_code ignored;
    fs::remove(portLink_, ignored);
}

void SerialDevice::send(const std::string& bytes) {
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("short write to the serial device");
}

std::string SerialDevice::receive(std::size_t count, std::chrono::milliseconds timeout) {
    std::string got;
    waitUntil(
        [&] {
            char buffer[256];
            ssize_t n = 0;
            while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) got.append(buffer, size_t(n));
            return got.size() >= count;
        },
        timeout);
    return got;
}

// --- configuration files ---

ConfigFiles configFiles(const std::string& directory) {
    ConfigFiles files;
    for (const char* name : {"GENERAL.CFG", "TOUCHE_INP.CFG", "TOUCHE_OUT.CFG", "TOUCHE_REM.CFG"}) {
        const std::string path = directory + "/" + name;
        files[name] = fs::exists(path) ? readFile(path) : std::string("<missing>");
    }
    return files;
}

void writeConfigFiles(const std::string& directory, const ConfigFiles& files) {
    fs::create_directories(directory);
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
    files["GENERAL.CFG"] = line(".2") + line("9600,N,8,1") + line(s.apiKeyboard ? " 1 " : " 0 ") +
                           line(s.prefix) + line(s.suffix) + line(s.targetWindow) + line(" 0 ") +
                           line(" 0 ") + line("None") + line(" 0 ") + line(s.tcpAddress) +
                           line(std::to_string(s.tcpPort)) + line(s.tcpServer ? "True" : "False");
    return files;
}

// --- the fixture ---

void WineFixture::SetUp() {
    for (const char* program : {KEST_WINDOWS_PROGRAM, KEST_WINE_TARGET}) {
        if (!fs::exists(program))
            throw std::runtime_error(std::string(program) + " is missing: build it with scripts/windows");
    }
    display = std::make_unique<PrivateDisplay>();
    // Xvfb's keymap has a second parenleft and parenright (keycodes 187 and 188);
    // Wine then finds two keys for '(' and ')' and VkKeyScanEx picks one that types
    // nothing. They go before Wine reads the keymap.
    shell("xmodmap -e 'keycode 187 =' -e 'keycode 188 ='");
    prefix_ = sharedPrefix(display->env());
    endWine();  // a wineserver left by another test would serve another display
}

void WineFixture::TearDown() {
    endWine();
    trayHost_.reset();
}

std::map<std::string, std::string> WineFixture::env() const {
    return wineEnv(display->env(), prefix_);
}

std::string WineFixture::configDir(const std::string& suffix) const {
    return prefix_ + "/drive_c/TALVEN.CFG" + suffix;
}

const char* const kWindowsProgram = KEST_WINDOWS_PROGRAM;

std::unique_ptr<ChildProcess> WineFixture::startProgram(const std::vector<std::string>& arguments,
                                                        const std::string& program) {
    std::vector<std::string> argv{"wine", program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string log = tmp.path() + "/program-" + std::to_string(++started_) + ".log";
    return std::make_unique<ChildProcess>(argv, env(), log, true);
}

std::unique_ptr<ChildProcess> WineFixture::startInstance(const std::string& name,
                                                         const ConfigFiles& files,
                                                         const std::string& executable) {
    writeConfigFiles(configDir("_" + name), files);
    auto program = startProgram({"/#" + name + "#"}, executable);
    if (!waitForWindow(kMainTitle + "_" + name, program.get())) {
        throw std::runtime_error("the main window of instance " + name + " never showed; log: " +
                                 readFile(tmp.path() + "/program-" + std::to_string(started_) +
                                          ".log"));
    }
    return program;
}

bool WineFixture::waitForWindow(const std::string& title, ChildProcess* owner) const {
    const std::string command = "xdotool search --onlyvisible --name " +
                                shellQuoted(exactPattern(title));
    // A program that has ended shows no window any more: no use waiting the minute.
    return waitUntil(
        [&] { return !shell(command).empty() || (owner && owner->wait(0ms) != -1); }, 60s) &&
           !shell(command).empty();
}

void WineFixture::startTrayHost() {
    trayHost_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                 "request", "--height", "32", "--SetDockType", "false"},
        display->env());
    waitUntil([&] { return !shell("xdotool search --name '^panel$'").empty(); }, 20s);
}

std::string WineFixture::shell(const std::string& command) const {
    return commandOutput("DISPLAY=" + display->name() + " " + command + " 2>/dev/null");
}

void WineFixture::endWine() const {
    if (!prefix_.empty()) runWineTool({"wineserver", "-k"}, env(), std::chrono::seconds(30));
}

}  // namespace kest::e2e::wine
