#include "keyboard/wayland/WaylandKeyboardDevice.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <thread>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace kest::wayland {

namespace {

// The keymap travels as a file: a memory file that the compositor maps.
int keymapFile(const std::string& text) {
    const int fd = memfd_create("kest-keymap", MFD_CLOEXEC);
    if (fd < 0) throw DeviceError("cannot create a memory file for the keymap");
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;  // receivers expect the terminating NUL
    while (left > 0) {
        const ssize_t n = write(fd, data, left);
        if (n <= 0) {
            close(fd);
            throw DeviceError("cannot write the keymap to its memory file");
        }
        data += n;
        left -= std::size_t(n);
    }
    return fd;
}

std::uint32_t milliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<std::chrono::milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

WaylandKeyboardDevice::WaylandKeyboardDevice(const char* displayName, Timing timing)
    : displayName_(displayName ? displayName : ""),
      hasDisplayName_(displayName != nullptr),
      timing_(timing),
      keymap_(WaylandKeymap::build()) {
    connect();
}

WaylandKeyboardDevice::~WaylandKeyboardDevice() {
    try {
        releaseAll();
    } catch (const DeviceError& e) {
        std::fprintf(stderr, "kest: releasing the virtual keyboard: %s\n", e.what());
    }
}

void WaylandKeyboardDevice::keybdEvent(std::uint8_t vk, std::uint32_t flags) {
    ensureConnected();
    waitUntilUsable();
    std::uint32_t keycode = 0;
    if (flags & kKeyUp) {
        if (auto it = held_.find(vk); it != held_.end()) {
            keycode = it->second;
            held_.erase(it);
        } else if (auto key = keymap_.virtualKey(vk)) {
            keycode = key->keycode;
        }
    } else {
        // Codes that name no key of a PC keyboard have no key to press; the event is
        // dropped, as no program would know what to make of it.
        const auto key = keymap_.virtualKey(vk);
        if (!key) return;
        keycode = key->keycode;
        held_[vk] = keycode;
        locked_ ^= keymap_.lockMask(vk);
    }
    if (!keycode) return;
    heldMods_ = 0;
    for (const auto& entry : held_) heldMods_ |= keymap_.heldMask(entry.first);
    sendKey(keycode, !(flags & kKeyUp));
    // The compositor keeps no modifier state for a virtual keyboard: it passes on
    // what we declare.
    sendModifiers(heldMods_, locked_);
    pace();
}

void WaylandKeyboardDevice::typeCharacter(unsigned char c) {
    ensureConnected();
    waitUntilUsable();
    const KeyPlacement& key = keymap_.character(c);
    // Caps Lock is lifted for the character: programs apply it to letters themselves,
    // and the character is typed as written. What the caller holds stays held.
    sendModifiers(heldMods_ | key.mods, locked_ & ~keymap_.masks().capsLock);
    sendKey(key.keycode, true);
    sendKey(key.keycode, false);
    sendModifiers(heldMods_, locked_);
    pace();
}

void WaylandKeyboardDevice::sync() {
    if (!connection_) return;
    pace();
}

void WaylandKeyboardDevice::connect() {
    connection_ =
        std::make_unique<WaylandConnection>(hasDisplayName_ ? displayName_.c_str() : nullptr);
    WaylandConnection& wl = *connection_;
    if (!wl.offers(zwp_virtual_keyboard_manager_v1_interface)) {
        connection_.reset();
        throw DeviceError(
            "the Wayland compositor offers no virtual keyboard (zwp_virtual_keyboard_v1)");
    }
    if (!wl.seat()) {
        connection_.reset();
        throw DeviceError("the Wayland compositor has no seat to type on");
    }
    const bool hadKeyboard = wl.seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD;
    manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl.bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, wl.seat());
    const int fd = keymapFile(keymap_.text());
    // The request takes its own copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, std::uint32_t(fd),
                                   std::uint32_t(keymap_.text().size() + 1));
    close(fd);
    held_.clear();
    heldMods_ = locked_ = sentDepressed_ = sentLocked_ = 0;
    usableAt_ = Clock::now();
    try {
        wl.roundtrip();
        if (hadKeyboard) return;
        const auto deadline = Clock::now() + timing_.announce;
        while (!(wl.seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            wl.roundtrip();
        }
    } catch (const DeviceError&) {
        releaseAll();
        throw;
    }
    usableAt_ = Clock::now() + timing_.settle;
}

// A connection that broke (the compositor restarted, or it threw us off) is made anew
// for the next text, rather than leaving the program unable to type until restarted.
void WaylandKeyboardDevice::ensureConnected() {
    if (!connection_) connect();
}

void WaylandKeyboardDevice::waitUntilUsable() {
    if (Clock::now() < usableAt_) std::this_thread::sleep_until(usableAt_);
}

void WaylandKeyboardDevice::sendKey(std::uint32_t keycode, bool down) {
    // The protocol counts keys as evdev does, eight below XKB.
    zwp_virtual_keyboard_v1_key(
        keyboard_, milliseconds(), keycode - 8,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandKeyboardDevice::sendModifiers(std::uint32_t depressed, std::uint32_t locked) {
    if (depressed == sentDepressed_ && locked == sentLocked_) return;
    zwp_virtual_keyboard_v1_modifiers(keyboard_, depressed, 0, locked, 0);
    sentDepressed_ = depressed;
    sentLocked_ = locked;
}

// One round trip per character: the compositor has handled every event of it before
// the next one is built; the gap then lets the receiver read them.
void WaylandKeyboardDevice::pace() {
    try {
        connection_->roundtrip();
    } catch (const DeviceError&) {
        releaseAll();
        throw;
    }
    if (timing_.gap.count() > 0) std::this_thread::sleep_for(timing_.gap);
}

// Lets go of every key and modifier and closes the connection.
void WaylandKeyboardDevice::releaseAll() {
    if (!connection_) return;
    for (const auto& entry : held_) sendKey(entry.second, false);
    held_.clear();
    heldMods_ = locked_ = 0;
    sendModifiers(0, 0);
    if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (manager_) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager_));
    keyboard_ = nullptr;
    manager_ = nullptr;
    connection_.reset();
}

}  // namespace kest::wayland
