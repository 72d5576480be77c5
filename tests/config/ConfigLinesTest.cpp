#include <gtest/gtest.h>

#include "config/ConfigLines.h"
#include "config/InstanceName.h"
#include "config/LockRule.h"
#include "support/CommaLocale.h"

namespace kest {
namespace {

using Lines = std::vector<std::string>;

TEST(ConfigLines, TruthNumbersReadTheSameInEveryLocale) {
    test::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no de_DE.UTF-8 locale; scripts/setup makes one";
    EXPECT_EQ(parseTruth("0.5"), true);
    EXPECT_EQ(parseTruth("0.0"), false);
    EXPECT_EQ(parseTruth("1e0"), true);
    EXPECT_EQ(parseTruth("nan"), std::nullopt);
    EXPECT_EQ(parseTruth("+-1"), std::nullopt);
}

TEST(ConfigLines, SplitsAtCrAndCrLfAndKeepsLoneLineFeeds) {
    EXPECT_EQ(splitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitLines("a\nb\r\n"), (Lines{"a\nb"}));
    EXPECT_EQ(splitLines("a\rb"), (Lines{"a", "b"}));
    EXPECT_EQ(splitLines("\r\n\r\n x \r\n"), (Lines{"", "", " x "}));
    EXPECT_EQ(splitLines("last"), (Lines{"last"}));
    EXPECT_TRUE(splitLines("").empty());
}

TEST(ConfigLines, AFileWithoutAnyCrIsSplitAtLineFeeds) {
    EXPECT_EQ(splitLines(".2\n9600,N,8,1\n\n<\n"),
              (std::vector<std::string>{".2", "9600,N,8,1", "", "<"}));
    EXPECT_EQ(splitLines("a\nb"), (std::vector<std::string>{"a", "b"}));
    // One CR anywhere: the file is a CR LF file, whose lone LFs stay inside values.
    EXPECT_EQ(splitLines("a\nb\r\nc"), (std::vector<std::string>{"a\nb", "c"}));
}

TEST(ConfigLines, ReaderEndTestAndReadingPastTheEnd) {
    ConfigLineReader reader("one\r\n");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.next(), "one");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.next(), std::nullopt);
}

TEST(ConfigLines, CheckBoxStatesWrittenWithSignPositionAndTrailingBlank) {
    EXPECT_EQ(checkBoxText(0), " 0 ");
    EXPECT_EQ(checkBoxText(1), " 1 ");
    EXPECT_EQ(checkBoxText(2), " 2 ");
}

TEST(ConfigLines, CheckBoxStatesReadAsRoundedNumbers) {
    EXPECT_EQ(parseCheckBox(" 1 "), 1);
    EXPECT_EQ(parseCheckBox("2"), 2);
    EXPECT_EQ(parseCheckBox("x5"), 0);  // no number: 0, which unchecks
    EXPECT_EQ(parseCheckBox(""), 0);
    EXPECT_EQ(parseCheckBox("1.5"), 2);
    EXPECT_EQ(parseCheckBox("0.5"), 0);
    EXPECT_EQ(parseCheckBox("5"), std::nullopt);
    EXPECT_EQ(parseCheckBox("-1"), std::nullopt);
    EXPECT_EQ(parseCheckBox("1e300"), std::nullopt);
}

TEST(ConfigLines, TruthValues) {
    EXPECT_EQ(truthText(true), "True");
    EXPECT_EQ(truthText(false), "False");
    EXPECT_EQ(parseTruth("True"), true);
    EXPECT_EQ(parseTruth("tRUE"), true);
    EXPECT_EQ(parseTruth("FALSE"), false);
    EXPECT_EQ(parseTruth(" -1 "), true);
    EXPECT_EQ(parseTruth("0"), false);
    EXPECT_EQ(parseTruth("&H1"), true);
    EXPECT_EQ(parseTruth("yes"), std::nullopt);
    EXPECT_EQ(parseTruth(""), std::nullopt);
    EXPECT_EQ(parseTruth("1x"), std::nullopt);
    EXPECT_EQ(parseTruth("nan"), std::nullopt);
}

TEST(ConfigLines, TrimRemovesSpacesOnly) {
    EXPECT_EQ(trimSpaces(" 10.0.0.5 "), "10.0.0.5");
    EXPECT_EQ(trimSpaces("\tx\t"), "\tx\t");
    EXPECT_EQ(trimSpaces("   "), "");
}

TEST(InstanceName, SuffixFromTheCommandLine) {
    EXPECT_EQ(instanceSuffix(""), std::nullopt);
    EXPECT_EQ(instanceSuffix("plain words"), std::nullopt);
    EXPECT_EQ(instanceSuffix("/#Scanner_001#"), "_Scanner_001");
    EXPECT_EQ(instanceSuffix("/#  A  #"), "_A");
    EXPECT_EQ(instanceSuffix("/#   #"), "_");
    EXPECT_EQ(instanceSuffix("run /#B# more"), "_B");
    EXPECT_EQ(instanceSuffix("/#a#b#"), "_a");
}

TEST(InstanceName, UnclosedNameKeepsTheDesignCaption) {
    EXPECT_EQ(instanceSuffix("/#"), "INSTANCE HERE");
    EXPECT_EQ(instanceSuffix("/#name"), "INSTANCE HERE");
    // The search for "#" starts one character into the name.
    EXPECT_EQ(instanceSuffix("/##"), "INSTANCE HERE");
    EXPECT_EQ(instanceSuffix("/##x#"), "_#x");
}

TEST(InstanceName, ArgumentsJoinedWithSingleSpaces) {
    EXPECT_EQ(commandLineText({}), "");
    EXPECT_EQ(commandLineText({"/#Two", "Words#"}), "/#Two Words#");
    EXPECT_EQ(instanceSuffix(commandLineText({"/#Two", "Words#"})), "_Two Words");
}

TEST(LockRule, AccessCodesIgnoreLetterCaseButNotBlanks) {
    EXPECT_TRUE(decideLock("OPEN.THE.PANEL").unlock);
    EXPECT_TRUE(decideLock("open.the.panel").unlock);
    EXPECT_TRUE(decideLock("Unlock Cfg").unlock);
    EXPECT_FALSE(decideLock(" UNLOCK CFG").unlock);
    EXPECT_FALSE(decideLock("UNLOCK CFG ").unlock);
    EXPECT_FALSE(decideLock("OPEN.THE.PANE").unlock);
    EXPECT_FALSE(decideLock("OPEN.THE.PANELS").unlock);
    EXPECT_FALSE(decideLock("").unlock);
}

TEST(LockRule, EndCommandLocksAndEnds) {
    const LockDecision end = decideLock("end");
    EXPECT_TRUE(end.end);
    EXPECT_FALSE(end.unlock);
    EXPECT_FALSE(decideLock("END ").end);
    EXPECT_FALSE(decideLock("OPEN.THE.PANEL").end);
}

TEST(LockRule, WindowHeightsOfTheLayout) {
    EXPECT_EQ(unlockedHeightTwips(1350, 5535), 7285);
    EXPECT_EQ(lockedHeightTwips(-15), 1035);
}

}  // namespace
}  // namespace kest
