// What recorded key events come to: the characters a receiver gets, and honest names
// for the keys that type none.

#include <gtest/gtest.h>

#include "keyboard/ApiKbII.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/KeyOutcome.h"
#include "keyboard/RecordingKeyboardDevice.h"
#include "support/FakeClock.h"

using namespace kest;

namespace {

KeyOutcome viaSendKeys(const std::string& keys) {
    RecordingKeyboardDevice device;
    SendKeys(keys, false, device);
    return describeKeyEvents(device.events());
}

KeyOutcome viaPlayer(std::string keys) {
    RecordingKeyboardDevice device;
    test::FakeClock clock;
    API_SEND_KEYS(keys, device, clock);
    return describeKeyEvents(device.events());
}

}  // namespace

TEST(KeyOutcome, CharactersOfBothPathsWithModifiersApplied) {
    EXPECT_EQ(viaSendKeys("a+b^c+z^z~{TAB}{BS}{ESC}").characters, "aB\x03Z\x1a\r\t\b\x1b");
    EXPECT_EQ(viaPlayer("aB1 ^c{ENTER}").characters, "aB1 \x03\r");
    const std::vector<std::string> capitalZ = {"Shift down", "Z", "Shift up"};
    EXPECT_EQ(viaPlayer("Z").events, capitalZ);
    // Characters 1 to 26 are typed as Ctrl with their letter, 10 as Ctrl+Enter.
    const KeyOutcome controls = viaSendKeys(std::string("\x01\x0a"));
    EXPECT_EQ(controls.characters, "\x01");
    EXPECT_EQ(controls.shown, "{ASCII:1}{Ctrl+Enter}");
}

TEST(KeyOutcome, KeysThatTypeNoCharacterAreNamedNotGuessed) {
    // The player types '.' as virtual key 46 (Delete) and '!' as 33 (Page Up).
    const KeyOutcome player = viaPlayer("x.!");
    EXPECT_EQ(player.characters, "x");
    EXPECT_EQ(player.shown, "x{Delete}{Page Up}");
    // What Shift or Alt make of other keys depends on the layout: named, not typed.
    const KeyOutcome chords = viaSendKeys("+1%{F4}%x{LEFT}");
    EXPECT_EQ(chords.characters, "");
    EXPECT_EQ(chords.shown, "{Shift+1}{Alt+F4}{Alt+x}{Left}");
    const std::vector<std::string> events = {"Alt down", "F4", "Alt up"};
    EXPECT_EQ(viaSendKeys("%{F4}").events, events);
}
