// The dry run goes through the real pipeline and key dispatch: what it predicts must be
// what a run types, sends and activates, with nothing of it done.

#include <gtest/gtest.h>

#include "engine/DryRun.h"
#include "engine/DryRunText.h"
#include "support/FakeClock.h"

using namespace kest;
using Kind = DryRunStep::Kind;
using Piece = PipelineObserver::Piece;

namespace {

struct DryRunFixture : ::testing::Test {
    DryRunSettings settings;
    DryRunWorld world;
    test::FakeClock clock;

    DryRunResult run(const std::string& text) { return dryRun(text, settings, world, clock); }

    static std::vector<const DryRunStep*> of(const DryRunResult& r, Kind kind) {
        std::vector<const DryRunStep*> out;
        for (const auto& s : r.steps)
            if (s.kind == kind) out.push_back(&s);
        return out;
    }
};

}  // namespace

// That the pieces are those a real run types is the pipeline fuzz target's check.
TEST_F(DryRunFixture, PiecesCarryTheirKindPauseAndOutcomeAndNothingWaits) {
    settings.prefix = "<";
    settings.suffix = ">";
    settings.search = {"B"};
    settings.replace = {"B^c^^"};
    const DryRunResult r = run("AB{CURTIME}");
    EXPECT_TRUE(clock.sleeps.empty()) << "a dry run must not wait";
    const auto steps = of(r, Kind::Piece);
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps.front()->piece, Piece::Prefix);
    EXPECT_EQ(steps.back()->piece, Piece::Suffix);
    EXPECT_DOUBLE_EQ(steps[1]->pauseSeconds, 0.2);  // "AB" ends at a caret
    EXPECT_EQ(steps[2]->text, "^c");
    EXPECT_EQ(steps[2]->outcome.characters, "\x03");
    // "^" alone holds Ctrl over nothing; "^0" is Ctrl+0, which types no character.
    EXPECT_EQ(r.characters,
              "<AB\x03"
              "9:05:07>");
}

TEST_F(DryRunFixture, SendBacksSayWhichChannelCarriesThemOrWhyNone) {
    world.tcpListenState = kSocketConnected;
    DryRunResult r = run("a{TX_SERIAL[S{ASCII:13}]}{TX_TCP[T]}b");
    auto serial = of(r, Kind::SerialSend);
    ASSERT_EQ(serial.size(), 1u);
    EXPECT_FALSE(serial[0]->sent);
    EXPECT_EQ(serial[0]->text, "S\r");
    auto tcp = of(r, Kind::TcpSend);
    ASSERT_EQ(tcp.size(), 1u);
    EXPECT_EQ(tcp[0]->channel, "TCP server");
    // A closed port leaves the macro to be typed, as a real run does: as notation it
    // names no key, and the piece is lost.
    EXPECT_NE(of(r, Kind::Piece)[0]->error.find("TX_SERIAL"), std::string::npos);
    EXPECT_EQ(r.characters, "");

    world.serialOpen = true;
    world.tcpListenState = kSocketClosed;
    r = run("a{TX_SERIAL[S]}{TX_TCP[T]}b");
    serial = of(r, Kind::SerialSend);
    ASSERT_EQ(serial.size(), 1u);
    EXPECT_TRUE(serial[0]->sent);
    EXPECT_EQ(serial[0]->channel, "serial port");
    tcp = of(r, Kind::TcpSend);
    ASSERT_EQ(tcp.size(), 1u);
    EXPECT_FALSE(tcp[0]->sent);
    EXPECT_EQ(r.characters, "ab");
}

TEST_F(DryRunFixture, ActivationSaysWhetherTheWindowExistsNow) {
    settings.targetWindow = "Target";
    world.windowExists = [](const std::string& title) { return std::optional(title == "Orders"); };
    DryRunResult r = run("APP[Orders]x");
    ASSERT_EQ(of(r, Kind::Activation).size(), 1u);
    EXPECT_EQ(of(r, Kind::Activation)[0]->text, "Orders");
    EXPECT_EQ(of(r, Kind::Activation)[0]->windowExists, std::optional(true));
    r = run("x");
    EXPECT_EQ(of(r, Kind::Activation)[0]->text, "Target");
    EXPECT_EQ(of(r, Kind::Activation)[0]->windowExists, std::optional(false));
    world.windowExists = nullptr;
    r = run("x");
    EXPECT_FALSE(of(r, Kind::Activation)[0]->windowExists.has_value());
}

TEST_F(DryRunFixture, InvalidNotationGivesPositionAndReasonAndLosesOnlyThatPiece) {
    settings.suffix = "!";
    const DryRunResult r = run("ab{NOPE}^x");
    const auto pieces = of(r, Kind::Piece);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_NE(pieces[0]->error.find("position 3"), std::string::npos) << pieces[0]->error;
    EXPECT_NE(pieces[0]->error.find("unknown key name \"NOPE\""), std::string::npos);
    EXPECT_TRUE(pieces[0]->outcome.events.empty());
    EXPECT_EQ(r.characters, "\x18!");
    // A received line feed in a key name would start a line of its own in the text.
    const std::string in = "a{B\nPiece}";
    EXPECT_NE(renderDryRun(in, settings, world, run(in)).find("name \"B{ASCII:10}Piece\"\n"),
              std::string::npos);
}

TEST_F(DryRunFixture, AReplacementIsCheckedOnItsOwnWithTheSwitchesAsTheyStand) {
    settings.prefix = "{BAD}";  // the rule's own output is what is checked
    settings.search = {"x"};
    settings.replace = {"{NOPE}"};
    EXPECT_EQ(replacementNotTyped("[{FOO}]", settings, clock),
              "invalid key notation at position 2: unknown key name \"FOO\"");
    EXPECT_EQ(replacementNotTyped("x{TAB", settings, clock),
              "invalid key notation at position 2: \"{\" without \"}\"");
    // Macros and send-backs leave the text before it is typed.
    EXPECT_EQ(replacementNotTyped("{TAB}{CURDATE:yyyy}{TX_SERIAL[a]}{TX_TCP[b]}~", settings, clock),
              "");
    settings.apiKb = true;  // the player types what SendKeys would refuse
    EXPECT_EQ(replacementNotTyped("[{FOO}]", settings, clock), "");
}

TEST_F(DryRunFixture, BothTypingPathsAndTheModeTheProgramIsIn) {
    settings.apiKb = true;
    DryRunResult r = run("Ab.{ENTER}");
    const auto& events = of(r, Kind::Piece)[0]->outcome.events;
    const std::vector<std::string> expected = {"Shift down", "A",      "Shift up",
                                               "B",          "Delete", "Enter"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(r.characters, "Ab\r");
    EXPECT_EQ(r.shown, "Ab{Delete}{ASCII:13}");

    settings.apiKb = false;
    settings.modeTag = "API";  // sticky from an earlier text
    r = run("b");
    EXPECT_EQ(of(r, Kind::Piece)[0]->outcome.events, std::vector<std::string>{"B"});
    r = run("{WinCur}+b%{F4}");
    EXPECT_EQ(r.modeTagAfter, "CUR");
    EXPECT_EQ(r.shown, "B{Alt+F4}");

    settings.modeTag = "";
    settings.upper = true;
    r = run("abc");
    EXPECT_EQ(of(r, Kind::Piece)[0]->outcome.events.front(), "Shift up");
    EXPECT_EQ(r.characters, "ABC");
}

TEST_F(DryRunFixture, RenderedTextNamesEveryStep) {
    settings.removeList = {"13"};
    settings.search = {"5", "q"};
    settings.replace = {"5~{ASCII:33}{CURDATE:yy}", "Q"};
    settings.prefix = "<";
    settings.targetWindow = "Orders";
    world.serialOpen = true;
    world.channelsAssumed = true;
    const std::string in = "5{TX_SERIAL[ok]}x{BAD}\r";
    const std::string text = renderDryRun(in, settings, world, run(in));
    EXPECT_EQ(text,
              "Received: \"5{TX_SERIAL[ok]}x{BAD}{ASCII:13}\"\n"
              "After the remove list: \"5{TX_SERIAL[ok]}x{BAD}\"\n"
              "Rule 1 (\"5\" -> \"5~{ASCII:33}{CURDATE:yy}\") matched at position 1: "
              "\"5~{ASCII:33}{CURDATE:yy}{TX_SERIAL[ok]}x{BAD}\"\n"
              "1 rule(s) matched nothing\n"
              "After the character codes: \"5~!{CURDATE:yy}{TX_SERIAL[ok]}x{BAD}\"\n"
              "After dates and times: \"5~!26{TX_SERIAL[ok]}x{BAD}\"\n"
              "Send-back over the serial port: \"ok\" over the serial port (taken as open)\n"
              "Window activation: \"Orders\" (not checked whether such a window exists)\n"
              "Prefix \"<\"\n"
              "  keys: '<'\n"
              "  types: \"<\"\n"
              "Piece 1 \"5~!26x{BAD}\"\n"
              "  not typed: invalid key notation at position 7: unknown key name \"BAD\"\n"
              "Typed in all: \"<\"\n");
}
