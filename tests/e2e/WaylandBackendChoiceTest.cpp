// Which keyboard the program opens on a Wayland session: the virtual keyboard where
// the compositor offers one, else XTest into Xwayland with a plain notice, and a clear
// error when there is nothing at all to type into.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <wayland-server.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "app/KeyboardBackend.h"
#include "e2e/support/TextReceivers.h"
#include "e2e/support/WaylandHarness.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/PlasmaWindowActivator.h"
#include "keyboard/wayland/SeatKeyboardDevice.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"
#include "keyboard/wayland/WaylandWindowActivator.h"

namespace kest::e2e {
namespace {

// A compositor as GNOME and KDE Plasma are to us: a seat, and neither the virtual
// keyboard nor the window list.
class SeatOnlyCompositor {
  public:
    SeatOnlyCompositor() {
        display_ = wl_display_create();
        wl_global_create(display_, &wl_seat_interface, 5, nullptr, &bindSeat);
        socket_ = dir_.path() + "/wayland-seat-only";
        if (wl_display_add_socket_fd(display_, listenOn(socket_)) != 0)
            throw std::runtime_error("cannot serve " + socket_);
        thread_ = std::thread([this] {
            wl_event_loop* loop = wl_display_get_event_loop(display_);
            while (!stop_) {
                wl_event_loop_dispatch(loop, 20);
                wl_display_flush_clients(display_);
            }
        });
    }
    ~SeatOnlyCompositor() {
        stop_ = true;
        thread_.join();
        wl_display_destroy(display_);
    }
    const std::string& socket() const { return socket_; }

  private:
    static int listenOn(const std::string& path);
    static void bindSeat(wl_client* client, void*, std::uint32_t version, std::uint32_t id) {
        wl_resource* seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
        wl_seat_send_capabilities(seat, 0);
    }

    TempDir dir_;
    std::string socket_;
    wl_display* display_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int SeatOnlyCompositor::listenOn(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        throw std::runtime_error("cannot listen on " + path);
    }
    return fd;
}

// Sets environment variables for one test and puts the old values back.
class Environment {
  public:
    void set(const std::string& name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) set(name, value ? value->c_str() : nullptr);
    }

  private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(WaylandBackendChoice, TypesThroughTheVirtualKeyboardWhereTheCompositorOffersIt) {
    HeadlessSway sway;
    FootReceiver foot(sway, "Kest Foot");
    Environment env;
    env.set("WAYLAND_DISPLAY", sway.socket().c_str());
    env.set("DISPLAY", nullptr);
    KeyboardBackend backend = openKeyboardBackend();
    EXPECT_NE(dynamic_cast<wayland::WaylandKeyboardDevice*>(backend.device.get()), nullptr);
    EXPECT_NE(dynamic_cast<wayland::WaylandWindowActivator*>(backend.activator.get()), nullptr);
    EXPECT_EQ(backend.notice, "");
    SendKeys("ok", true, *backend.device);
    EXPECT_TRUE(foot.waitFor("ok")) << foot.received();
    EXPECT_TRUE(backend.activator->activate("kest foot"));
    backend = {};
    EXPECT_TRUE(sway.stop());
}

TEST(WaylandBackendChoice, FallsBackToXwaylandAndSaysWhatCannotBeReached) {
    PrivateDisplay display;  // stands for the session's Xwayland
    SeatOnlyCompositor compositor;
    Recorder recorder(display, "Backend");
    Environment env;
    env.set("WAYLAND_DISPLAY", compositor.socket().c_str());
    env.set("DISPLAY", display.name().c_str());
    KeyboardBackend backend = openKeyboardBackend();
    EXPECT_EQ(backend.notice, kNoWaylandKeysNotice);
    SendKeys("ok", true, *backend.device);
    EXPECT_TRUE(recorder.waitForText("ok"));

    // No X display either: nothing to type into, and the user is told why.
    env.set("DISPLAY", nullptr);
    try {
        openKeyboardBackend();
        FAIL() << "opened a keyboard with nothing to type into";
    } catch (const KeyboardBackendError& e) {
        EXPECT_EQ(std::string(e.what()), kNoWaylandKeysNotice);
    }
    // A compositor that is gone: X11 all the same, with its own notice.
    env.set("DISPLAY", display.name().c_str());
    env.set("WAYLAND_DISPLAY", "/nonexistent/wayland-9");
    EXPECT_EQ(openKeyboardBackend().notice, kWaylandFailedNotice);
}

// The session's environment as the program would find it on a desktop.
void enter(Environment& env, const HeadlessDesktop& desktop) {
    for (const auto& [name, value] : desktop.env()) env.set(name, value.c_str());
    env.set("DISPLAY", nullptr);
}

TEST(WaylandBackendChoice, OnGnomeTypesThroughItsRemoteDesktopAndSaysWindowsStayPut) {
    HeadlessMutter mutter;
    Environment env;
    enter(env, mutter);
    KeyboardBackend backend = openKeyboardBackend();
    EXPECT_NE(dynamic_cast<wayland::SeatKeyboardDevice*>(backend.device.get()), nullptr);
    EXPECT_EQ(backend.notice, kGnomeNoActivationNotice);
    TextReceiver gtk(mutter.env(), ReceiverKind::Gtk, "Kest Gnome");
    ASSERT_TRUE(gtk.focus());
    SendKeys("ok", true, *backend.device);
    EXPECT_TRUE(gtk.waitForText("ok"));
    EXPECT_FALSE(backend.activator->activate("Kest Gnome"));
}

// On KDE Plasma, a program that KWin trusts: fake input, and windows found by title in
// KWin's window list (which title wins is the shared matching's business).
TEST(WaylandBackendChoice, OnKdeTypesThroughFakeInputAndActivatesWindowsByTitle) {
    HeadlessKwin kwin("us", {thisProgram()});
    Environment env;
    enter(env, kwin);
    KeyboardBackend backend = openKeyboardBackend();
    EXPECT_NE(dynamic_cast<wayland::SeatKeyboardDevice*>(backend.device.get()), nullptr);
    EXPECT_NE(dynamic_cast<wayland::PlasmaWindowActivator*>(backend.activator.get()), nullptr);
    EXPECT_EQ(backend.notice, "");
    std::vector<std::unique_ptr<TextReceiver>> windows;
    for (const char* title : {"Kest Orders Sheet",
                              "\xC3\x96lpreis \xC3\x9C"
                              "bersicht"}) {  // Ölpreis Übersicht
        windows.push_back(std::make_unique<TextReceiver>(kwin.env(), ReceiverKind::Qt, title));
        ASSERT_TRUE(windows.back()->focus());
    }
    std::string typed[2];
    // Types a marker and tells which window got it.
    auto receiverOfNextKey = [&] {
        SendKeys("x", true, *backend.device);
        int found = -1;
        waitUntil([&] {
            for (int i = 0; i < 2; ++i) {
                if (windows[std::size_t(i)]->received() != typed[i]) found = i;
            }
            return found >= 0;
        });
        if (found >= 0) typed[found] += "x";
        return found;
    };
    EXPECT_TRUE(backend.activator->activate("kEST oRDERS"));
    EXPECT_EQ(receiverOfNextKey(), 0);
    EXPECT_TRUE(backend.activator->activate("\xF6LPREIS \xFC"));  // öLPREIS ü in Windows-1252
    EXPECT_EQ(receiverOfNextKey(), 1);
    EXPECT_EQ(backend.activator->windowExists("Kest Orders Sheet"), true);
    EXPECT_FALSE(backend.activator->activate("Kest Invoices"));
    EXPECT_EQ(receiverOfNextKey(), 1);
    EXPECT_EQ(kwin.clientErrors(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kest::e2e
