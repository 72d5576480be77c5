#include <gtest/gtest.h>

#include "engine/OutputMacros.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"

using namespace kest;
using Log = std::vector<std::string>;

namespace {

std::string dated(std::string text, const test::FakeClock& clock) {
    expandDateMacros(text, clock);
    return text;
}

}  // namespace

TEST(DateMacro, FormatsEveryTokenInEitherLetterCaseAndLeavesAMacroWithoutItsBrace) {
    test::FakeClock clock;  // Friday 4 December 2026, 09:05:07
    const std::pair<const char*, const char*> cases[] = {
        {"{CURDATE:DD-MM-YYYY}", "04-12-2026"},
        {"{CURDATE:yyyymmdd}", "20261204"},
        {"{CURDATE:d.m.yy}", "4.12.26"},
        {"{CURDATE:ddd dddd}", "Fri Friday"},
        {"{CURDATE:mmm MMMM}", "Dec December"},
        {"{CURDATE:dd/mm}", "04/12"},
        {"{CURDATE:x y h}", "x y h"},
        {"a{CURDATE:d}b{CURDATE:m}c", "a4b12c"},
        {"{CURDATE:d}{CURDATE:dd", "4{CURDATE:dd"},
        {"{curdate:d}", "{curdate:d}"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(dated(text, clock), expected) << text;
}

TEST(DateMacro, UsesTheUsersNamesSeparatorAndShortForm) {
    test::FakeClock clock;
    clock.setNow({2026, 3, 1, 0, 8, 0, 0});
    clock.names().months[2] = "mars";
    clock.names().weekdays[0] = "dimanche";
    clock.names().separator = ".";
    clock.names().shortDatePattern = "dd/mm/yyyy";
    EXPECT_EQ(dated("{CURDATE:dddd d mmmm}", clock), "dimanche 1 mars");
    EXPECT_EQ(dated("{CURDATE:d/m}", clock), "1.3");
    EXPECT_EQ(dated("{CURDATE:}", clock), "01.03.2026");
}

TEST(TimeMacro, EveryOccurrenceGetsTheSameTime) {
    test::FakeClock clock;
    std::string text = "{CURTIME}{CURTIME} at {CURTIME";
    expandTimeMacros(text, clock);
    EXPECT_EQ(text, "09:05:0709:05:07 at {CURTIME");
}

// Payloads go only while the port is open; a macro without its end stays; a failed
// write loses only itself.
TEST(SerialSendBack, WritesPayloadsOnlyWhileThePortIsOpenAndAFailureLosesOnlyItself) {
    test::RecordingPipelineHost host;
    std::string text = "{TX_SERIAL[Hello\r\n]}";
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "{TX_SERIAL[Hello\r\n]}");
    EXPECT_TRUE(host.log.empty());

    host.serialIsOpen = true;
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "");
    text = "{TX_SERIAL[abc";
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "{TX_SERIAL[abc");
    EXPECT_EQ(host.log, Log{"serial:Hello\r\n"});

    host.failSends = true;
    text = "a{TX_SERIAL[1]}b{TX_SERIAL[2]}c";
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(host.failures.size(), 2u);
}

TEST(TcpSendBack, GoesOverTheConnectedSocketOrNowhere) {
    test::RecordingPipelineHost host;
    std::string text = "A{TX_TCP[1]}B{TX_TCP[2]}C";
    sendTcpMacros(text, host);
    EXPECT_EQ(text, "ABC");
    EXPECT_TRUE(host.log.empty());

    host.clientState = kSocketConnected;
    text = "A{TX_TCP[1]}B{TX_TCP[2]}C";
    sendTcpMacros(text, host);
    EXPECT_EQ(host.log, (Log{"tcp-client:1", "tcp-client:2"}));

    host.log.clear();
    host.clientState = 6;
    host.listenState = kSocketConnected;
    text = "{TX_TCP[OK]}";
    sendTcpMacros(text, host);
    EXPECT_EQ(text, "");
    EXPECT_EQ(host.log, Log{"tcp-listen:OK"});
}

// APP[...] wins over the target field (the first one only); the target field's title
// goes untrimmed unless blank; the wait comes even when nothing was activated.
TEST(WindowActivation, AppMacroWinsOverTheTargetFieldAndTheWaitComesAnyway) {
    struct Case {
        std::string target, text, left;
        Log log;
    };
    const Case cases[] = {
        {"Notepad", "APP[Orders]hello", "hello", {"activate:Orders", "wait:0.05"}},
        {"", "APP[A]xAPP[B]y", "xAPP[B]y", {"activate:A", "wait:0.05"}},
        {"", "APP[Orders", "APP[Orders", {"wait:0.05"}},
        {" Sheet ", "x", "x", {"activate: Sheet ", "wait:0.05"}},
        {"   ", "x", "x", {}},
    };
    for (const Case& c : cases) {
        test::RecordingPipelineHost host;
        host.target = c.target;
        std::string text = c.text;
        activateTargetWindow(text, host);
        EXPECT_EQ(text, c.left) << c.text;
        EXPECT_EQ(host.log, c.log) << c.text;
    }
}
