// Numbers read from text and the seeded random sequence. What the callers read (host handles,
// settings, dialog fields) is checked in their own tests; here the cases none of them meets.
#include "platform/core/vb_runtime.h"

#include <gtest/gtest.h>
#include <set>

using namespace quelm::core;

TEST(NumberReading, LenientAndStrictReadingsEdges) {
    const std::pair<const char*, double> lenient[] = {{":1234", 0}, {"-2.5e2x", -250}, {"&O17", 15}};
    for (const auto& [text, value] : lenient) EXPECT_DOUBLE_EQ(Val(text), value) << text;
    EXPECT_EQ(ParseNumber(".5"), 0.5);
    for (const char* bad : {"1 2", "1e999"}) EXPECT_FALSE(ParseNumber(bad)) << bad;
    EXPECT_EQ(ToInt16(-2.5), -2); // half to even
}

// That a seed repeats its sequence shows in the show's pictures (render_pictures_test).
TEST(SeededRandom, SpreadsOverTheUnitInterval) {
    Random a(1);
    std::set<float> seen;
    for (int i = 0; i < 10000; ++i) {
        const float x = a.Next();
        ASSERT_TRUE(x >= 0.0f && x < 1.0f) << x;
        seen.insert(x);
    }
    EXPECT_GT(seen.size(), 9000u);
    EXPECT_NE(Random(2).Next(), Random(1).Next());
}
