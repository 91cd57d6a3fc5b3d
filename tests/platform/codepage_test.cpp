#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace quelm::codepage;

TEST(CodePage932, HoldsOnlyTextThatReadsBackIdentical) {
    const struct {
        QString text;
        std::optional<std::string> bytes;
    } rows[] = {
        {QStringLiteral("Pic区分"), "Pic\x8B\xE6\x95\xAA"},
        {QStringLiteral("BGMﾘﾋﾟｰﾄ"), "BGM\xD8\xCB\xDF\xB0\xC4"}, // half-width kana: one byte each
        {QStringLiteral("～"), "\x81\x60"},                      // U+FF5E
        // Characters the converter writes one way only: 〜 U+301C is written 81 60 too.
        {QStringLiteral("写真〜2020"), std::nullopt},
        {QStringLiteral("−"), std::nullopt},
        {QStringLiteral("¥"), std::nullopt},
        {QStringLiteral("‖"), std::nullopt},
        {QStringLiteral("‾"), std::nullopt},
        {QStringLiteral("¢"), std::nullopt},
        {QStringLiteral("£"), std::nullopt},
        {QStringLiteral("¬"), std::nullopt},
        {QStringLiteral("music 🎵.mp3"), std::nullopt},
        {QStringLiteral("简体"), std::nullopt},
        {QString(QChar(0xD800)), std::nullopt}, // a lone surrogate
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ToCp932(r.text), r.bytes) << r.text.toStdString();
        if (r.bytes) {
            EXPECT_EQ(FromCp932(*r.bytes), r.text);
        }
    }
    EXPECT_FALSE(FromCp932("\x81")); // a lead byte alone
}

TEST(Utf8, RefusesOverlongSurrogateAndCutSequences) {
    EXPECT_TRUE(IsValidUtf8("Pic\xE5\x8C\xBA\xE5\x88\x86"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE5\x8C"));         // cut short
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
}
