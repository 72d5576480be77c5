#include "keyboard/KeyNotation.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "keyboard/KeyboardDevice.h"

namespace kest {

namespace {

// Actions handed on at a time: long pieces are typed in chunks of this many, so the
// memory a piece takes does not grow with its length.
constexpr std::size_t kChunkActions = 65536;

// Takes a chunk of actions; what it leaves in the vector is discarded.
using ActionSink = std::function<void(std::vector<KeyAction>&)>;

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
// balanced by construction and can be played without further bookkeeping. The
// actions go to the sink a chunk at a time.
class NotationParser {
  public:
    NotationParser(std::string_view keys, ActionSink sink) : keys_(keys), sink_(std::move(sink)) {}

    void parse() {
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
                    key({KeyAction::Kind::Tap, kVkReturn}, 1);
                    break;
                default:
                    key({KeyAction::Kind::Type, 0, static_cast<unsigned char>(c)}, 1);
            }
            ++pos;
        }
        if (!groupStarts_.empty()) fail("\"(\" never closed", keys_.size());
        // Modifiers with no key after them: nothing to hold them over, but whatever
        // was pressed must come up again.
        releaseReversed(pending_);
        sink_(actions_);
    }

  private:
    [[noreturn]] void fail(const std::string& what, std::size_t pos) const {
        throw KeyNotationError("invalid key notation at position " + std::to_string(pos + 1) +
                               ": " + what);
    }

    void pressModifier(std::uint8_t vk, std::size_t pos) {
        // A count per key rather than a search of every open group: thousands of open
        // groups must not make each modifier cost thousands of steps.
        if (held_[vk] > 0) fail(quoted(keys_.substr(pos, 1)) + " while it is already held", pos);
        emit({KeyAction::Kind::Press, vk});
        pending_.push_back(vk);
        ++held_[vk];
    }

    void openGroup() {
        // The modifiers written before "(" belong to the whole group. One flat stack
        // for all groups: a piece may open hundreds of thousands of them.
        groupStarts_.push_back(groupKeys_.size());
        groupKeys_.insert(groupKeys_.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }

    void closeGroup(std::size_t pos) {
        if (groupStarts_.empty()) fail("\")\" without \"(\"", pos);
        releaseReversed(pending_);
        releaseReversed(groupKeys_, groupStarts_.back());
        groupStarts_.pop_back();
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
            repeated_ += static_cast<std::size_t>(count);
            if (repeated_ > kMaxRepeatedKeys) {
                fail("repeats of more than " + std::to_string(kMaxRepeatedKeys) + " keys", pos);
            }
        }
        key(bracedKey(name, pos), count);
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
    void key(KeyAction action, int count) {
        for (int i = 0; i < count; ++i) emit(action);
        releaseReversed(pending_);
    }

    void emit(KeyAction action) {
        actions_.push_back(action);
        if (actions_.size() >= kChunkActions) {
            sink_(actions_);
            actions_.clear();
        }
    }

    // Releases the keys from position `from` on, last first, and drops them.
    void releaseReversed(std::vector<std::uint8_t>& keys, std::size_t from = 0) {
        for (std::size_t i = keys.size(); i > from; --i) {
            --held_[keys[i - 1]];
            emit({KeyAction::Kind::Release, keys[i - 1]});
        }
        keys.resize(from);
    }

    std::string_view keys_;
    ActionSink sink_;
    std::vector<KeyAction> actions_;        // the chunk being filled
    std::vector<std::uint8_t> pending_;     // pressed, waiting for their key
    std::vector<std::uint8_t> groupKeys_;   // modifiers of the open groups, in order
    std::vector<std::size_t> groupStarts_;  // where each open group's modifiers begin
    std::array<int, 256> held_{};           // how often each key is in pending_ and groups
    std::size_t repeated_ = 0;              // keys asked for by repeats so far
};

// Plays actions, possibly over several chunks of one piece, and remembers which keys
// are down so that a failure (or a hand-made list) leaves none pressed behind.
class KeyPlayer {
  public:
    explicit KeyPlayer(KeyboardDevice& device) : device_(device) {}

    void play(const std::vector<KeyAction>& actions) {
        try {
            for (const KeyAction& action : actions) playAction(action);
        } catch (...) {
            releaseRemaining();
            throw;
        }
    }

    // A hand-made list may press without releasing; no key stays down after a piece.
    void finish() { releaseRemaining(); }

  private:
    void releaseRemaining() {
        for (auto it = down_.rbegin(); it != down_.rend(); ++it) {
            try {
                device_.keybdEvent(*it, kKeyUp);
            } catch (...) {
                // The caller gets the first failure; a device that cannot release now
                // keeps failing, and the remaining keys still deserve their attempt.
            }
        }
        down_.clear();
    }

    void playAction(const KeyAction& action) {
        switch (action.kind) {
            case KeyAction::Kind::Press:
                // Recorded before the call: a press that fails half-way may have gone
                // through, and an extra release is harmless where a stuck key is not.
                down_.push_back(action.vk);
                device_.keybdEvent(action.vk, kKeyDown);
                break;
            case KeyAction::Kind::Release: {
                device_.keybdEvent(action.vk, kKeyUp);
                auto it = std::find(down_.rbegin(), down_.rend(), action.vk);
                if (it != down_.rend()) down_.erase(std::next(it).base());
                break;
            }
            case KeyAction::Kind::Tap:
                down_.push_back(action.vk);
                device_.keybdEvent(action.vk, kKeyDown);
                device_.keybdEvent(action.vk, kKeyUp);
                down_.pop_back();
                break;
            case KeyAction::Kind::Type:
                device_.typeCharacter(action.ch);
                break;
        }
    }

    KeyboardDevice& device_;
    std::vector<std::uint8_t> down_;
};

}  // namespace

std::vector<KeyAction> parseKeyNotation(std::string_view keys) {
    std::vector<KeyAction> all;
    NotationParser(keys, [&all](std::vector<KeyAction>& chunk) {
        all.insert(all.end(), chunk.begin(), chunk.end());
    }).parse();
    return all;
}

void playKeyActions(const std::vector<KeyAction>& actions, KeyboardDevice& device) {
    KeyPlayer player(device);
    player.play(actions);
    player.finish();
}

void SendKeys(std::string_view keys, bool wait, KeyboardDevice& device) {
    // Two passes: the first only validates (and collects the characters to type), so
    // that invalid notation types nothing however long the piece is; the second types
    // as it parses.
    std::string characters;
    std::array<bool, 256> seen{};
    NotationParser(keys, [&](std::vector<KeyAction>& chunk) {
        for (const KeyAction& a : chunk) {
            if (a.kind == KeyAction::Kind::Type && !std::exchange(seen[a.ch], true))
                characters.push_back(static_cast<char>(a.ch));
        }
    }).parse();
    device.prepareCharacters(characters);
    KeyPlayer player(device);
    NotationParser(keys, [&player](std::vector<KeyAction>& chunk) { player.play(chunk); }).parse();
    player.finish();
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
