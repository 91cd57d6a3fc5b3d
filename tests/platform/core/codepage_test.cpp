// The characters code page 932 writes one way only are checked where they matter, in the
// settings file (settings_test); here the conversions' own edges.
#include "platform/core/detail/codepage.h"

#include <gtest/gtest.h>

using namespace quelm::core;

TEST(CodePage932, HoldsOnlyTextThatReadsBackIdentical) {
    EXPECT_EQ(ToCp932(QStringLiteral("～")), "\x81\x60"); // U+FF5E, the way back of 81 60
    EXPECT_EQ(FromCp932("\x81\x60"), QStringLiteral("～"));
    EXPECT_FALSE(ToCp932(QString(QChar(0xD800)))); // a lone surrogate
    EXPECT_FALSE(FromCp932("\x81"));               // a lead byte alone
}

TEST(Utf8, RefusesOverlongSurrogateAndCutSequences) {
    EXPECT_TRUE(IsValidUtf8("Pic\xE5\x8C\xBA\xE5\x88\x86"));
    // Overlong, a surrogate, cut short, past U+10FFFF.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE5\x8C", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}
