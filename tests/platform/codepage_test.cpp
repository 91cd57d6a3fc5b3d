#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace quelm::codepage;

TEST(CodePage932, EncodesTheIniKeysAsShiftJis) {
    // "区分" is 0x8B 0xE6 0x95 0xAA; half-width katakana "ﾘﾋﾟｰﾄ" are single bytes.
    EXPECT_EQ(ToCp932(QStringLiteral("Pic区分")), std::string("Pic\x8B\xE6\x95\xAA"));
    EXPECT_EQ(ToCp932(QStringLiteral("BGMﾘﾋﾟｰﾄ")), std::string("BGM\xD8\xCB\xDF\xB0\xC4"));
    EXPECT_EQ(FromCp932("Pic\x8B\xE6\x95\xAA"), QStringLiteral("Pic区分"));
}

TEST(CodePage932, RefusesTextItCannotHold) {
    EXPECT_FALSE(ToCp932(QStringLiteral("music 🎵.mp3")));
    EXPECT_FALSE(ToCp932(QStringLiteral("简体")));
    EXPECT_FALSE(FromCp932("\x81")); // a lead byte alone
}

TEST(FileText, IsUtf8WhenValidElseCodePage932) {
    bool utf8 = false;
    EXPECT_EQ(DecodeFileText("Pic\xE5\x8C\xBA\xE5\x88\x86", &utf8), QStringLiteral("Pic区分"));
    EXPECT_TRUE(utf8);
    EXPECT_EQ(DecodeFileText("Pic\x8B\xE6\x95\xAA", &utf8), QStringLiteral("Pic区分"));
    EXPECT_FALSE(utf8);
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));        // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));    // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE5\x8C"));        // cut short
    // Garbage that is neither decodes without throwing.
    QString text = DecodeFileText(std::string("\xFF\xFE\x81\x00zz", 6));
    EXPECT_FALSE(text.isEmpty());
}
