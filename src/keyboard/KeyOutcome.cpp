#include "keyboard/KeyOutcome.h"

#include <array>
#include <string_view>

#include "keyboard/KeyboardDevice.h"

namespace kest {

namespace {

using Event = RecordingKeyboardDevice::Event;

struct KeyName {
    std::uint8_t vk;
    std::string_view name;
};

constexpr KeyName kKeyNames[] = {
    {3, "Break"},          {8, "Backspace"},     {9, "Tab"},
    {13, "Enter"},         {16, "Shift"},        {17, "Ctrl"},
    {18, "Alt"},           {19, "Pause"},        {20, "Caps Lock"},
    {27, "Esc"},           {32, "Space"},        {33, "Page Up"},
    {34, "Page Down"},     {35, "End"},          {36, "Home"},
    {37, "Left"},          {38, "Up"},           {39, "Right"},
    {40, "Down"},          {44, "Print Screen"}, {45, "Insert"},
    {46, "Delete"},        {47, "Help"},         {91, "Left Windows"},
    {92, "Right Windows"}, {93, "Menu"},         {144, "Num Lock"},
    {145, "Scroll Lock"},
};

// Keys that the player holds over the next key rather than typing.
bool isModifier(std::uint8_t vk) {
    return vk == kVkShift || vk == kVkControl || vk == kVkMenu;
}

class OutcomeBuilder {
  public:
    KeyOutcome take() { return std::move(outcome_); }

    void add(const Event& e) {
        switch (e.kind) {
            case Event::Kind::Down:
                if (isModifier(e.code)) ++held_[e.code];
                if (!isModifier(e.code)) key(e.code);
                break;
            case Event::Kind::Up:
                if (isModifier(e.code) && held_[e.code] > 0) --held_[e.code];
                break;
            case Event::Kind::Char:
                character(static_cast<unsigned char>(e.code));
                break;
            case Event::Kind::Sync:
                break;
        }
    }

    void describe(const std::vector<Event>& events) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            const Event& e = events[i];
            if (e.kind == Event::Kind::Down && i + 1 < events.size() &&
                events[i + 1] == RecordingKeyboardDevice::up(e.code)) {
                outcome_.events.push_back(virtualKeyName(e.code));
                ++i;
            } else if (e.kind == Event::Kind::Down || e.kind == Event::Kind::Up) {
                outcome_.events.push_back(virtualKeyName(e.code) +
                                          (e.kind == Event::Kind::Down ? " down" : " up"));
            } else if (e.kind == Event::Kind::Char) {
                outcome_.events.push_back("'" + withVisibleControls(std::string(1, char(e.code))) +
                                          "'");
            }
        }
    }

  private:
    bool shift() const { return held_[kVkShift] > 0; }
    bool ctrl() const { return held_[kVkControl] > 0; }
    bool alt() const { return held_[kVkMenu] > 0; }

    std::string chordOf(const std::string& name) const {
        return std::string(ctrl() ? "Ctrl+" : "") + (alt() ? "Alt+" : "") +
               (shift() ? "Shift+" : "") + name;
    }

    void typed(char c) {
        outcome_.characters += c;
        outcome_.shown += withVisibleControls(std::string(1, c));
    }
    void noCharacter(const std::string& name) { outcome_.shown += "{" + chordOf(name) + "}"; }

    // A virtual key pressed by the player or a named key of the notation.
    void key(std::uint8_t vk) {
        const bool letter = vk >= 'A' && vk <= 'Z';
        if (letter && ctrl() && !alt()) return typed(static_cast<char>(vk - 64));
        if (alt() || ctrl()) return noCharacter(virtualKeyName(vk));
        if (letter) return typed(static_cast<char>(shift() ? vk : vk + 32));
        if (vk == ' ') return typed(' ');
        if (!shift() && vk >= '0' && vk <= '9') return typed(static_cast<char>(vk));
        if (!shift() && (vk == 8 || vk == 9 || vk == 13 || vk == 27))
            return typed(static_cast<char>(vk));
        noCharacter(virtualKeyName(vk));
    }

    // A character typed as written: the device finds the key and the modifiers the
    // layout needs; only those the caller holds on top change what arrives.
    void character(unsigned char c) {
        const bool lower = c >= 'a' && c <= 'z';
        if (ctrl() && !alt() && (lower || (c >= 'A' && c <= 'Z')))
            return typed(static_cast<char>((c & 0x1F)));
        if (alt() || ctrl()) return noCharacter(std::string(1, static_cast<char>(c)));
        if (shift() && lower) return typed(static_cast<char>(c - 32));
        if (shift() && c != ' ') return noCharacter(withVisibleControls(std::string(1, char(c))));
        // Code 10 is Ctrl+Enter, which types no line feed; the other control codes
        // below 27 are their keys or Ctrl with their letter, and type themselves.
        if (c == 10) return noCharacter("Ctrl+Enter");
        if (c == 0 || (c > 27 && c < 32) || c == 127)
            return noCharacter("ASCII:" + std::to_string(c));
        typed(static_cast<char>(c));
    }

    KeyOutcome outcome_;
    std::array<int, 256> held_{};
};

}  // namespace

std::string virtualKeyName(std::uint8_t vk) {
    for (const KeyName& k : kKeyNames)
        if (k.vk == vk) return std::string(k.name);
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, char(vk));
    if (vk >= 112 && vk <= 135) return "F" + std::to_string(vk - 111);
    if (vk >= 96 && vk <= 105) return "Num " + std::to_string(vk - 96);
    return "VK " + std::to_string(vk);
}

KeyOutcome describeKeyEvents(const std::vector<RecordingKeyboardDevice::Event>& events) {
    OutcomeBuilder builder;
    builder.describe(events);
    for (const Event& e : events) builder.add(e);
    return builder.take();
}

std::string withVisibleControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32 || code == 127) {
            out += "{ASCII:" + std::to_string(code) + "}";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kest
