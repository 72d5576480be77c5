#include "e2e/support/WaylandHarness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kest::e2e {

namespace {

// The first entry of dir whose name starts with prefix (and is no lock file).
std::string findEntry(const std::string& dir, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && !name.ends_with(".lock")) return entry.path().string();
    }
    return {};
}

// How often needle occurs in text (the items of a D-Bus reply).
long occurrences(const std::string& text, const std::string& needle) {
    long n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Who runs sway: root may not, so it hands the compositor to nobody.
std::vector<std::string> asSwayUser(std::vector<std::string> argv) {
    if (geteuid() != 0) return argv;
    // The change of user clears the parent-death signal that ChildProcess set: it is
    // set again, so that a test killed at its timeout leaves no compositor behind.
    std::vector<std::string> wrapped{"setpriv", "--reuid=nobody", "--regid=nogroup",
                                     "--clear-groups", "--pdeathsig=SIGTERM"};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    return wrapped;
}

void giveToSwayUser(const std::string& path) {
    if (geteuid() != 0) return;
    if (::chown(path.c_str(), 65534, 65534) != 0)
        throw std::runtime_error("cannot hand " + path + " to nobody");
}

// A session bus that any user may use: sway's (nobody) and the test's (root). With
// services, it starts the desktop's D-Bus services when they are first asked for (the
// portal, the accessibility bus), with activationEnv as their environment.
std::unique_ptr<ChildProcess> startBus(
    const std::string& dir, std::string& address, bool services = false,
    const std::map<std::string, std::string>& activationEnv = {}) {
    const std::string socket = dir + "/bus";
    const std::string config = dir + "/bus.conf";
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:path="
        << socket << "</listen><auth>EXTERNAL</auth>"
        << (services ? "<standard_session_servicedirs/>" : "")
        << "<policy context=\"default\"><allow user=\"*\"/>"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
    auto daemon = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + config, "--nofork"},
        activationEnv, dir + "/bus.log", true);
    if (!waitUntil([&] { return fs::exists(socket); }))
        throw std::runtime_error("dbus-daemon did not start: " + readFile(dir + "/bus.log"));
    ::chmod(socket.c_str(), 0777);
    address = "unix:path=" + socket;
    return daemon;
}

bool busHasName(const std::string& bus, const std::string& name) {
    return commandOutput(
               "dbus-send --bus='" + bus +
               "' --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "
               "string:" +
               name + " 2>/dev/null")
               .find("boolean true") != std::string::npos;
}

// A private runtime directory for a compositor, as its user's session would have.
std::string makeRuntime(const TempDir& dir) {
    const std::string runtime = dir.path() + "/run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    return runtime;
}

// Waits for the compositor's socket and its service on the bus.
void waitForCompositor(const char* what, const std::string& socket, const std::string& bus,
                       const std::string& service, const std::string& log) {
    if (!waitUntil([&] { return fs::exists(socket) && busHasName(bus, service); }, 30s))
        throw std::runtime_error(std::string(what) + " did not start: " + readFile(log));
}

}  // namespace

HeadlessSway::HeadlessSway(bool withTrayBar) {
    // sway refuses to run as root: a test run by root starts it as nobody, who must pass
    // through our temporary directory to its own folders in it; root can still connect.
    ::chmod(dir_.path().c_str(), 0711);
    runtime_ = makeRuntime(dir_);
    const std::string home = dir_.path() + "/home";
    fs::create_directories(home);
    giveToSwayUser(runtime_);
    giveToSwayUser(home);
    const std::string config = dir_.path() + "/sway.conf";
    // No Xwayland of sway's own: the X tests bring a rootful one, which they control.
    std::ofstream(config) << "output HEADLESS-1 resolution 1280x800\n"
                             "xwayland disable\n"
                             "focus_follows_mouse no\n"
                          << (withTrayBar ? "bar {\n  tray_output *\n}\n" : "");
    ::chmod(config.c_str(), 0644);
    busDaemon_ = startBus(dir_.path(), bus_);
    auto env = compositorEnv(runtime_);
    env["HOME"] = home;
    env["WLR_BACKENDS"] = "headless";
    env["WLR_LIBINPUT_NO_DEVICES"] = "1";
    env["WLR_RENDERER"] = "pixman";
    log_ = dir_.path() + "/sway.log";
    // With --debug sway logs the clients that it throws off (a few kilobytes a run).
    process_ = std::make_unique<ChildProcess>(asSwayUser({"sway", "--debug", "-c", config}), env,
                                              log_, true);
    const bool up = waitUntil(
        [&] {
            socket_ = findEntry(runtime_, "wayland-");
            return !socket_.empty() && !findEntry(runtime_, "sway-ipc.").empty() &&
                   message("-t get_version").find("sway") != std::string::npos;
        },
        20s);
    if (!up) throw std::runtime_error("sway did not start: " + readFile(log_));
}

HeadlessSway::~HeadlessSway() {
    // sway takes a moment to let its clients go; a plain kill would leave it running
    // past the test.
    message("exit");
    process_->wait(10s);
}

int HeadlessSway::trayItems() const {
    const std::string reply =
        commandOutput("dbus-send --bus='" + bus_ +
                      "' --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher "
                      "org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "
                      "string:RegisteredStatusNotifierItems 2>/dev/null");
    return reply.starts_with("method return") ? int(occurrences(reply, "string \"")) : -1;
}

std::string HeadlessSway::message(const std::string& arguments) const {
    const std::string ipc = findEntry(runtime_, "sway-ipc.");
    return commandOutput("swaymsg -s '" + ipc + "' " + arguments + " 2>/dev/null");
}

bool HeadlessSway::hasWindow(const std::string& title) const {
    // The tree is JSON, where sway writes "/" as "\/".
    std::string escaped;
    for (char c : title) {
        if (c == '/' || c == '"' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return message("-t get_tree").find("\"name\": \"" + escaped + "\"") != std::string::npos;
}

std::vector<std::string> HeadlessDesktop::clientErrors() const {
    std::vector<std::string> found;
    std::istringstream in(readFile(log_));
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("error in client communication") != std::string::npos ||
            line.find("Data too big") != std::string::npos ||
            line.find("error marshalling") != std::string::npos ||
            line.find("protocol error") != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

FootReceiver::FootReceiver(const HeadlessSway& sway, const std::string& title) {
    out_ = dir_.path() + "/received";
    const std::string ready = dir_.path() + "/ready";
    // Raw mode: no line editing, no line length limit, every byte passes as typed.
    const std::string script = "stty raw -echo; : > '" + ready + "'; exec cat > '" + out_ + "'";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"foot", "--title", title, "sh", "-c", script}, sway.env(),
        dir_.path() + "/foot.log", true);
    if (!waitUntil([&] { return fs::exists(ready) && sway.hasWindow(title); }, 20s)) {
        throw std::runtime_error("foot did not start: " + readFile(dir_.path() + "/foot.log"));
    }
}

bool FootReceiver::waitFor(const std::string& expected, std::chrono::milliseconds quiet) const {
    return waitForGrowth([&] { return received().size(); }, expected.size(), quiet) &&
           received() == expected;
}

std::string thisProgram() {
    return fs::read_symlink("/proc/self/exe").string();
}

std::map<std::string, std::string> HeadlessDesktop::env() const {
    return {{"WAYLAND_DISPLAY", socket_},
            {"XDG_RUNTIME_DIR", clientRuntime_.path()},
            {"DBUS_SESSION_BUS_ADDRESS", bus_},
            {"DISPLAY", ""},
            {"GDK_BACKEND", "wayland"},
            {"LC_ALL", "C.UTF-8"},
            {"LANG", "C.UTF-8"}};
}

std::map<std::string, std::string> HeadlessDesktop::compositorEnv(
    const std::string& runtime) const {
    return {{"XDG_RUNTIME_DIR", runtime},
            {"HOME", dir_.path()},
            {"XDG_CONFIG_HOME", dir_.path() + "/config"},
            {"DBUS_SESSION_BUS_ADDRESS", bus_},
            {"WAYLAND_DISPLAY", ""},
            {"DISPLAY", ""}};
}

void HeadlessDesktop::enter() const {
    for (const auto& [name, value] : env()) setenv(name.c_str(), value.c_str(), 1);
    unsetenv("DISPLAY");
}

HeadlessMutter::HeadlessMutter(const std::string& layout, bool withPortal) {
    const std::string runtime = makeRuntime(dir_);
    socket_ = runtime + "/wayland-kest";
    // The portal's dialog is a GTK program on this compositor.
    busDaemon_ = startBus(dir_.path(), bus_, withPortal,
                          {{"WAYLAND_DISPLAY", socket_},
                           {"XDG_RUNTIME_DIR", runtime},
                           {"XDG_CURRENT_DESKTOP", "GNOME"},
                           {"GDK_BACKEND", "wayland"},
                           {"DISPLAY", ""},
                           {"HOME", dir_.path()}});
    // mutter without GNOME Shell reads the layout from localed on the system bus.
    const std::string localeLog = dir_.path() + "/locale1.log";
    locale_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", KEST_E2E_SUPPORT_DIR "/locale1_service.py",
                                 bus_, layout},
        std::map<std::string, std::string>{}, localeLog, true);
    if (!waitUntil([&] { return busHasName(bus_, "org.freedesktop.locale1"); }, 20s))
        throw std::runtime_error("the layout service did not start: " + readFile(localeLog));
    log_ = dir_.path() + "/mutter.log";
    auto env = compositorEnv(runtime);
    env["DBUS_SYSTEM_BUS_ADDRESS"] = bus_;
    env["GSETTINGS_BACKEND"] = "memory";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"mutter", "--headless", "--wayland", "--no-x11",
                                 "--virtual-monitor", "1024x768", "--wayland-display=wayland-kest"},
        env, log_, true);
    waitForCompositor("mutter", socket_, bus_, "org.gnome.Mutter.RemoteDesktop", log_);
}

HeadlessMutter::~HeadlessMutter() {
    // mutter first, while the layout service it reads is still there.
    process_.reset();
}

HeadlessKwin::HeadlessKwin(const std::string& layouts,
                           const std::vector<std::string>& trustedPrograms) {
    const std::string runtime = makeRuntime(dir_);
    busDaemon_ = startBus(dir_.path(), bus_);
    // KWin refuses to start with the file capability that Debian gives its program
    // (containers do not grant it); a plain copy, whose name still ends in kwin_wayland,
    // runs without it.
    const std::string kwin = dir_.path() + "/kwin_wayland";
    fs::copy_file("/usr/bin/kwin_wayland", kwin);
    const std::string apps = dir_.path() + "/share/applications";
    fs::create_directories(apps);
    fs::create_directories(dir_.path() + "/config");
    int n = 0;
    for (const std::string& program : trustedPrograms) {
        std::ofstream(apps + "/kest-trusted-" + std::to_string(++n) + ".desktop")
            << "[Desktop Entry]\nType=Application\nName=Kest test " << n << "\nExec=" << program
            << "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,"
               "org_kde_plasma_window_management\n";
    }
    writeLayouts(layouts);
    log_ = dir_.path() + "/kwin.log";
    socket_ = runtime + "/wayland-kest";
    auto env = compositorEnv(runtime);
    env["XDG_CACHE_HOME"] = dir_.path() + "/cache";
    env["XDG_DATA_DIRS"] = dir_.path() + "/share:/usr/share";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{kwin, "--virtual", "--socket", "wayland-kest", "--no-lockscreen",
                                 "--no-global-shortcuts", "--no-kactivities"},
        env, log_, true);
    waitForCompositor("KWin", socket_, bus_, "org.kde.KWin", log_);
}

std::string HeadlessKwin::activeLayout() const {
    const std::string reply = commandOutput("dbus-send --bus='" + bus_ +
                                            "' --print-reply --dest=org.kde.keyboard /Layouts "
                                            "org.kde.KeyboardLayouts.getLayout 2>/dev/null");
    const auto at = reply.find("uint32 ");
    return at == std::string::npos ? "" : reply.substr(at + 7, reply.find('\n', at) - at - 7);
}

void HeadlessKwin::writeLayouts(const std::string& layouts) {
    std::ofstream(dir_.path() + "/config/kxkbrc")
        << "[Layout]\nLayoutList=" << layouts << "\nUse=true\n";
}

void HeadlessKwin::setLayouts(const std::string& layouts) {
    writeLayouts(layouts);
    // What the keyboard settings send when the user applies them.
    commandOutput("dbus-send --bus='" + bus_ +
                  "' --type=signal /Layouts org.kde.keyboard.reloadConfig");
    const auto count = std::count(layouts.begin(), layouts.end(), ',') + 1;
    const bool taken = waitUntil([&] {
        const std::string list =
            commandOutput("dbus-send --bus='" + bus_ +
                          "' --print-reply --dest=org.kde.keyboard /Layouts "
                          "org.kde.KeyboardLayouts.getLayoutsList 2>/dev/null");
        return occurrences(list, "struct {") == count;
    });
    if (!taken) throw std::runtime_error("KWin did not take the layouts " + layouts);
}

RootfulXwayland::RootfulXwayland(const HeadlessSway& sway) : env_(sway.env()) {
    name_ = startDisplayServer("Xwayland -nolisten tcp -noreset", env_, server_);
    env_["DISPLAY"] = name_;
}

}  // namespace kest::e2e
