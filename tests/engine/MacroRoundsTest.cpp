// The macro loop must give exactly the round-by-round rewrite (each round searching
// from the start of the text, at most N + 1 rounds) while running in linear time.
// These tests hold it against that plain rewrite on many random texts.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/NumericValue.h"
#include "engine/OutputMacros.h"
#include "engine/Pipeline.h"
#include "support/FakeClock.h"
#include "support/RoundByRound.h"

using namespace kest;

namespace {

using test::roundByRound;

std::string randomText(std::mt19937& rng, const std::vector<std::string>& fragments) {
    std::uniform_int_distribution<std::size_t> count(0, 14);
    std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
    std::string text;
    for (std::size_t n = count(rng); n > 0; --n) text += fragments[pick(rng)];
    return text;
}

// Runs both loops on the same texts and compares the results and the payloads seen.
void compareOnRandomTexts(std::string_view open, std::string_view close,
                          const std::vector<std::string>& fragments,
                          const std::function<std::optional<std::string>(std::string_view)>& fn) {
    std::mt19937 rng(20261206);
    for (int i = 0; i < 20000; ++i) {
        const std::string original = randomText(rng, fragments);
        std::vector<std::string> seenFast, seenPlain;
        std::string fast = original, plain = original;
        expandMacroRounds(fast, open, close, [&](std::string_view p) {
            seenFast.emplace_back(p);
            return fn(p);
        });
        roundByRound(plain, open, close, [&](std::string_view p) {
            seenPlain.emplace_back(p);
            return fn(p);
        });
        ASSERT_EQ(fast, plain) << "text: " << original;
        ASSERT_EQ(seenFast, seenPlain) << "text: " << original;
    }
}

}  // namespace

TEST(MacroRounds, DatesMatchTheRoundByRoundRewrite) {
    test::FakeClock clock;
    const std::vector<std::string> fragments = {"{CURDATE:", "}",    "TE:", "{CURDA", "dd",
                                                "mmm",       "yyyy", "{",   "-",      "x"};
    compareOnRandomTexts("{CURDATE:", "}", fragments, [&](std::string_view format) {
        return std::optional<std::string>(formatDate(clock.now(), format, clock.dateNames()));
    });
}

TEST(MacroRounds, SendBacksMatchTheRoundByRoundRewrite) {
    const std::vector<std::string> fragments = {"{TX_TCP[", "]}", "]", "}", "{TX_",       "TCP[",
                                                "a",        "{",  "[", "b", "{TX_TCP[x]}"};
    compareOnRandomTexts("{TX_TCP[", "]}", fragments, [](std::string_view) {
        return std::optional<std::string>(std::string());
    });
}

TEST(MacroRounds, AnExpansionThatOpensANewMacroStopsAfterNPlusOneRounds) {
    const std::vector<std::string> fragments = {"{X:", "}", "a", "{", "X:"};
    compareOnRandomTexts("{X:", "}", fragments, [](std::string_view payload) {
        return std::optional<std::string>("{X:" + std::string(payload) + "}z");
    });
}

// Replacements far longer than their macro make the loop move the unread rest to
// make room, again and again in one text.
TEST(MacroRounds, ReplacementsLongerThanTheirMacroMatchTheRoundByRoundRewrite) {
    const std::vector<std::string> fragments = {"{L:", "}", "ab", "{", "L:", "{L:}", "x"};
    compareOnRandomTexts("{L:", "}", fragments, [](std::string_view payload) {
        return std::optional<std::string>(std::string(payload) + std::string(40, 'w') + "{L");
    });
}

// Character codes through the public entry point, with the fragments that make one
// round's characters open the next macro.
TEST(MacroRounds, DecodeAsciiIsTheRoundLoopWithCharacterCodes) {
    std::mt19937 rng(7);
    const std::vector<std::string> fragments = {"{ASCII:",     "{ASCII:65}",
                                                "{ASCII:123}", "{ASCII:58}",
                                                "{ASCII:125}", "{ASCII:300}",
                                                "{ASCII",      "ASCII:",
                                                "ASCII:65}",   "{",
                                                "}",           ":",
                                                "6",           "5",
                                                "3}",          "x",
                                                " ",           "-1",
                                                ".5",          "{ASCII:}",
                                                "300}",        "{ASCII:123}ASCII:"};
    for (int i = 0; i < 20000; ++i) {
        const std::string original = randomText(rng, fragments);
        std::string fast = original, plain = original;
        DECODE_ASCII(fast);
        roundByRound(plain, "{ASCII:", "}", [](std::string_view code) {
            const double value = roundHalfEven(numericValue(code));
            if (!(value >= 0 && value <= 255)) return std::optional<std::string>();
            return std::optional<std::string>(std::string(1, static_cast<char>(value)));
        });
        ASSERT_EQ(fast, plain) << original;
    }
}
