// Which window a title names: the one choice every activator (X11, Wayland, Windows)
// makes the same way, so its cases live here once.

#include "keyboard/TitleMatch.h"

#include <gtest/gtest.h>

namespace kest {
namespace {

using Titles = std::vector<std::u32string>;

TEST(TitleMatch, ExactTitleThenTheFirstPrefixIgnoringCaseAcrossWindows1252) {
    const Titles orders = {U"Orders Entry", U"ORDERS", U"Ordre", U"Orders Entry 2"};
    struct Case {
        std::u32string wanted;
        Titles titles;
        std::optional<std::size_t> chosen;
    };
    const Case cases[] = {
        {U"orders", orders, 1},  // exact wins over an earlier prefix
        {U"Orders E", orders, 0},
        {U"ORDERS ENTRY", orders, 0},
        {U"Ord", orders, 0},
        {U"Ordre", orders, 2},
        {U"Invoice", orders, std::nullopt},
        {U"Orders Entry 22", orders, std::nullopt},
        {U"rders", orders, std::nullopt},  // inside a title is no match
        {U"", orders, std::nullopt},       // every title begins with nothing
        {U"Orders", {}, std::nullopt},
        // "ÉTUDE ŒUVRE Ÿ" against a title in lower case: letters beyond ASCII fold too.
        {U"\u00c9TUDE \u0152UVRE \u0178", {U"x", U"\u00e9tude \u0153uvre \u00ff"}, 1},
        // Outside the code page a character matches only itself, and does not keep a
        // prefix from matching.
        {U"\u03b1", {U"\u0391", U"\u03b1\u03b2"}, 1},
        {U"CHAT", {U"Chat \U0001F600 \u4E2D"}, 0},
        {U"chat \U0001F600", {U"CHAT \U0001F600 \u4E2D"}, 0},
        // No capital in the code page: the sharp s stays itself.
        {U"\u00df", {U"SS", U"\u00df"}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchTitle(c.wanted, c.titles), c.chosen) << "case " << &c - cases;
    }
}

}  // namespace
}  // namespace kest
