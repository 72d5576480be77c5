#include <gtest/gtest.h>

#include "config/ConfigLines.h"
#include "config/InstanceName.h"
#include "config/LockRule.h"
#include "support/CommaLocale.h"

namespace kest {
namespace {

using Lines = std::vector<std::string>;

TEST(ConfigLines, SplitsAtCrAndCrLfOrWhereNoCrIsAtLineFeeds) {
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\r\n", {"a\nb"}},  // one CR anywhere: lone LFs stay inside values
        {"a\rb", {"a", "b"}},
        {"\r\n\r\n x \r\n", {"", "", " x "}},
        {"last", {"last"}},
        {"", {}},
        {".2\n9600,N,8,1\n\n<\n", {".2", "9600,N,8,1", "", "<"}},
        {"a\nb", {"a", "b"}},
    };
    for (const auto& [bytes, lines] : cases) EXPECT_EQ(splitLines(bytes), lines) << bytes;
    ConfigLineReader reader("one\r\n");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.next(), "one");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.next(), std::nullopt);
}

// Stored numbers are read with "." as the point also where the user's locale has a
// decimal comma (Qt switches the C library to it on a German desktop).
TEST(ConfigLines, TruthValuesAndCheckBoxStatesReadTheSameInEveryLocale) {
    const std::pair<const char*, std::optional<bool>> truths[] = {
        {"True", true},         {"tRUE", true},        {"FALSE", false},      {" -1 ", true},
        {"0", false},           {"&H1", true},         {"&o17", true},        {"&O0", false},
        {"0.5", true},          {"0.0", false},        {"1e0", true},         {"yes", std::nullopt},
        {"", std::nullopt},     {"1x", std::nullopt},  {"nan", std::nullopt}, {"+-1", std::nullopt},
        {"&O18", std::nullopt}, {"&HG", std::nullopt}, {"&X1", std::nullopt}, {"&H", std::nullopt}};
    const std::pair<const char*, std::optional<int>> boxes[] = {
        {" 1 ", 1},
        {"2", 2},
        {"x5", 0},
        {"", 0},  // no number: 0, which unchecks
        {"1.5", 2},
        {"0.5", 0},
        {"5", std::nullopt},
        {"-1", std::nullopt},
        {"1e300", std::nullopt},
    };
    const auto check = [&] {
        for (const auto& [line, truth] : truths) EXPECT_EQ(parseTruth(line), truth) << line;
        for (const auto& [line, state] : boxes) EXPECT_EQ(parseCheckBox(line), state) << line;
    };
    test::inEveryLocale(check);
}

TEST(InstanceName, SuffixFromTheCommandLine) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"", std::nullopt},
        {"plain words", std::nullopt},
        {"/#Scanner_001#", "_Scanner_001"},
        {"/#  A  #", "_A"},
        {"/#   #", "_"},
        {"run /#B# more", "_B"},
        {"/#a#b#", "_a"},
        // Unclosed: the caption the window was designed with.
        {"/#", "INSTANCE HERE"},
        {"/#name", "INSTANCE HERE"},
        // The search for "#" starts one character into the name.
        {"/##", "INSTANCE HERE"},
        {"/##x#", "_#x"},
    };
    for (const auto& [line, suffix] : cases) EXPECT_EQ(instanceSuffix(line), suffix) << line;
    EXPECT_EQ(commandLineText({}), "");
    EXPECT_EQ(commandLineText({"/#Two", "Words#"}), "/#Two Words#");
}

// The password field's rule: the codes in any letter case but with no blank around
// them unlock; "END" ends; anything else, a code's beginning included, locks.
TEST(LockRule, AccessCodesIgnoreLetterCaseButNotBlanks) {
    struct Case {
        const char* text;
        bool unlock, end;
    };
    const Case cases[] = {
        {"OPEN.THE.PANEL", true, false},
        {"open.the.panel", true, false},
        {"Unlock Cfg", true, false},
        {" UNLOCK CFG", false, false},
        {"UNLOCK CFG ", false, false},
        {"OPEN.THE.PANE", false, false},
        {"OPEN.THE.PANELS", false, false},
        {"", false, false},
        {"End", false, true},
        {"END ", false, false},
        {"en", false, false},
    };
    for (const Case& c : cases) {
        const LockDecision decision = decideLock(c.text);
        EXPECT_EQ(decision.unlock, c.unlock) << c.text;
        EXPECT_EQ(decision.end, c.end) << c.text;
    }
}

}  // namespace
}  // namespace kest
