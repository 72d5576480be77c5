#include "e2e/wine/WineHarness.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kest::e2e::wine {

namespace fs = std::filesystem;

namespace {

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
    return exitCode(tool, timeout) == 0;
}

// The shared prefix, made on first use under the build directory and keyed by the
// Wine version, so that an upgraded Wine gets a fresh one. Safe when several test
// programs ask at once: the first makes it, the others wait.
std::string sharedPrefix(const std::map<std::string, std::string>& displayEnv) {
    const std::string root = KEST_WINE_ROOT;
    fs::create_directories(root);
    std::string version;
    for (char c : commandOutput("wine --version 2>/dev/null")) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') version += c;
    }
    const std::string prefix = root + "/prefix-" + version;
    const std::string complete = prefix + "/.kest-complete";
    const int lock = ::open((root + "/prefix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0)
        throw std::runtime_error("cannot lock the Wine prefix folder " + root);
    if (!fs::exists(complete)) {
        // A prefix that a killed run left half made is no good: start again.
        fs::remove_all(prefix);
        const auto env = wineEnv(displayEnv, prefix);
        const std::string log = root + "/wineboot.log";
        if (!runWineTool({"wineboot", "-i"}, env, std::chrono::seconds(300), log) ||
            !runWineTool({"wineserver", "-w"}, env, std::chrono::seconds(120))) {
            ::close(lock);
            throw std::runtime_error("wineboot could not make a prefix: " + readFile(log));
        }
        std::ofstream(complete) << version << "\n";
    }
    ::close(lock);
    return prefix;
}

}  // namespace

std::string windowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// --- the target window ---

TargetWindow::TargetWindow(const std::map<std::string, std::string>& env, const std::string& title)
    : title_(title),
      record_(dir_.path() + "/typed"),
      process_({"wine", KEST_WINE_TARGET, title, windowsPath(record_)}, env,
               dir_.path() + "/target.log", true) {
    if (!waitUntil([&] { return fs::exists(record_ + ".ready"); }, 60s)) {
        throw std::runtime_error("the target window \"" + title +
                                 "\" did not come up: " + readFile(dir_.path() + "/target.log"));
    }
}

bool TargetWindow::waitFor(const std::string& file, const std::string& expected,
                           std::chrono::milliseconds quiet) {
    return waitForGrowth([&] { return readFile(file).size(); }, expected.size(), quiet) &&
           readFile(file) == expected;
}

// --- the fixture ---

void WineFixture::SetUp() {
    for (const char* program : {KEST_WINDOWS_PROGRAM, KEST_WINE_TARGET}) {
        if (!fs::exists(program))
            throw std::runtime_error(std::string(program) +
                                     " is missing: build it with scripts/windows");
    }
    display = std::make_unique<PrivateDisplay>();
    // Xvfb's keymap has a second parenleft and parenright (keycodes 187 and 188);
    // Wine then finds two keys for '(' and ')' and VkKeyScanEx picks one that types
    // nothing. They go before Wine reads the keymap.
    shell("xmodmap -e 'keycode 187 =' -e 'keycode 188 ='");
    prefix_ = sharedPrefix(display->env());
    endWine();  // a wineserver left by another test would serve another display
}

std::map<std::string, std::string> WineFixture::env() const {
    return wineEnv(display->env(), prefix_);
}

std::string WineFixture::configDir(const std::string& suffix) const {
    return prefix_ + "/drive_c/TALVEN.CFG" + suffix;
}

const char* const kWindowsProgram = KEST_WINDOWS_PROGRAM;

std::unique_ptr<ChildProcess> WineFixture::start(const std::vector<std::string>& argv) {
    const std::string log = tmp.path() + "/program-" + std::to_string(++started_) + ".log";
    return std::make_unique<ChildProcess>(argv, env(), log, true);
}

std::unique_ptr<ChildProcess> WineFixture::startProgram(const std::vector<std::string>& arguments,
                                                        const std::string& program) {
    std::vector<std::string> argv{"wine", program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return start(argv);
}

int exitCode(ChildProcess& process, std::chrono::milliseconds timeout) {
    const int status = process.wait(timeout);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::unique_ptr<ChildProcess> WineFixture::startInstance(const std::string& name,
                                                         const ConfigFiles& files,
                                                         const std::string& executable) {
    writeConfigFiles(configDir("_" + name), files);
    auto program = startProgram({"/#" + name + "#"}, executable);
    if (!waitForWindow(kMainTitle + "_" + name, program.get())) {
        throw std::runtime_error("the main window of instance " + name +
                                 " never showed; log: " + lastOutput());
    }
    return program;
}

std::string WineFixture::lastOutput() const {
    return readFile(tmp.path() + "/program-" + std::to_string(started_) + ".log");
}

bool WineFixture::waitForWindow(const std::string& title, ChildProcess* owner) const {
    // Our titles hold no quote, and no pattern character but '.', which matches itself too.
    const std::string command = "xdotool search --onlyvisible --name '^" + title + "$'";
    // A program that has ended shows no window any more: no use waiting the minute.
    return waitUntil([&] { return !shell(command).empty() || (owner && owner->wait(0ms) != -1); },
                     60s) &&
           !shell(command).empty();
}

std::string WineFixture::shell(const std::string& command) const {
    return commandOutput("export DISPLAY=" + display->name() + "; " + command + " 2>/dev/null");
}

void WineFixture::endWine() const {
    if (!prefix_.empty()) runWineTool({"wineserver", "-k"}, env(), std::chrono::seconds(30));
}

}  // namespace kest::e2e::wine
