#include "keyboard/KeyNotation.h"

#include <algorithm>
#include <optional>
#include <string>

#include "keyboard/KeyboardDevice.h"

namespace kest {

namespace {

constexpr std::uint8_t kVkReturn = 13;
constexpr std::uint8_t kVkShift = 16;
constexpr std::uint8_t kVkControl = 17;
constexpr std::uint8_t kVkMenu = 18;

struct NamedKey {
    std::string_view name;
    std::uint8_t vk;
};

constexpr NamedKey kNamedKeys[] = {
    {"BACKSPACE", 8}, {"BS", 8},      {"BKSP", 8},   {"BREAK", 3},     {"CAPSLOCK", 20},
    {"DELETE", 46},   {"DEL", 46},    {"UP", 38},    {"DOWN", 40},     {"LEFT", 37},
    {"RIGHT", 39},    {"END", 35},    {"HOME", 36},  {"ENTER", 13},    {"ESC", 27},
    {"HELP", 47},     {"INSERT", 45}, {"INS", 45},   {"NUMLOCK", 144}, {"SCROLLLOCK", 145},
    {"PGDN", 34},     {"PGUP", 33},   {"PRTSC", 44}, {"TAB", 9},       {"F1", 112},
    {"F2", 113},      {"F3", 114},    {"F4", 115},   {"F5", 116},      {"F6", 117},
    {"F7", 118},      {"F8", 119},    {"F9", 120},   {"F10", 121},     {"F11", 122},
    {"F12", 123},     {"F13", 124},   {"F14", 125},  {"F15", 126},     {"F16", 127},
};

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::optional<std::uint8_t> namedKey(std::string_view name) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), key.name.begin(),
                       [](char a, char b) { return asciiUpper(a) == b; })) {
            return key.vk;
        }
    }
    return std::nullopt;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// One pass over the piece. Modifiers are pressed where they appear and released, in
// reverse order, right after the key or group they apply to, so the action list is
// balanced by construction and can be played without further bookkeeping.
class NotationParser {
  public:
    explicit NotationParser(std::string_view keys) : keys_(keys) {}

    std::vector<KeyAction> parse() {
        std::size_t pos = 0;
        while (pos < keys_.size()) {
            char c = keys_[pos];
            switch (c) {
                case '+':
                    pressModifier(kVkShift, pos);
                    break;
                case '^':
                    pressModifier(kVkControl, pos);
                    break;
                case '%':
                    pressModifier(kVkMenu, pos);
                    break;
                case '(':
                    openGroup();
                    break;
                case ')':
                    closeGroup(pos);
                    break;
                case '{':
                    pos = braced(pos);
                    continue;
                case '}':
                    fail("\"}\" without \"{\"", pos);
                case '~':
                    key({KeyAction::Kind::Tap, kVkReturn}, 1, pos);
                    break;
                default:
                    key({KeyAction::Kind::Type, 0, static_cast<unsigned char>(c)}, 1, pos);
            }
            ++pos;
        }
        if (!groups_.empty()) fail("\"(\" never closed", keys_.size());
        // Modifiers with no key after them: nothing to hold them over, but whatever
        // was pressed must come up again.
        releaseReversed(pending_);
        return std::move(actions_);
    }

  private:
    [[noreturn]] void fail(const std::string& what, std::size_t pos) const {
        throw KeyNotationError("invalid key notation at position " + std::to_string(pos + 1) +
                               ": " + what);
    }

    bool isHeld(std::uint8_t vk) const {
        auto holds = [vk](const std::vector<std::uint8_t>& keys) {
            return std::find(keys.begin(), keys.end(), vk) != keys.end();
        };
        return holds(pending_) || std::any_of(groups_.begin(), groups_.end(), holds);
    }

    void pressModifier(std::uint8_t vk, std::size_t pos) {
        if (isHeld(vk)) fail(quoted(keys_.substr(pos, 1)) + " while it is already held", pos);
        emit({KeyAction::Kind::Press, vk}, pos);
        pending_.push_back(vk);
    }

    void openGroup() {
        // The modifiers written before "(" belong to the whole group.
        groups_.push_back(std::move(pending_));
        pending_.clear();
    }

    void closeGroup(std::size_t pos) {
        if (groups_.empty()) fail("\")\" without \"(\"", pos);
        releaseReversed(pending_);
        releaseReversed(groups_.back());
        groups_.pop_back();
    }

    // Reads "{...}" starting at pos and returns the position after its "}".
    std::size_t braced(std::size_t pos) {
        // "{}}" is a literal "}": a "}" right after "{" is content, not the end.
        std::size_t contentStart = pos + 1;
        std::size_t searchFrom = contentStart;
        if (searchFrom < keys_.size() && keys_[searchFrom] == '}') ++searchFrom;
        std::size_t close = keys_.find('}', searchFrom);
        if (close == std::string_view::npos) fail("\"{\" without \"}\"", pos);
        std::string_view content = keys_.substr(contentStart, close - contentStart);
        if (content.empty()) fail("empty braces \"{}\"", pos);

        std::string_view name = content;
        int count = 1;
        std::size_t space = content.size() > 1 ? content.find(' ', 1) : std::string_view::npos;
        if (space != std::string_view::npos) {
            name = content.substr(0, space);
            count = repeatCount(content.substr(space + 1), pos);
        }
        key(bracedKey(name, pos), count, pos);
        return close + 1;
    }

    KeyAction bracedKey(std::string_view name, std::size_t pos) const {
        if (name.size() == 1)
            return {KeyAction::Kind::Type, 0, static_cast<unsigned char>(name[0])};
        if (auto vk = namedKey(name)) return {KeyAction::Kind::Tap, *vk};
        fail("unknown key name " + quoted(name), pos);
    }

    int repeatCount(std::string_view digits, std::size_t pos) const {
        if (digits.empty()) fail("missing repeat count", pos);
        int count = 0;
        for (char d : digits) {
            if (d < '0' || d > '9')
                fail("repeat count " + quoted(digits) + " is not a number", pos);
            count = count * 10 + (d - '0');
            if (count > kMaxRepeat) {
                fail("repeat count " + quoted(digits) + " is above " + std::to_string(kMaxRepeat),
                     pos);
            }
        }
        return count;
    }

    // A key (or a repeated one) ends the reach of the modifiers pending before it.
    void key(KeyAction action, int count, std::size_t pos) {
        if (actions_.size() + static_cast<std::size_t>(count) > kMaxKeyActions) {
            fail("more than " + std::to_string(kMaxKeyActions) + " key actions", pos);
        }
        for (int i = 0; i < count; ++i) actions_.push_back(action);
        releaseReversed(pending_);
    }

    void emit(KeyAction action, std::size_t pos) {
        if (actions_.size() >= kMaxKeyActions) {
            fail("more than " + std::to_string(kMaxKeyActions) + " key actions", pos);
        }
        actions_.push_back(action);
    }

    // Releases are never refused by the size limit: a list that pressed a key must
    // also release it.
    void releaseReversed(std::vector<std::uint8_t>& keys) {
        for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
            actions_.push_back({KeyAction::Kind::Release, *it});
        }
        keys.clear();
    }

    std::string_view keys_;
    std::vector<KeyAction> actions_;
    std::vector<std::uint8_t> pending_;              // pressed, waiting for their key
    std::vector<std::vector<std::uint8_t>> groups_;  // modifiers of each open group
};

void releaseRemaining(std::vector<std::uint8_t>& down, KeyboardDevice& device) {
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        try {
            device.keybdEvent(*it, kKeyUp);
        } catch (...) {
            // The caller gets the first failure; a device that cannot release now keeps
            // failing, and the remaining keys still deserve their attempt.
        }
    }
    down.clear();
}

void playAction(const KeyAction& action, KeyboardDevice& device, std::vector<std::uint8_t>& down) {
    switch (action.kind) {
        case KeyAction::Kind::Press:
            // Recorded before the call: a press that fails half-way may have gone
            // through, and an extra release is harmless where a stuck key is not.
            down.push_back(action.vk);
            device.keybdEvent(action.vk, kKeyDown);
            break;
        case KeyAction::Kind::Release: {
            device.keybdEvent(action.vk, kKeyUp);
            auto it = std::find(down.rbegin(), down.rend(), action.vk);
            if (it != down.rend()) down.erase(std::next(it).base());
            break;
        }
        case KeyAction::Kind::Tap:
            down.push_back(action.vk);
            device.keybdEvent(action.vk, kKeyDown);
            device.keybdEvent(action.vk, kKeyUp);
            down.pop_back();
            break;
        case KeyAction::Kind::Type:
            device.typeCharacter(action.ch);
            break;
    }
}

}  // namespace

std::vector<KeyAction> parseKeyNotation(std::string_view keys) {
    return NotationParser(keys).parse();
}

void playKeyActions(const std::vector<KeyAction>& actions, KeyboardDevice& device) {
    std::vector<std::uint8_t> down;
    try {
        for (const KeyAction& action : actions) playAction(action, device, down);
    } catch (...) {
        releaseRemaining(down, device);
        throw;
    }
    // A hand-made list may press without releasing; no key stays down after a piece.
    releaseRemaining(down, device);
}

void SendKeys(std::string_view keys, bool wait, KeyboardDevice& device) {
    std::vector<KeyAction> actions = parseKeyNotation(keys);
    playKeyActions(actions, device);
    if (wait) device.sync();
}

std::string literalKeyNotation(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (std::string_view("+^%~(){}[]").find(c) != std::string_view::npos) {
            out += '{';
            out += c;
            out += '}';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace kest
