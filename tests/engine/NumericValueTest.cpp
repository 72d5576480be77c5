#include <gtest/gtest.h>

#include <cmath>

#include "engine/NumericValue.h"
#include "support/CommaLocale.h"

using namespace kest;

TEST(NumericValue, ReadsTheNumberAtTheStartOfTheText) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},       {"abc", 0},     {"x5", 0},
        {"12", 12},    {"12abc", 12},  {" 10 ", 10},
        {"013", 13},   {"7.5", 7.5},   {".5", 0.5},
        {"5.", 5},     {"1.2.3", 1.2}, {"-5", -5},
        {"+5", 5},     {"- 5", -5},    {"1 2\t3\n4", 1234},
        {"1e3", 1000}, {"1E-2", 0.01}, {"2d2", 200},
        {"1e", 1},     {"1e+", 1},     {"&H1F", 31},
        {"&hff", 255}, {"&O17", 15},   {"&o 1 7", 15},
        {"&H", 0},     {"&HG", 0},     {"&O8", 0},
        {"&X1", 0},    {"COM3", 0},    {"3.5", 3.5},
        {"\r5", 0},    {"--5", 0},     {"9600,N,8,1", 9600},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(numericValue(c.text), c.value) << c.text;
}

TEST(NumericValue, RoundsHalvesToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{2.5, 2},   {3.5, 4},   {65.5, 66},  {66.5, 66},
                                               {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {2.5001, 3}};
    for (const auto& [value, rounded] : cases) EXPECT_EQ(roundHalfEven(value), rounded) << value;
}

TEST(NumericValue, WholeValuesOutsideTheTargetWidthAreErrors) {
    EXPECT_EQ(wholeValue16("2.5"), 2);
    EXPECT_EQ(wholeValue16("32767"), 32767);
    EXPECT_EQ(wholeValue16("-32768"), -32768);
    EXPECT_THROW(wholeValue16("32768"), NumericRangeError);
    EXPECT_THROW(wholeValue16("-32769"), NumericRangeError);
    EXPECT_THROW(wholeValue16("1e400"), NumericRangeError);
    EXPECT_EQ(wholeValue32("&HFFFF"), 65535);
    EXPECT_THROW(wholeValue32("3e9"), NumericRangeError);
    EXPECT_EQ(wholeValue("255.4", 0, 255), 255);
    EXPECT_THROW(wholeValue("255.6", 0, 255), NumericRangeError);
}

TEST(NumericValue, DecimalTextIsTheShortestFormThatReadsBack) {
    EXPECT_EQ(decimalText(numericValue(" 10 ")), "10");
    EXPECT_EQ(decimalText(numericValue("013")), "13");
    EXPECT_EQ(decimalText(numericValue("7.5")), "7.5");
    EXPECT_EQ(decimalText(-1), "-1");
    EXPECT_EQ(decimalText(-0.0), "0");
    for (double v : {0.1, 1.0 / 3, 123456789.0, 1e-7, 2.5e20}) {
        EXPECT_EQ(numericValue(decimalText(v)), v) << decimalText(v);
    }
}

// Numbers are read with "." as the point also where the C library has a decimal comma
// (Qt switches to it on a German desktop). Long digit strings whose exponent points the
// other way than their size round as strtod rounds them, to infinity or to zero.
TEST(NumericValue, ThePointIsTheDecimalPointAndRangeFollowsTheMagnitudeInEveryLocale) {
    const std::string huge = "1" + std::string(310, '0') + "e-1";        // 1e309
    const std::string tiny = "0." + std::string(324, '0') + "1e1";       // 1e-324
    const std::string hugeFraction = "0.1e" + std::to_string(400);       // 1e399
    const std::string tinyWhole = "1" + std::string(10, '0') + "e-400";  // 1e-390
    test::inEveryLocale([&] {
        EXPECT_DOUBLE_EQ(numericValue(".2"), 0.2);
        EXPECT_DOUBLE_EQ(numericValue("65.5"), 65.5);
        EXPECT_DOUBLE_EQ(numericValue("1,5"), 1);
        EXPECT_EQ(wholeValue16("3.5"), 4);
        EXPECT_EQ(decimalText(7.5), "7.5");
        EXPECT_EQ(numericValue("1e400"), HUGE_VAL);
        EXPECT_EQ(numericValue("-1e400"), -HUGE_VAL);
        EXPECT_EQ(numericValue("1e-400"), 0);
        EXPECT_EQ(numericValue("0." + std::string(400, '0') + "1"), 0);
        EXPECT_EQ(numericValue(huge), HUGE_VAL);
        EXPECT_EQ(numericValue("-" + huge), -HUGE_VAL);
        EXPECT_EQ(numericValue(tiny), 0);
        EXPECT_EQ(numericValue(hugeFraction), HUGE_VAL);
        EXPECT_EQ(numericValue(tinyWhole), 0);
        EXPECT_EQ(numericValue("1e99999999999999999999999"), HUGE_VAL);
        EXPECT_EQ(numericValue("1e-99999999999999999999999"), 0);
        // Just inside the range still reads as the nearest double.
        EXPECT_EQ(numericValue("1" + std::string(308, '0') + "e-1"), 1e307);
        EXPECT_EQ(numericValue("0." + std::string(320, '0') + "1e1"),
                  std::strtod("1e-320", nullptr));
    });
}
