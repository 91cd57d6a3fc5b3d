// The dialog's rules that need no display: twips, placement, the music controls, the
// repeat track's text both ways, and the file filters as a Qt file dialog reads them.
#include "dialog/dialog_rules.h"
#include "dialog/quib_p_design.h"

#include <gtest/gtest.h>

namespace quelm::dialog {
namespace {

TEST(Twips, FifteenToThePixelAt96DotsPerInchAndScaledOtherwise) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 547);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 399);
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 120), 684); // 8205 / 12 = 683.75
    EXPECT_EQ(TwipsToPixels(555, 96), kThumbnailPixels);
    EXPECT_EQ(TwipsToPixels(195, 96), 13);
}

TEST(WindowPlacement, CentredAcrossAndAThirdDownDroppingRemainders) {
    // 1024 x 768 screen, 547 x 399 window, all in twips at 15 a pixel.
    const Point at = WindowPlacement(15360, 11520, 8205, 5985);
    EXPECT_EQ(at.x, 3577); // 7155 / 2
    EXPECT_EQ(at.y, 1845); // 5535 / 3
    // Differences are rounded to whole twips before the division: 7.6 rounds to 8.
    EXPECT_EQ(WindowPlacement(20.6, 20.6, 13, 13).x, 4);
    EXPECT_EQ(WindowPlacement(20.6, 20.6, 13, 13).y, 2);
    // A window larger than the screen goes above and left of it.
    EXPECT_EQ(WindowPlacement(100, 100, 107, 110).x, -3);
    EXPECT_EQ(WindowPlacement(100, 100, 107, 110).y, -3);
}

TEST(RepeatText, ZeroIsEmptyAndOtherNumbersHaveNoLeadingZeros) {
    EXPECT_EQ(FormatHashHash(0), QString());
    EXPECT_EQ(FormatHashHash(1), QStringLiteral("1"));
    EXPECT_EQ(FormatHashHash(30), QStringLiteral("30"));
    EXPECT_EQ(FormatHashHash(31), QStringLiteral("31"));
    EXPECT_EQ(FormatHashHash(-5), QStringLiteral("-5"));
}

TEST(RepeatFromText, NumbersRoundHalfToEvenAndOutOfRangeKeepsTheOldValue) {
    EXPECT_EQ(RepeatFromText(QStringLiteral("7"), 3), 7);
    EXPECT_EQ(RepeatFromText(QStringLiteral("2.5"), 3), 2);
    EXPECT_EQ(RepeatFromText(QStringLiteral("3.5"), 3), 4);
    EXPECT_EQ(RepeatFromText(QStringLiteral(" 12 "), 3), 12);
    EXPECT_EQ(RepeatFromText(QStringLiteral("-4"), 3), -4);
    EXPECT_EQ(RepeatFromText(QStringLiteral("32767"), 3), 32767);
    EXPECT_EQ(RepeatFromText(QStringLiteral("-32768"), 3), -32768);
    EXPECT_EQ(RepeatFromText(QStringLiteral("40000"), 5), 5);
    EXPECT_EQ(RepeatFromText(QStringLiteral("32767.5"), 5), 5); // rounds to 32768
    EXPECT_EQ(RepeatFromText(QStringLiteral("-32769"), 5), 5);
}

TEST(RepeatFromText, TextThatIsNotANumberGivesZero) {
    EXPECT_EQ(RepeatFromText(QString(), 9), 0);
    EXPECT_EQ(RepeatFromText(QStringLiteral("abc"), 9), 0);
    EXPECT_EQ(RepeatFromText(QStringLiteral("7a"), 9), 0);
    EXPECT_EQ(RepeatFromText(QStringLiteral("   "), 9), 0);
}

TEST(FileFilters, QtReadsOneDescriptionWithItsPatternsSeparatedByBlanks) {
    EXPECT_EQ(QtNameFilter(kPictureFilter), QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif) (*.bmp *.jpg *.gif)"));
    EXPECT_EQ(QtNameFilter(kMusicFilter), QStringLiteral("BGMﾌｧｲﾙ (MP3 WAV) (*.MP3 *.WAV)"));
}

TEST(PathFitsRequest, PathsThatWouldNotReadBackWholeAreRefused) {
    const QString dir = QStringLiteral("/p/");
    EXPECT_TRUE(PathFitsRequest(dir + QString(251, QLatin1Char('a'))));   // 254 bytes
    EXPECT_FALSE(PathFitsRequest(dir + QString(252, QLatin1Char('a'))));  // 255 bytes
    // Counted in code page 932: two bytes a kanji, one a half-width kana.
    EXPECT_TRUE(PathFitsRequest(dir + QString(125, QChar(0x753B))));      // 3 + 250
    EXPECT_FALSE(PathFitsRequest(dir + QString(126, QChar(0x753B))));     // 3 + 252
    EXPECT_TRUE(PathFitsRequest(dir + QString(251, QChar(0xFF67))));      // ｧ, 254 bytes
    // Text code page 932 cannot hold is stored as UTF-8: four bytes an emoji.
    EXPECT_TRUE(PathFitsRequest(dir + QString::fromUtf8("\xF0\x9F\x8E\xB5").repeated(62)));
    EXPECT_FALSE(PathFitsRequest(dir + QString::fromUtf8("\xF0\x9F\x8E\xB5").repeated(63)));
}

} // namespace
} // namespace quelm::dialog
