#include "keyboard/wayland/SeatKeyboardDevice.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "keyboard/Cp1252.h"

namespace kest::wayland {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kEvdevOffset = 8;  // XKB key codes count from 8
constexpr std::uint32_t kEvdevLeftShift = 42;

std::string listed(const std::set<unsigned char>& characters) {
    std::string out;
    for (unsigned char c : characters) {
        if (!out.empty()) out += ' ';
        out += cp1252ToUtf8(std::string(1, char(c)));
    }
    return out;
}

}  // namespace

SeatKeyboardDevice::SeatKeyboardDevice(InjectorFactory factory, const char* displayName,
                                       SeatTiming timing)
    : factory_(std::move(factory)),
      displayName_(displayName ? displayName : ""),
      hasDisplayName_(displayName != nullptr),
      timing_(timing) {
    connect();
}

SeatKeyboardDevice::~SeatKeyboardDevice() {
    try {
        for (const auto& entry : held_) press(entry.second, false);
        if (connection_) connection_->roundtrip();
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "kest: letting go of held keys: %s\n", e.what());
    }
}

void SeatKeyboardDevice::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    ensureConnected();
    // Keys such as Shift and the arrows are where they are on every layout; letters
    // are looked for on the user's own.
    const std::uint32_t layout = userLayout();
    useLayout(layout);
    std::uint32_t keycode = 0;
    if (flags & kKeyUp) {
        if (auto it = held_.find(vk); it != held_.end()) {
            keycode = it->second;
            held_.erase(it);
        } else if (auto key = layoutKeys().virtualKey(vk, layout)) {
            keycode = *key;
        }
    } else if (auto key = layoutKeys().virtualKey(vk, layout)) {
        keycode = *key;
        held_[vk] = keycode;
    }
    // Codes that name no key of this keyboard have nothing to press.
    if (!keycode) return;
    press(keycode, !(flags & kKeyUp));
    pace();
}

void SeatKeyboardDevice::typeCharacter(unsigned char c) {
    ensureConnected();
    const std::uint32_t layout = userLayout();  // may take in a new keymap
    const auto keys = layoutKeys().character(c, layout, switchable_);
    if (keys) {
        useLayout(keys->layout);
        if (keys->strokes.size() > 1) {
            pace(true);
            std::this_thread::sleep_for(timing_.beforeDeadKey);
        }
        for (const KeyStroke& stroke : keys->strokes) typeStroke(stroke);
    } else {
        if (!told_.count(c)) untypable_.insert(c);
        typeUnicode(c);
    }
    pace();
}

void SeatKeyboardDevice::sync() {
    if (!connection_) return;
    if (userLayout_) useLayout(*userLayout_);
    pace(true);
    tellUntypable();
    // The user may switch layouts between two texts.
    userLayout_.reset();
}

void SeatKeyboardDevice::connect() {
    connection_ =
        std::make_unique<WaylandConnection>(hasDisplayName_ ? displayName_.c_str() : nullptr);
    try {
        if (!connection_->seat())
            throw DeviceError("the Wayland compositor has no seat to type on");
        const bool hadKeyboard = connection_->seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD;
        injector_ = factory_(*connection_);
        keymap_ = std::make_unique<SeatKeymap>(*connection_);
        // The first event on a seat that gains its keyboard only now is lost: a Shift
        // tap takes that place.
        if (!hadKeyboard) {
            injector_->key(kEvdevLeftShift, true);
            injector_->key(kEvdevLeftShift, false);
            injector_->settle(true);
        }
        const auto deadline = Clock::now() + timing_.announce;
        while (!keymap_->keys() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            connection_->roundtrip();
            keymap_->update();
        }
        if (!keymap_->keys())
            throw DeviceError("the desktop shows no keyboard layout to type with");
        if (!hadKeyboard) std::this_thread::sleep_for(timing_.settle);
    } catch (...) {
        drop();
        throw;
    }
    held_.clear();
}

// A desktop that went away (restarted, or the session ended) is reached anew for the
// next text, rather than leaving the program unable to type until it restarts.
void SeatKeyboardDevice::ensureConnected() {
    if (!connection_) connect();
}

const LayoutKeys& SeatKeyboardDevice::layoutKeys() {
    const LayoutKeys* keys = keymap_->keys();
    if (!keys) {
        drop();
        throw DeviceError("the desktop took the keyboard away from the seat");
    }
    return *keys;
}

std::uint32_t SeatKeyboardDevice::userLayout() {
    if (!userLayout_) {
        // The first key of a text: a keymap the user changed since is taken in first.
        try {
            connection_->roundtrip();
            keymap_->update();
        } catch (const DeviceError&) {
            drop();
            throw;
        }
        const auto asked = injector_->activeLayout();
        switchable_ = asked.has_value();
        userLayout_ = asked ? *asked : keymap_->activeLayout();
        currentLayout_ = userLayout_;
    }
    return *userLayout_;
}

void SeatKeyboardDevice::useLayout(std::uint32_t layout) {
    if (!currentLayout_) userLayout();
    if (*currentLayout_ == layout) return;
    try {
        injector_->setLayout(layout);
    } catch (const DeviceError&) {
        drop();
        throw;
    }
    currentLayout_ = layout;
}

void SeatKeyboardDevice::typeStroke(const KeyStroke& stroke) {
    std::vector<std::uint32_t> pressed;
    for (std::uint32_t kc : stroke.modifiers) {
        const bool held = std::any_of(held_.begin(), held_.end(),
                                      [kc](const auto& entry) { return entry.second == kc; });
        if (held || std::find(pressed.begin(), pressed.end(), kc) != pressed.end()) continue;
        press(kc, true);
        pressed.push_back(kc);
    }
    press(stroke.keycode, true);
    press(stroke.keycode, false);
    for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) press(*it, false);
}

// Ctrl+Shift+U, the character's code in hex, Space: GTK programs and input methods
// (IBus) turn it into the character. False when the layout lacks the keys for it.
bool SeatKeyboardDevice::typeUnicode(unsigned char c) {
    const std::uint32_t layout = userLayout();
    const LayoutKeys& keys = layoutKeys();
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", unsigned(cp1252ToUnicode(c)));
    std::vector<KeyStroke> strokes;
    const auto u = keys.keysym('u', layout);
    if (!u || !keys.controlKey() || !keys.shiftKey()) return false;
    strokes.push_back({{keys.controlKey(), keys.shiftKey()}, u->keycode});
    for (const char* digit = hex; *digit; ++digit) {
        const auto stroke = keys.keysym(x11::Keysym(*digit), layout);
        if (!stroke) return false;
        strokes.push_back(*stroke);
    }
    const auto space = keys.keysym(' ', layout);
    if (!space) return false;
    strokes.push_back(*space);
    useLayout(layout);
    for (const KeyStroke& stroke : strokes) typeStroke(stroke);
    return true;
}

void SeatKeyboardDevice::press(std::uint32_t keycode, bool down) {
    try {
        injector_->key(keycode - kEvdevOffset, down);
    } catch (const DeviceError&) {
        drop();
        throw;
    }
}

// One round trip per character (on the Wayland connection, which also brings any new
// keymap; with GNOME the replies over D-Bus too, a few keys deep): the desktop has
// handled the keys before the next character is looked up; the interval lets the
// receiver read them.
void SeatKeyboardDevice::pace(bool all) {
    try {
        injector_->settle(all);
        connection_->roundtrip();
        keymap_->update();
    } catch (const DeviceError&) {
        drop();
        throw;
    }
    // When this character is due at the set pace; the device may run a few characters
    // ahead of that, since on a busy machine every sleep costs a turn of the scheduler,
    // several milliseconds, and a sleep per character would slow typing down fivefold.
    const auto now = Clock::now();
    dueAt_ = std::max(dueAt_, now) + timing_.interval;
    const auto ahead = 4 * timing_.interval;
    if (dueAt_ - now > ahead) std::this_thread::sleep_until(dueAt_ - ahead);
}

void SeatKeyboardDevice::tellUntypable() {
    if (untypable_.empty()) return;
    notice(
        "No keyboard layout of this desktop has these characters; they were typed as "
        "Unicode input (Ctrl+Shift+U), which only GTK programs and input methods such as "
        "IBus understand, and are lost elsewhere: " +
        listed(untypable_));
    told_.insert(untypable_.begin(), untypable_.end());
    untypable_.clear();
}

void SeatKeyboardDevice::drop() {
    keymap_.reset();
    injector_.reset();
    connection_.reset();
    held_.clear();
    userLayout_.reset();
    currentLayout_.reset();
}

}  // namespace kest::wayland
