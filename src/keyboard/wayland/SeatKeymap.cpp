#include "keyboard/wayland/SeatKeymap.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

namespace kest::wayland {

namespace {

void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void onRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

std::string readKeymap(int fd, std::uint32_t size) {
    std::string text;
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data != MAP_FAILED) {
        const char* bytes = static_cast<const char*>(data);
        text.assign(bytes, strnlen(bytes, size));
        munmap(data, size);
    }
    close(fd);
    return text;
}

}  // namespace

std::string composeLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        const std::string locale = value;
        if (locale == "C" || locale == "POSIX" || locale.starts_with("C.")) break;
        return locale;
    }
    return "en_US.UTF-8";
}

SeatKeymap::SeatKeymap(WaylandConnection& connection) : connection_(connection) {
    update();
}

SeatKeymap::~SeatKeymap() {
    if (keyboard_) wl_keyboard_destroy(keyboard_);
}

void SeatKeymap::update() {
    const bool hasKeyboard = connection_.seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !keyboard_ && connection_.seat()) {
        static const wl_keyboard_listener listener{&onKeymap, &onEnter,     &onLeave,
                                                   &onKey,    &onModifiers, &onRepeat};
        keyboard_ = wl_seat_get_keyboard(connection_.seat());
        wl_keyboard_add_listener(keyboard_, &listener, this);
        // The compositor sends the keymap right away.
        connection_.roundtrip();
    } else if (!hasKeyboard && keyboard_) {
        wl_keyboard_destroy(keyboard_);
        keyboard_ = nullptr;
        keys_.reset();
    }
    if (!pending_) return;
    pending_ = false;
    keys_ = std::make_unique<LayoutKeys>(pendingText_, composeLocale());
    pendingText_.clear();
    ++generation_;
}

void SeatKeymap::onKeymap(void* self, wl_keyboard*, std::uint32_t format, int fd,
                          std::uint32_t size) {
    auto& keymap = *static_cast<SeatKeymap*>(self);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    keymap.pendingText_ = readKeymap(fd, size);
    keymap.pending_ = true;
}

void SeatKeymap::onModifiers(void* self, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                             std::uint32_t, std::uint32_t group) {
    static_cast<SeatKeymap*>(self)->activeLayout_ = group;
}

}  // namespace kest::wayland
