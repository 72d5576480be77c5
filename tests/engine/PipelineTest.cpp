#include <gtest/gtest.h>

#include "engine/Pipeline.h"
#include "engine/ReceivedNotices.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"

using namespace kest;
using Log = std::vector<std::string>;

namespace {

struct PipelineFixture : ::testing::Test {
    test::RecordingPipelineHost host;
    test::FakeClock clock;
    Pipeline pipeline{host, clock};

    // The keys and pauses of this text alone.
    std::vector<std::string> run(std::string text) {
        host.log.clear();
        clock.sleeps.clear();
        pipeline.PROCESS_DATA(text);
        return host.keys();
    }
};

}  // namespace

TEST(DecodeAscii, ExpandsCodesUntilOneIsOutOfRange) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"{ASCII:65}{ASCII:66}", "AB"},
        {"{ASCII:300}{ASCII:65}", "{ASCII:300}{ASCII:65}"},
        {"{ASCII:65}{ASCII:-1}{ASCII:66}", "A{ASCII:-1}{ASCII:66}"},
        {"{ASCII:}", std::string(1, '\0')},
        {"{ASCII: 7}", "\x07"},
        {"{ASCII:65.5}", "B"},
        {"{ASCII:66.5}", "B"},
        {"{ASCII:&H41}", "A"},
        {"x{ASCII:65", "x{ASCII:65"},
        {"{ascii:65}", "{ascii:65}"},
        // Characters made by one round open the next macro.
        {"{ASCII:123}ASCII:65}", "A"},
        {"{ASCII{ASCII:58}66}", "B"},
    };
    for (const Case& c : cases) {
        std::string text = c.in;
        DECODE_ASCII(text);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

// The remove list goes by character code (entries that are no code remove nothing, and
// one with no number at all is 0, the NUL character); then the rules in table order,
// each rule replacing its first match, a rule without a replacement passed over; then codes and
// macros, in replacements and in received text alike.
TEST_F(PipelineFixture, RemoveListThenRulesInTableOrderThenCodesAndMacros) {
    struct Case {
        Log remove, search, replace;
        std::string received, typed;
        std::size_t failures = 0;
    };
    const Case cases[] = {
        {{"13", "65"}, {}, {}, "A1\r2a", "12a"},
        {{"7.5", "300", "-1"}, {}, {}, "abc", "abc"},
        {{"x"}, {}, {}, std::string("a\0b", 3), "ab"},
        {{}, {"A", "B"}, {"B", "C"}, "AA", "CA"},
        {{}, {"B", "A"}, {"C", "B"}, "A", "B"},
        {{"13"}, {"5"}, {"5{ENTER}"}, "12345\r", "12345{ENTER}"},
        {{}, {"a", "b"}, {"1"}, "ab", "1b", 1},
        {{}, {"{ASCII:2}"}, {"[{ASCII:65}{CURTIME}]"}, "\x02x{CURDATE:yyyy}", "[A09:05:07]x2026"},
    };
    for (const Case& c : cases) {
        host.failures.clear();
        host.removeEntries = c.remove;
        host.search = c.search;
        host.replace = c.replace;
        EXPECT_EQ(run(c.received), Log{c.typed}) << c.received;
        EXPECT_EQ(host.failures.size(), c.failures) << c.received;
    }
}

TEST_F(PipelineFixture, MacroStepsRunInOrderBeforeThePrefix) {
    host.serialIsOpen = true;
    host.clientState = kSocketConnected;
    host.prefix = "<";
    host.suffix = ">";
    host.target = "Win";
    run("{TX_SERIAL[{CURTIME}]}{TX_TCP[t]}x");
    EXPECT_EQ(host.log, (Log{"serial:09:05:07", "tcp-client:t", "activate:Win", "wait:0.05",
                             "key:<", "key:x", "events", "key:>"}));
}

TEST_F(PipelineFixture, EmptyTextStillSendsPrefixAndSuffix) {
    host.prefix = "{HOME}";
    host.suffix = "~";
    host.removeEntries = {"97"};
    EXPECT_EQ(run("aaa"), (Log{"{HOME}", "~"}));
    EXPECT_TRUE(host.debugLines.empty());
}

TEST_F(PipelineFixture, BlankPrefixIsNotSentAndPrefixIsNotExpanded) {
    host.prefix = "   ";
    host.suffix = " {ASCII:13} ";
    EXPECT_EQ(run("x"), (Log{"x", " {ASCII:13} "}));
    EXPECT_EQ(host.debugLines, Log{"x"});
}

TEST_F(PipelineFixture, CaretsSplitThePiecesWithAPauseBeforeEach) {
    EXPECT_EQ(run("AB^CD^EF"), (Log{"AB", "^CD", "^EF"}));
    EXPECT_EQ(clock.sleeps, (std::vector<double>{0.2, 0.2}));
    EXPECT_EQ(host.debugLines, (Log{"AB", "^CD", "^EF"}));

    EXPECT_EQ(run("A^^B"), (Log{"A", "^", "^B"}));
    EXPECT_EQ(clock.sleeps.size(), 2u);

    EXPECT_EQ(run("^A"), Log{"^A"});
    EXPECT_TRUE(clock.sleeps.empty());

    // Events are handled after each piece; a delay of 0 makes no pause.
    host.delay = "0";
    run("a^b");
    EXPECT_EQ(host.log, (Log{"key:a", "events", "key:^b", "events"}));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(PipelineFixture, ARejectedPieceIsDroppedSaidSoAndTheRestGoesOn) {
    host.rejectPiece = "^{bad}";
    host.prefix = "p";
    host.suffix = "s";
    EXPECT_EQ(run("a^{bad}^c"), (Log{"p", "a", "^c", "s"}));
    EXPECT_EQ(host.failures, Log{"typing failed: rejected"});
    EXPECT_EQ(host.debugLines, (Log{"a", "NOT TYPED (rejected): ^{bad}", "^c"}));
    host.rejectPiece = "x";
    run("x");
    EXPECT_EQ(host.debugLines.back(), "NOT TYPED (rejected): x");
    run("y");
    EXPECT_EQ(host.textsTyped, (std::vector<bool>{false, false, true}));
}

TEST_F(PipelineFixture, ReceivedNotationAndUtf8AreToldOnceAndRuleOutputNever) {
    host.search = {"kg", "A"};
    host.replace = {"{+}(kg)", "B"};
    // The rules wrote "{", "+", "}", "(" and ")"; only the received "+" and "%" are told.
    EXPECT_EQ(run("+0012.5 kg%"), Log{"+0012.5 {+}(kg)%"});
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[0],
              "Received \"+\" is key notation (Shift for the next key), not a character, and no "
              "rule wrote it: the rule \"+\" -> \"{+}\" types it as it is");
    EXPECT_NE(host.notices[1].find("\"%\" -> \"{%}\""), std::string::npos);
    run("1+1 %");
    run("M\xC3\xBCller \xE2\x82\xAC");
    run("\xC3\xA9");
    ASSERT_EQ(host.notices.size(), 3u);
    EXPECT_EQ(host.notices[2],
              "Received bytes \"\xC3\xBC\" are UTF-8 for \"\xFC\": this instance reads "
              "Windows-1252, one byte a character, and types them as they are; set the device "
              "to send Windows-1252 (Latin-1)");
    // Any well-formed sequence is told, also beyond the code page; none for a UTF-16
    // surrogate or an overlong form.
    EXPECT_NE(utf8Notice("x\xE2\xA0\x80").find("UTF-8 for U+2800"), std::string::npos);
    for (const char* bytes : {"\xED\xA0\x80", "\xE0\x9F\xBF", "\xC1\xBF"})
        EXPECT_EQ(utf8Notice(bytes), "") << bytes;
    // What the user wrote in key notation for the test send is not received text.
    Pipeline fresh{host, clock};
    std::string written = "{TAB}^a \xC3\xBC";
    fresh.PROCESS_DATA(written, TextSource::TestSend);
    EXPECT_EQ(host.notices.size(), 3u);
}

TEST_F(PipelineFixture, TheDebugListNeverHoldsMoreThan21Lines) {
    for (int i = 0; i < 21; ++i) host.debugLines.push_back("old");
    run("new");
    EXPECT_EQ(host.debugLines, Log{"new"});
    host.debugLines.assign(20, "old");
    run("new");
    EXPECT_EQ(host.debugLines.size(), 21u);
}

TEST_F(PipelineFixture, ARunnerSaysWhenItsWaitingTextsPassTheBoundAndWhenItHasRoomAgain) {
    PipelineRunner runner(pipeline);
    host.delay = "0";
    std::vector<bool> changes;
    runner.onFullChanged([&](bool full) { changes.push_back(full); });
    const std::string quarter(PipelineRunner::kMaxQueuedBytes / 4, 'x');
    int submitted = 0;
    host.onEvents = [&] {
        // Texts arrive while the first one is typed, until the runner is full.
        if (submitted > 0) return;
        while (!runner.full() && submitted < 8) {
            runner.submit(quarter);
            ++submitted;
        }
    };
    runner.submit("first");
    EXPECT_EQ(submitted, 4);
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    EXPECT_EQ(runner.queuedBytes(), 0u);
    EXPECT_FALSE(runner.full());
}

TEST_F(PipelineFixture, HeldTextsWaitInOrderAndAHoldDuringARunStopsBeforeTheNext) {
    PipelineRunner runner(pipeline);
    host.delay = "0";
    runner.setHeld(true);
    runner.submit("one");
    runner.submit("two");
    EXPECT_TRUE(host.keys().empty());
    EXPECT_EQ(runner.pending(), 2u);
    // The focus comes back to our window while "one" is being typed: "two" waits.
    host.onEvents = [&] { runner.setHeld(true); };
    runner.setHeld(false);
    EXPECT_EQ(host.keys(), (Log{"one"}));
    EXPECT_EQ(runner.pending(), 1u);
    host.onEvents = nullptr;
    runner.setHeld(false);
    EXPECT_EQ(host.keys(), (Log{"one", "two"}));
    EXPECT_EQ(runner.pending(), 0u);
}

// The platform refuses keys part-way (a locked screen): the text waits where it
// stopped, the texts behind it wait too, and once keys are accepted the rest follows,
// into the window the text had activated, with nothing typed, sent or listed twice.
TEST_F(PipelineFixture, TextsWhoseKeysAreRefusedWaitAndGoOnWhereTheyStopped) {
    PipelineRunner runner(pipeline);
    std::vector<std::string> reasons;
    runner.onWaitingForKeys([&](const std::string& reason) { reasons.push_back(reason); });
    host.delay = "0";
    host.prefix = "<";
    host.suffix = ">";
    host.target = "Orders";
    host.clientState = kSocketConnected;
    host.acceptChars = 2;  // "<" and "a" go in
    runner.submit("{TX_TCP[ok]}ab^cd");
    runner.submit("next");
    EXPECT_TRUE(runner.waitingForKeys());
    EXPECT_EQ(runner.pending(), 1u);
    EXPECT_EQ(reasons, Log{"the screen is locked"});
    EXPECT_EQ(pipeline.suspendedText(), "ab^cd");

    runner.retry();  // still locked: nothing more, and no second report
    EXPECT_EQ(host.keys(), (Log{"<", "a"}));
    EXPECT_EQ(reasons.size(), 1u);

    host.acceptChars = -1;
    host.log.clear();
    runner.retry();
    EXPECT_FALSE(runner.waitingForKeys());
    EXPECT_EQ(reasons, (Log{"the screen is locked", ""}));
    EXPECT_EQ(host.log,
              (Log{"activate:Orders", "wait:0.05", "key:b", "events", "key:^cd", "events", "key:>",
                   "activate:Orders", "wait:0.05", "key:<", "key:next", "events", "key:>"}));
    EXPECT_EQ(host.debugLines, (Log{"ab", "^cd", "next"}));
}

namespace {
// A host whose suffix setting fails with something that is no std::exception, as a
// foreign library might throw. A text handed over during a run waits for the run.
struct ForeignThrowingHost : test::RecordingPipelineHost {
    std::string suffixText() const override {
        if (throwForeign) throw 42;
        return suffix;
    }
    bool throwForeign = false;
};
}  // namespace

TEST(PipelineRunnerFailure, AForeignExceptionDropsOnlyItsTextAndTheQueueRunsOn) {
    ForeignThrowingHost host;
    test::FakeClock clock;
    Pipeline pipeline(host, clock);
    PipelineRunner runner(pipeline);
    host.delay = "0";
    host.throwForeign = true;
    bool handedOver = false;
    host.onEvents = [&] {
        if (handedOver) return;
        handedOver = true;
        runner.submit("second");  // queued behind the text that is about to fail
    };
    EXPECT_NO_THROW(runner.submit("first^more"));
    EXPECT_EQ(runner.pending(), 0u);
    EXPECT_FALSE(runner.busy());
    EXPECT_EQ(host.keys(), (Log{"first", "^more", "second"}));
    ASSERT_EQ(host.failures.size(), 2u);
    EXPECT_NE(host.failures.front().find("received text dropped"), std::string::npos);
}
