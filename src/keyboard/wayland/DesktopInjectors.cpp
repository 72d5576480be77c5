#include "keyboard/wayland/DesktopInjectors.h"

#include <wayland-client.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fake-input-client-protocol.h"

namespace kest::wayland {

namespace {

constexpr const char* kMutterPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kMutterSession = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* kKwinLayouts = "org.kde.keyboard";
constexpr std::uint32_t kKeyboardDevice = 1;  // the portal's device type bit
constexpr std::uint32_t kPersistUntilRevoked = 2;

std::string readToken(const std::string& file) {
    if (file.empty()) return {};
    std::ifstream in(file);
    std::string token;
    std::getline(in, token);
    return token;
}

}  // namespace

// --- GNOME: mutter's remote desktop ---

MutterRemoteDesktop::MutterRemoteDesktop() {
    if (!bus_.hasOwner(kMutterRemoteDesktop))
        throw DeviceError("GNOME's remote desktop (org.gnome.Mutter.RemoteDesktop) is not there");
    session_ = firstPath(
        bus_.call(kMutterRemoteDesktop, kMutterPath, kMutterRemoteDesktop, "CreateSession").get());
    if (session_.empty()) throw DeviceError("GNOME's remote desktop gave no session");
    bus_.call(kMutterRemoteDesktop, session_.c_str(), kMutterSession, "Start");
}

MutterRemoteDesktop::~MutterRemoteDesktop() {
    try {
        bus_.call(kMutterRemoteDesktop, session_.c_str(), kMutterSession, "Stop");
    } catch (const DeviceError&) {
        // mutter is gone, and the session with it.
    }
}

void MutterRemoteDesktop::key(std::uint32_t evdevCode, bool pressed) {
    // The keys of one character go out together; the device waits for the last reply.
    bus_.post(kMutterRemoteDesktop, session_.c_str(), kMutterSession, "NotifyKeyboardKeycode",
              [&](DBusMessageIter* it) {
                  appendUint32(it, evdevCode);
                  appendBool(it, pressed);
              });
}

// --- the desktop portal ---

PortalRemoteDesktop::PortalRemoteDesktop(std::string tokenFile,
                                         std::chrono::milliseconds consentTimeout)
    : tokenFile_(std::move(tokenFile)) {
    // The portal is usually started by the bus when first called.
    if (!bus_.reachable(kPortal)) throw DeviceError("there is no desktop portal");
    try {
        Message reply = bus_.call(kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
                                  [](DBusMessageIter* it) {
                                      appendString(it, kPortalRemoteDesktop);
                                      appendString(it, "version");
                                  });
        DBusMessageIter args, variant;
        if (dbus_message_iter_init(reply.get(), &args) &&
            dbus_message_iter_get_arg_type(&args) == DBUS_TYPE_VARIANT) {
            dbus_message_iter_recurse(&args, &variant);
            if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_UINT32)
                dbus_message_iter_get_basic(&variant, &version_);
        }
    } catch (const DeviceError&) {
        throw DeviceError("the desktop portal offers no remote desktop");
    }
    const auto quick = std::chrono::seconds(10);
    Message created = request(
        "CreateSession",
        [](DBusMessageIter* it, const std::string& token) {
            appendDictionary(it, [&](DBusMessageIter* d) {
                appendEntry(d, "handle_token", token);
                appendEntry(d, "session_handle_token", token);
            });
        },
        quick);
    session_ = dictionaryString(created.get(), 1, "session_handle");
    if (session_.empty()) throw DeviceError("the desktop portal gave no session");
    const std::string restore = readToken(tokenFile_);
    request(
        "SelectDevices",
        [&](DBusMessageIter* it, const std::string& token) {
            appendObjectPath(it, session_);
            appendDictionary(it, [&](DBusMessageIter* d) {
                appendEntry(d, "handle_token", token);
                appendEntry(d, "types", kKeyboardDevice);
                if (version_ >= 2) {
                    appendEntry(d, "persist_mode", kPersistUntilRevoked);
                    if (!restore.empty()) appendEntry(d, "restore_token", restore);
                }
            });
        },
        quick);
    // Here the desktop asks the user.
    Message started = request(
        "Start",
        [&](DBusMessageIter* it, const std::string& token) {
            appendObjectPath(it, session_);
            appendString(it, "");
            appendDictionary(it,
                             [&](DBusMessageIter* d) { appendEntry(d, "handle_token", token); });
        },
        consentTimeout);
    const std::string kept = dictionaryString(started.get(), 1, "restore_token");
    if (!kept.empty() && !tokenFile_.empty()) {
        std::error_code ignored;  // no token kept only means being asked again
        std::filesystem::create_directories(std::filesystem::path(tokenFile_).parent_path(),
                                            ignored);
        std::ofstream(tokenFile_) << kept << '\n';
    }
}

PortalRemoteDesktop::~PortalRemoteDesktop() {
    try {
        bus_.call(kPortal, session_.c_str(), "org.freedesktop.portal.Session", "Close");
    } catch (const DeviceError&) {
    }
}

Message PortalRemoteDesktop::request(
    const char* method, const std::function<void(DBusMessageIter*, const std::string& token)>& args,
    std::chrono::milliseconds timeout) {
    const std::string token = "kest" + std::to_string(++requests_);
    // The portal answers on an object named after our bus name and the token; we
    // listen there before asking, so that a quick answer is not missed.
    std::string sender = bus_.uniqueName().substr(1);
    for (char& c : sender) {
        if (c == '.') c = '_';
    }
    const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    bus_.listen(path, "org.freedesktop.portal.Request");
    bus_.call(kPortal, kPortalPath, kPortalRemoteDesktop, method,
              [&](DBusMessageIter* it) { args(it, token); });
    Message response = bus_.waitForSignal(path, "Response", timeout);
    if (!response) throw DeviceError(std::string("the desktop portal did not answer ") + method);
    const std::uint32_t code = firstUint32(response.get());
    if (code == 1) throw DeviceError("the user did not allow Kest Redirect to type");
    if (code != 0) throw DeviceError(std::string("the desktop portal refused ") + method);
    return response;
}

void PortalRemoteDesktop::key(std::uint32_t evdevCode, bool pressed) {
    bus_.call(kPortal, kPortalPath, kPortalRemoteDesktop, "NotifyKeyboardKeycode",
              [&](DBusMessageIter* it) {
                  appendObjectPath(it, session_);
                  appendDictionary(it);
                  appendInt32(it, std::int32_t(evdevCode));
                  appendUint32(it, pressed ? 1 : 0);
              });
}

// --- KDE Plasma: KWin's fake input ---

KwinFakeInput::KwinFakeInput(WaylandConnection& connection) {
    fakeInput_ = static_cast<org_kde_kwin_fake_input*>(
        connection.bind(org_kde_kwin_fake_input_interface, 4));
    if (!fakeInput_) {
        throw DeviceError(
            "KWin does not offer its fake input to this program (org_kde_kwin_fake_input)");
    }
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(fakeInput_)) < 4) {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(fakeInput_));
        throw DeviceError("KWin's fake input is too old to press keys");
    }
    org_kde_kwin_fake_input_authenticate(fakeInput_, "Kest Redirect",
                                         "types what scanners and serial devices send");
    connection.roundtrip();
    try {
        bus_ = std::make_unique<SessionBus>();
    } catch (const DeviceError&) {
        bus_.reset();
    }
}

KwinFakeInput::~KwinFakeInput() {
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(fakeInput_));
}

void KwinFakeInput::key(std::uint32_t evdevCode, bool pressed) {
    org_kde_kwin_fake_input_keyboard_key(
        fakeInput_, evdevCode,
        pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

std::optional<std::uint32_t> KwinFakeInput::activeLayout() {
    if (!bus_ || !bus_->hasOwner(kKwinLayouts)) return std::nullopt;
    try {
        return firstUint32(
            bus_->call(kKwinLayouts, "/Layouts", "org.kde.KeyboardLayouts", "getLayout").get());
    } catch (const DeviceError&) {
        return std::nullopt;
    }
}

void KwinFakeInput::setLayout(std::uint32_t layout) {
    if (!bus_) return;
    bus_->call(kKwinLayouts, "/Layouts", "org.kde.KeyboardLayouts", "setLayout",
               [&](DBusMessageIter* it) { appendUint32(it, layout); });
}

}  // namespace kest::wayland
