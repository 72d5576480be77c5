// Key notation through SendKeys on the recording device: keys always balance, a
// rejected piece types nothing, the streamed typing equals the parsed list played
// whole, and a device failure at any event leaves no key down.

#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/RecordingKeyboardDevice.h"

namespace {

using kest::KeyAction;
using kest::RecordingKeyboardDevice;

// Presses and releases pair up as brackets: every release closes the latest press
// of its key that is still open, and nothing is left open at the end.
bool balanced(const std::vector<KeyAction>& actions) {
    std::vector<std::uint8_t> open;
    for (const KeyAction& a : actions) {
        if (a.kind == KeyAction::Kind::Press) open.push_back(a.vk);
        if (a.kind == KeyAction::Kind::Release) {
            if (open.empty() || open.back() != a.vk) return false;
            open.pop_back();
        }
    }
    return open.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = kest::fuzz::asText(data, size);
    const unsigned failPick = input.empty() ? 0 : static_cast<unsigned char>(input.front());
    const std::string_view keys = input.empty() ? input : input.substr(1);

    std::vector<KeyAction> actions;
    bool valid = true;
    try {
        actions = kest::parseKeyNotation(keys);
    } catch (const kest::KeyNotationError&) {
        valid = false;
    }

    RecordingKeyboardDevice streamed;
    bool rejected = false;
    try {
        kest::SendKeys(keys, true, streamed);
    } catch (const kest::KeyNotationError&) {
        rejected = true;
    }
    FUZZ_CHECK(rejected == !valid);
    if (!valid) {
        FUZZ_CHECK(streamed.events().empty());
        return 0;
    }
    FUZZ_CHECK(balanced(actions));
    FUZZ_CHECK(streamed.keysDown().empty());

    RecordingKeyboardDevice whole;
    kest::playKeyActions(actions, whole);
    whole.sync();
    FUZZ_CHECK(whole.events() == streamed.events());

    // One injected failure per input, at an event the first byte picks.
    const int events = static_cast<int>(streamed.events().size()) - 1;  // the sync last
    if (events <= 0) return 0;
    RecordingKeyboardDevice failing;
    failing.failAfter(static_cast<int>(failPick % static_cast<unsigned>(events)));
    bool threw = false;
    try {
        kest::SendKeys(keys, true, failing);
    } catch (const std::exception&) {
        threw = true;
    }
    FUZZ_CHECK(threw);
    FUZZ_CHECK(failing.keysDown().empty());
    return 0;
}
