// Numbers read from and written to text, rounding and the seeded random sequence.
#include "platform/vb_runtime.h"

#include <gtest/gtest.h>
#include <set>

using namespace quelm::vb;

TEST(NumberReading, LenientSkipsBlanksAndStopsAtTheFirstForeignCharacter) {
    const std::pair<const char*, double> rows[] = {
        {" 1234", 1234}, {"1 2 3", 123},    {"12ab34", 12}, {":1234", 0}, {"", 0},
        {"abc", 0},      {"-2.5e2x", -250}, {"&HFF", 255},  {"&O17", 15}, {"4294967295", 4294967295.0}};
    for (const auto& [text, value] : rows) EXPECT_DOUBLE_EQ(Val(text), value) << text;
}

TEST(NumberReading, StrictAcceptsOneFiniteNumberBetweenBlanksOnly) {
    const std::pair<const char*, double> rows[] = {{" 1", 1}, {"2.9", 2.9}, {"-1", -1}, {".5", 0.5}, {"1e3", 1000}};
    for (const auto& [text, value] : rows) EXPECT_EQ(ParseNumber(text), value) << text;
    for (const char* bad : {"abc", "", "   ", "1 2", "12ab", "1e999"}) EXPECT_FALSE(ParseNumber(bad)) << bad;
}

TEST(Rounding, DownForIntAndHalfToEvenForSixteenBitConversion) {
    EXPECT_EQ(Int(1.7), 1);
    EXPECT_EQ(Int(-1.2), -2);
    const std::pair<double, int16_t> rows[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {32767.4, 32767}, {-32768.0, -32768}};
    for (const auto& [value, rounded] : rows) EXPECT_EQ(ToInt16(value), rounded) << value;
    for (double outside : {32767.5, 40000.0, -32769.0}) EXPECT_FALSE(ToInt16(outside)) << outside;
}

TEST(DecimalText, HasALeadingBlankUnlessNegative) {
    EXPECT_EQ(Str(0), " 0");
    EXPECT_EQ(Str(31), " 31");
    EXPECT_EQ(Str(-1), "-1");
}

TEST(SeededRandom, RepeatsItsSequenceAndStaysInTheUnitInterval) {
    Random a(1), b(1);
    std::set<float> seen;
    for (int i = 0; i < 10000; ++i) {
        float x = a.Next();
        ASSERT_EQ(x, b.Next());
        ASSERT_TRUE(x >= 0.0f && x < 1.0f) << x;
        seen.insert(x);
    }
    EXPECT_GT(seen.size(), 9000u);
    EXPECT_NE(Random(2).Next(), Random(1).Next());
}
