#include "e2e/ProgramHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace kest::e2e {

namespace fs = std::filesystem;

Listener::Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on the loopback");
    port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
    ::close(fd_);
}

int Listener::acceptWithin(int milliseconds) {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, milliseconds) != 1) return -1;
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

void appendTo(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

void ProgramFixture::SetUp() {
    // openbox now and then gives up on a display that has just come up; one more try
    // tells that apart from a machine without a working window manager.
    try {
        windowManager = std::make_unique<WindowManager>(display);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "window manager: %s, trying once more\n", e.what());
        windowManager = std::make_unique<WindowManager>(display);
    }
}

std::string ProgramFixture::base() const {
    return display.env().at("XDG_CONFIG_HOME") + "/kest-redirect";
}

std::string ProgramFixture::configDir(const std::string& suffix) const {
    return base() + "/drive_c/TALVEN.CFG" + suffix;
}

void ProgramFixture::writeConfig(const std::string& name, const std::string& bytes,
                                 const std::string& suffix) {
    writeConfigFiles(configDir(suffix), {{name, bytes}});
}

void ProgramFixture::writeScannerConfig(int port, const GeneralSettings& settings,
                                        const std::string& suffix) {
    writeConfigFiles(configDir(suffix), scannerConfig(port, settings));
}

ConfigFiles ProgramFixture::configFiles(const std::string& suffix) const {
    return e2e::configFiles(configDir(suffix));
}

std::unique_ptr<ChildProcess> ProgramFixture::startProgram(
    const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{KEST_PROGRAM_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const std::string log = tmp.path() + "/program-" + std::to_string(++started_) + ".log";
    return std::make_unique<ChildProcess>(argv, display.env(), log);
}

std::string ProgramFixture::shell(const std::string& command) const {
    return commandOutput("DISPLAY=" + display.name() + " " + command + " 2>/dev/null");
}

bool ProgramFixture::waitForMainWindow(const std::string& suffix) {
    const std::string pattern = "'^" + kMainTitle + suffix + "$'";
    return waitUntil(
        [&] {
            const std::string found = shell("xdotool search --onlyvisible --name " + pattern);
            mainWindow_ = found.substr(0, found.find('\n'));
            return !mainWindow_.empty();
        },
        std::chrono::seconds(20));
}

int ProgramFixture::mainWindowHeight() const {
    const std::string geometry = shell("xdotool getwindowgeometry --shell " + mainWindow_);
    const auto at = geometry.find("HEIGHT=");
    return at == std::string::npos ? -1 : std::stoi(geometry.substr(at + 7));
}

void ProgramFixture::typeIntoMainWindow(const std::string& text) const {
    shell("xdotool windowactivate --sync " + mainWindow_);
    shell("xdotool type --delay 30 '" + text + "'");
}

void ProgramFixture::clickIntoMainWindow(int x, int y, const std::string& text,
                                         bool replace) const {
    shell("xdotool windowactivate --sync " + mainWindow_);
    shell("xdotool mousemove --window " + mainWindow_ + " " + std::to_string(x) + " " +
          std::to_string(y) + " click 1");
    if (replace) shell("xdotool key ctrl+a");
    if (!text.empty()) shell("xdotool type --delay 30 '" + text + "'");
}

void ProgramFixture::closeMainWindow() const {
    shell("xdotool windowactivate --sync " + mainWindow_ + " key alt+F4");
}

bool ProgramFixture::answerMessage(const std::string& title,
                                   std::chrono::milliseconds keepOpen) const {
    std::string box;
    if (!waitUntil(
            [&] {
                const std::string found =
                    shell("xdotool search --onlyvisible --name '^" + title + "$'");
                box = found.substr(0, found.find('\n'));
                return !box.empty();
            },
            std::chrono::seconds(20)))
        return false;
    std::this_thread::sleep_for(keepOpen);
    shell("xdotool windowactivate --sync " + box + " key Return");
    return true;
}

}  // namespace kest::e2e
