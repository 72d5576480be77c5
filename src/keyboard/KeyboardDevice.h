#pragma once
// The seam between keystroke text and the platform's input synthesis.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kest {

// keybd_event flags.
constexpr std::uint32_t kKeyDown = 0;
constexpr std::uint32_t kKeyUp = 2;

// The Windows virtual keys that the core names.
constexpr std::uint8_t kVkReturn = 13;
constexpr std::uint8_t kVkShift = 16;
constexpr std::uint8_t kVkControl = 17;
constexpr std::uint8_t kVkMenu = 18;

// The platform took the keys only in part, or would lose them without a word: the
// screen is locked, a UAC prompt is up, the window in front runs with more rights than
// ours. Nothing is wrong with the keys themselves: the text waits and is typed on from
// where it stopped once keys are accepted again. what() says why, in the user's words.
class KeysRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    // The refused call's own key went in; only what follows it (a release) did not.
    bool lastWentIn = false;
    // The key events of the piece that went in before the refusal; the dispatch fills
    // it in, so that the piece resumes after them.
    std::size_t eventsDone = 0;
};

class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;

    // keybd_event(vk, 0, flags, 0): a raw press (kKeyDown) or release (kKeyUp) of a
    // Windows virtual key. No layout or lock-key compensation on this path.
    virtual void keybdEvent(std::uint8_t vk, std::uint32_t flags) = 0;

    // Types one Windows-1252 character as written, with whatever modifiers (and
    // group) the current layout needs, leaving alone the modifiers that the caller
    // holds through keybdEvent. Control characters type as Windows maps them
    // (8 Backspace, 9 Tab, 13 Enter, 27 Escape, 10 Ctrl+Enter, 1..26 Ctrl+letter).
    virtual void typeCharacter(unsigned char c) = 0;

    // The characters that typeCharacter is about to get for one piece, before the
    // first of them: a device that must set up keys for some does it for all at once.
    virtual void prepareCharacters(std::string_view /*text*/) {}

    // Returns when the display server has taken every event sent so far.
    virtual void sync() = 0;

    // The end of a piece, whether it was typed whole or not: every key it pressed has
    // been released or given up on, so a device forgets what it believed was held.
    virtual void endPiece() {}

    // Where the device tells the user what it could not do, or did otherwise than
    // asked (characters no layout has, a desktop that refuses part of a request). The
    // program shows each distinct message (UTF-8) once, in the debug list and the log.
    void setNoticeHandler(std::function<void(const std::string&)> handler) {
        notice_ = std::move(handler);
    }

  protected:
    void notice(const std::string& message) {
        if (notice_) notice_(message);
    }

  private:
    std::function<void(const std::string&)> notice_;
};

}  // namespace kest
