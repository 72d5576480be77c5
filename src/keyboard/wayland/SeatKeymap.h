#pragma once
// The seat's keyboard layouts as the compositor hands them to every client: the
// keymap of wl_keyboard, read with xkbcommon and followed when it changes (the user
// adds a layout, or a keyboard with another keymap takes over).

#include <cstdint>
#include <memory>

#include "keyboard/wayland/LayoutKeys.h"
#include "keyboard/wayland/WaylandConnection.h"

struct wl_keyboard;

namespace kest::wayland {

class SeatKeymap {
  public:
    explicit SeatKeymap(WaylandConnection& connection);
    ~SeatKeymap();
    SeatKeymap(const SeatKeymap&) = delete;
    SeatKeymap& operator=(const SeatKeymap&) = delete;

    // Takes in what the compositor has sent since (call after a round trip): a keyboard
    // the seat gained or lost, a new keymap. Throws KeymapError for a keymap that
    // cannot be read.
    void update();
    // The layouts; nullptr while the seat has no keyboard or sent no keymap yet.
    const LayoutKeys* keys() const { return keys_.get(); }
    // Counts the keymaps read, so that users can tell a change.
    std::uint64_t generation() const { return generation_; }
    // The layout in use as the compositor last told us (it tells only the client that
    // has the focus, so usually the first one).
    std::uint32_t activeLayout() const { return activeLayout_; }

  private:
    static void onKeymap(void* self, wl_keyboard*, std::uint32_t format, int fd,
                         std::uint32_t size);
    static void onModifiers(void* self, wl_keyboard*, std::uint32_t serial, std::uint32_t depressed,
                            std::uint32_t latched, std::uint32_t locked, std::uint32_t group);

    WaylandConnection& connection_;
    wl_keyboard* keyboard_ = nullptr;
    std::string pendingText_;
    bool pending_ = false;
    std::unique_ptr<LayoutKeys> keys_;
    std::uint64_t generation_ = 0;
    std::uint32_t activeLayout_ = 0;
};

// The compose tables that dead keys are read with: the user's locale's, or the
// common UTF-8 one where the locale has none (C, POSIX).
std::string composeLocale();

}  // namespace kest::wayland
