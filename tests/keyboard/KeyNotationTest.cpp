#include "keyboard/KeyNotation.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "keyboard/RecordingKeyboardDevice.h"

namespace kest {
namespace {

using Kind = KeyAction::Kind;
using Device = RecordingKeyboardDevice;
using Actions = std::vector<KeyAction>;
using Ev = Device::Event;

KeyAction press(std::uint8_t vk) {
    return {Kind::Press, vk};
}
KeyAction release(std::uint8_t vk) {
    return {Kind::Release, vk};
}
KeyAction tap(std::uint8_t vk) {
    return {Kind::Tap, vk};
}
KeyAction type(unsigned char c) {
    return {Kind::Type, 0, c};
}

Actions typed(const std::string& text) {
    Actions out;
    for (char c : text) out.push_back(type(static_cast<unsigned char>(c)));
    return out;
}

Actions repeated(KeyAction a, int n) {
    return Actions(static_cast<std::size_t>(n), a);
}

// Plain and named keys, braced characters and repeats, modifiers and groups.
TEST(KeyNotation, ValidNotationParsesToActions) {
    const std::pair<std::string, Actions> cases[] = {
        {"", {}},
        {"abc", typed("abc")},
        {"[x]", typed("[x]")},
        {std::string("\x01\t\r\n\x80\xe9\xff", 7), typed("\x01\t\r\n\x80\xe9\xff")},
        {"~", {tap(13)}},
        {"{ENTER}", {tap(13)}},
        {"{eNtEr}", {tap(13)}},
        {"{backspace}", {tap(8)}},
        {"a{TAB}b~", {type('a'), tap(9), type('b'), tap(13)}},
        {"{F16}{f1}", {tap(127), tap(112)}},
        {"{+}{^}{%}{~}{(}{)}{[}{]}", typed("+^%~()[]")},
        {"{{}", typed("{")},
        {"{}}", typed("}")},
        {"{ }", typed(" ")},
        {"{h 10}", repeated(type('h'), 10)},
        {"{left 003}", repeated(tap(37), 3)},
        {"{} 2}", typed("}}")},
        {"{x 0}{BS 0}", {}},
        {"{a 10000}", repeated(type('a'), kMaxRepeat)},
        {"+a", {press(16), type('a'), release(16)}},
        {"+ab", {press(16), type('a'), release(16), type('b')}},
        {"^%{DEL}", {press(17), press(18), tap(46), release(18), release(17)}},
        {"+{LEFT 2}", {press(16), tap(37), tap(37), release(16)}},
        {"+(a^b)", {press(16), type('a'), press(17), type('b'), release(17), release(16)}},
        {"^(+(a)b)", {press(17), press(16), type('a'), release(16), type('b'), release(17)}},
        {"+a+b", {press(16), type('a'), release(16), press(16), type('b'), release(16)}},
        {"(+a)+b", {press(16), type('a'), release(16), press(16), type('b'), release(16)}},
        {"^~", {press(17), tap(13), release(17)}},
        {"+{h 0}x", {press(16), release(16), type('x')}},
        // Modifiers with nothing after them come up again and type nothing.
        {"abc+", {type('a'), type('b'), type('c'), press(16), release(16)}},
        {"^%", {press(17), press(18), release(18), release(17)}},
        {"+()", {press(16), release(16)}},
        {"(a%)", {type('a'), press(18), release(18)}}};
    for (const auto& [keys, actions] : cases) EXPECT_EQ(parseKeyNotation(keys), actions) << keys;
}

// Braces, repeat counts, parentheses and modifiers: rejected, and nothing of the piece
// is typed.
TEST(KeyNotation, InvalidNotationIsRejectedAndTypesNothing) {
    const std::vector<std::string> braces = {"{FOO}",  "{windesk}", "{WinCur}", "{F0}", "{F17}",
                                             "{ENTER", "{",         "}",        "a}b",  "{}",
                                             "{}a",    "{ENTER}}",  "{{ENTER}", "{ 2}"};
    const std::vector<std::string> repeats = {
        "{LEFT x}",  "{LEFT 2x}",  "{LEFT -1}", "{LEFT }",
        "{LEFT  2}", "{LEFT 1.5}", "{a 10001}", "{a 99999999999999999999}",
        "{FOO 2}"};
    const std::vector<std::string> groups = {")",     "a)",     ")(",      "(a",  "((a)",
                                             "+(a",   "++a",    "^^",      "%%a", "+^+a",
                                             "+(+a)", "^(a^b)", "+(^(+a))"};
    for (const auto* list : {&braces, &repeats, &groups}) {
        for (const std::string& keys : *list) {
            EXPECT_THROW(parseKeyNotation(keys), KeyNotationError) << keys;
            Device device;
            EXPECT_THROW(SendKeys("abc" + keys + "def", true, device), KeyNotationError);
            EXPECT_TRUE(device.events().empty()) << keys;
        }
    }
}

TEST(KeyNotationLiteral, EveryByteWrittenLiterallyTypesItself) {
    std::string text;
    for (int c = 1; c < 256; ++c) text += static_cast<char>(c);
    Actions expected;
    for (unsigned char c : text) expected.push_back({Kind::Type, 0, c});
    EXPECT_EQ(parseKeyNotation(literalKeyNotation(text)), expected);
    EXPECT_EQ(literalKeyNotation("a+(b)"), "a{+}{(}b{)}");
}

TEST(KeyNotationLimits, RepeatsMayAddUpToAMillionKeysButNoMore) {
    std::string atLimit;
    for (int i = 0; i < 100; ++i) atLimit += "{a 10000}";
    EXPECT_EQ(parseKeyNotation(atLimit).size(), kMaxRepeatedKeys);
    EXPECT_EQ(parseKeyNotation(atLimit + "b").size(), kMaxRepeatedKeys + 1);
    EXPECT_THROW(parseKeyNotation(atLimit + "{a 1}"), KeyNotationError);
    EXPECT_THROW(parseKeyNotation("{LEFT 10001}"), KeyNotationError);
}

// Pieces of more than a million keys used to be refused whole, so a long plain text
// lost its body. They are typed whole, every character in order.
TEST(SendKeysLongPieces, TextOfAnyLengthIsTypedWholeAndBalanced) {
    std::string keys;
    std::string expected;
    for (int i = 0; keys.size() < 1500000; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        keys += i % 3 == 0 ? std::string("+(") + c + ")" : std::string(1, c);
        expected += c;
    }
    Device device;
    SendKeys(keys, true, device);
    EXPECT_EQ(device.typedText(), expected);
    EXPECT_TRUE(device.keysDown().empty());
    EXPECT_EQ(device.events().back(), (Ev{Ev::Kind::Sync, 0}));
}

TEST(SendKeysLongPieces, InvalidNotationAtTheEndOfALongPieceTypesNothing) {
    Device device;
    EXPECT_THROW(SendKeys(std::string(2000000, 'a') + "{NOPE}", true, device), KeyNotationError);
    EXPECT_THROW(SendKeys(std::string(2000000, 'a') + "(", true, device), KeyNotationError);
    EXPECT_TRUE(device.events().empty());
}

TEST(SendKeysLongPieces, AFailureInALaterChunkReleasesTheGroupHeldSinceAnEarlierOne) {
    const std::string keys = "+^(" + std::string(300000, 'x') + ")";
    Device device;
    device.failAfter(200000);
    EXPECT_THROW(SendKeys(keys, false, device), std::runtime_error);
    EXPECT_TRUE(device.keysDown().empty());
    EXPECT_EQ(device.events().back(), Device::up(16));
}

// --- playing -------------------------------------------------------------------------

TEST(SendKeysPlay, WaitSyncsOnceAtTheEndAndOnlyThenEvenForAnEmptyPiece) {
    Device device;
    SendKeys("ab", true, device);
    SendKeys("", true, device);
    SendKeys("ab", false, device);
    EXPECT_EQ(device.events(), (std::vector<Ev>{Device::ch('a'),
                                                Device::ch('b'),
                                                {Ev::Kind::Sync, 0},
                                                {Ev::Kind::Sync, 0},
                                                Device::ch('a'),
                                                Device::ch('b')}));
}

TEST(SendKeysFailure, AFailedPressOfANamedKeyIsStillReleased) {
    Device device;
    device.failAfter(1);  // the press of Enter fails: it may have gone through
    EXPECT_THROW(SendKeys("^{ENTER}", false, device), std::runtime_error);
    EXPECT_EQ(device.events(), (std::vector<Ev>{Device::down(17), Device::up(13), Device::up(17)}));
    EXPECT_TRUE(device.keysDown().empty());
}

TEST(SendKeysFailure, NoKeyStaysDownWhereverTheDeviceFails) {
    const std::string keys = "+^(aB{ENTER 2})%x{CAPSLOCK}~";
    Device probe;
    SendKeys(keys, true, probe);
    const int calls = static_cast<int>(probe.events().size());
    for (int n = 0; n < calls; ++n) {
        Device device;
        device.failAfter(n);
        EXPECT_THROW(SendKeys(keys, true, device), std::runtime_error) << n;
        EXPECT_TRUE(device.keysDown().empty()) << "failure at call " << n;
    }
}

TEST(PlayKeyActions, AHandMadeListThatNeverReleasesLeavesNoKeyDown) {
    Device device;
    playKeyActions({press(17), press(16), type('x')}, device);
    EXPECT_EQ(device.events(), (std::vector<Ev>{Device::down(17), Device::down(16), Device::ch('x'),
                                                Device::up(16), Device::up(17)}));
}

}  // namespace
}  // namespace kest
