#include "platform/vb_runtime.h"

#include <gtest/gtest.h>
#include <set>

using namespace quelm::vb;

TEST(LenientNumberReading, SkipsBlanksAndStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(Val(" 1234"), 1234);
    EXPECT_EQ(Val("1 2 3"), 123);
    EXPECT_EQ(Val("12ab34"), 12);
    EXPECT_EQ(Val(":1234"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_DOUBLE_EQ(Val("-2.5e2x"), -250);
    EXPECT_EQ(Val("&HFF"), 255);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("4294967295"), 4294967295.0);
}

TEST(StrictNumberReading, AcceptsOneNumberBetweenBlanksOnly) {
    EXPECT_EQ(ParseNumber(" 1"), 1);
    EXPECT_EQ(ParseNumber("2.9"), 2.9);
    EXPECT_EQ(ParseNumber("-1"), -1);
    EXPECT_EQ(ParseNumber(".5"), 0.5);
    EXPECT_EQ(ParseNumber("1e3"), 1000);
    EXPECT_FALSE(ParseNumber("abc"));
    EXPECT_FALSE(ParseNumber(""));
    EXPECT_FALSE(ParseNumber("   "));
    EXPECT_FALSE(ParseNumber("1 2"));
    EXPECT_FALSE(ParseNumber("12ab"));
    EXPECT_FALSE(ParseNumber("1e999")); // not finite
}

TEST(Rounding, DownForIntAndHalfToEvenForSixteenBitConversion) {
    EXPECT_EQ(Int(1.7), 1);
    EXPECT_EQ(Int(-1.2), -2);
    EXPECT_EQ(ToInt16(2.5), 2);
    EXPECT_EQ(ToInt16(3.5), 4);
    EXPECT_EQ(ToInt16(-2.5), -2);
    EXPECT_EQ(ToInt16(32767.4), 32767);
    EXPECT_EQ(ToInt16(-32768.0), -32768);
    EXPECT_FALSE(ToInt16(32767.5)); // rounds to 32768
    EXPECT_FALSE(ToInt16(40000));
    EXPECT_FALSE(ToInt16(-32769));
}

TEST(DecimalText, HasALeadingBlankUnlessNegative) {
    EXPECT_EQ(Str(1), " 1");
    EXPECT_EQ(Str(0), " 0");
    EXPECT_EQ(Str(-1), "-1");
    EXPECT_EQ(Str(31), " 31");
}

TEST(SeededRandom, RepeatsItsSequenceAndStaysInTheUnitInterval) {
    Random a(1), b(1);
    std::set<float> seen;
    for (int i = 0; i < 10000; ++i) {
        float x = a.Next();
        ASSERT_EQ(x, b.Next());
        ASSERT_GE(x, 0.0f);
        ASSERT_LT(x, 1.0f);
        seen.insert(x);
    }
    EXPECT_GT(seen.size(), 9000u);
    Random c(2);
    Random d(1);
    EXPECT_NE(c.Next(), d.Next());
}
