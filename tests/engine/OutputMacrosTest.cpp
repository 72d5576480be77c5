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

TEST(DateMacro, FormatsEveryTokenInEitherLetterCase) {
    test::FakeClock clock;  // Friday 4 December 2026, 09:05:07
    EXPECT_EQ(dated("{CURDATE:DD-MM-YYYY}", clock), "04-12-2026");
    EXPECT_EQ(dated("{CURDATE:dd-mm-yyyy}", clock), "04-12-2026");
    EXPECT_EQ(dated("{CURDATE:yyyymmdd}", clock), "20261204");
    EXPECT_EQ(dated("{CURDATE:d.m.yy}", clock), "4.12.26");
    EXPECT_EQ(dated("{CURDATE:ddd dddd}", clock), "Fri Friday");
    EXPECT_EQ(dated("{CURDATE:mmm MMMM}", clock), "Dec December");
    EXPECT_EQ(dated("{CURDATE:dd/mm}", clock), "04/12");
    EXPECT_EQ(dated("{CURDATE:x y h}", clock), "x y h");
    EXPECT_EQ(dated("a{CURDATE:d}b{CURDATE:m}c", clock), "a4b12c");
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

TEST(DateMacro, AMacroWithoutItsBraceIsLeftAsItIs) {
    test::FakeClock clock;
    EXPECT_EQ(dated("{CURDATE:d}{CURDATE:dd", clock), "4{CURDATE:dd");
    EXPECT_EQ(dated("{curdate:d}", clock), "{curdate:d}");
}

TEST(TimeMacro, EveryOccurrenceGetsTheSameTime) {
    test::FakeClock clock;
    std::string text = "{CURTIME}{CURTIME} at {CURTIME";
    expandTimeMacros(text, clock);
    EXPECT_EQ(text, "09:05:0709:05:07 at {CURTIME");
}

TEST(SerialSendBack, WritesPayloadsOnlyWhileThePortIsOpen) {
    test::RecordingPipelineHost host;
    std::string text = "{TX_SERIAL[Hello\r\n]}";
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "{TX_SERIAL[Hello\r\n]}");
    EXPECT_TRUE(host.log.empty());

    host.serialIsOpen = true;
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "");
    EXPECT_EQ(host.log, Log{"serial:Hello\r\n"});

    text = "{TX_SERIAL[abc";
    sendSerialMacros(text, host);
    EXPECT_EQ(text, "{TX_SERIAL[abc");
    EXPECT_EQ(host.log.size(), 1u);
}

TEST(SerialSendBack, AFailedWriteLosesOnlyItself) {
    test::RecordingPipelineHost host;
    host.serialIsOpen = true;
    host.failSends = true;
    std::string text = "a{TX_SERIAL[1]}b{TX_SERIAL[2]}c";
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

TEST(WindowActivation, AppMacroWinsOverTheTargetField) {
    test::RecordingPipelineHost host;
    host.target = "Notepad";
    std::string text = "APP[Orders]hello";
    activateTargetWindow(text, host);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(host.log, (Log{"activate:Orders", "wait:0.05"}));

    host.log.clear();
    text = "APP[A]xAPP[B]y";
    activateTargetWindow(text, host);
    EXPECT_EQ(text, "xAPP[B]y");
    EXPECT_EQ(host.log.front(), "activate:A");
}

TEST(WindowActivation, TargetFieldAndTheWait) {
    test::RecordingPipelineHost host;
    std::string text = "APP[Orders";
    activateTargetWindow(text, host);
    EXPECT_EQ(text, "APP[Orders");
    EXPECT_EQ(host.log, Log{"wait:0.05"});  // waits although nothing was activated

    host.log.clear();
    host.target = " Sheet ";
    text = "x";
    activateTargetWindow(text, host);
    EXPECT_EQ(host.log, (Log{"activate: Sheet ", "wait:0.05"}));  // untrimmed title

    host.log.clear();
    host.target = "   ";
    activateTargetWindow(text, host);
    EXPECT_TRUE(host.log.empty());
}
