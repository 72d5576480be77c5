#pragma once
// The ways GNOME and KDE Plasma take key presses from another program.

#include <chrono>
#include <memory>
#include <string>

#include "keyboard/wayland/SeatKeyboardDevice.h"
#include "keyboard/wayland/SessionBus.h"

struct org_kde_kwin_fake_input;

namespace kest::wayland {

// How many key presses and releases sent over D-Bus may wait for their reply while
// more are sent: the reply takes a few milliseconds on a busy desktop, and waiting for
// each would hold typing far below the pace that receivers keep. A few characters'
// worth, so that nothing piles up.
inline constexpr std::size_t kKeysInFlight = 12;

// GNOME's pace: at most 500 characters a second. GTK on mutter gets more events per
// key than on KWin: it was thrown off at 700 characters a second with no round trip
// per character, and 560 a second with one were exact.
inline SeatTiming gnomeTiming() {
    SeatTiming timing;
    timing.interval = std::chrono::microseconds(2000);
    return timing;
}

// The D-Bus names the backend choice looks for.
inline constexpr const char* kMutterRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
inline constexpr const char* kPortal = "org.freedesktop.portal.Desktop";

// mutter's own remote desktop (GNOME): a session created and started once, kept for
// the program's life. Throws DeviceError when mutter does not offer it.
class MutterRemoteDesktop final : public KeyInjector {
  public:
    MutterRemoteDesktop();
    ~MutterRemoteDesktop() override;
    void key(std::uint32_t evdevCode, bool pressed) override;
    void settle(bool all) override { bus_.waitForPosted(all ? 0 : kKeysInFlight); }

  private:
    SessionBus bus_;
    std::string session_;
};

// The desktop portal's remote desktop: the same keys, with the desktop's consent
// dialog at Start. Where the portal keeps a permission (interface version 2 and up),
// its token is kept in tokenFile and offered next time, so the user is asked once.
class PortalRemoteDesktop final : public KeyInjector {
  public:
    // Waits up to consentTimeout for the user's answer. Throws DeviceError when the
    // portal is missing, refuses, or the user declines.
    explicit PortalRemoteDesktop(
        std::string tokenFile = {},
        std::chrono::milliseconds consentTimeout = std::chrono::minutes(2));
    ~PortalRemoteDesktop() override;
    // One key at a time: the portal hands calls on in threads of its own, and keys sent
    // before the last one was answered were seen to arrive out of order.
    void key(std::uint32_t evdevCode, bool pressed) override;
    // The portal's version of the interface (1: no kept permission, asks every time).
    std::uint32_t version() const { return version_; }

  private:
    // Calls a portal method that answers through a Request object; returns the
    // Response signal's results (a{sv} as argument 1).
    Message request(const char* method,
                    const std::function<void(DBusMessageIter*, const std::string& token)>& args,
                    std::chrono::milliseconds timeout);

    SessionBus bus_;
    std::string tokenFile_;
    std::string session_;
    std::uint32_t version_ = 1;
    int requests_ = 0;
};

// KWin's fake input (KDE Plasma), which KWin grants to programs whose desktop entry
// asks for it; layouts switched through KWin's keyboard layouts on the session bus.
// Throws DeviceError when the compositor does not offer it to us.
class KwinFakeInput final : public KeyInjector {
  public:
    explicit KwinFakeInput(WaylandConnection& connection);
    ~KwinFakeInput() override;
    void key(std::uint32_t evdevCode, bool pressed) override;
    // KWin offers its layouts on the bus only while more than one is configured.
    std::optional<std::uint32_t> activeLayout() override;
    void setLayout(std::uint32_t layout) override;

  private:
    org_kde_kwin_fake_input* fakeInput_ = nullptr;
    std::unique_ptr<SessionBus> bus_;  // none: layouts are not switched
};

}  // namespace kest::wayland
