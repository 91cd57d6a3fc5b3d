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

TEST(MusicControls, FileButtonOnlyForTheFileAndRepeatBoxOnlyForTheCd) {
    EXPECT_FALSE(MusicControlsFor(0).fileButton);
    EXPECT_FALSE(MusicControlsFor(0).repeatBox);
    EXPECT_FALSE(MusicControlsFor(1).fileButton);
    EXPECT_TRUE(MusicControlsFor(1).repeatBox);
    EXPECT_TRUE(MusicControlsFor(2).fileButton);
    EXPECT_FALSE(MusicControlsFor(2).repeatBox);
    for (int16_t other : {int16_t(-1), int16_t(3), int16_t(32767)}) {
        EXPECT_FALSE(MusicControlsFor(other).fileButton) << other;
        EXPECT_FALSE(MusicControlsFor(other).repeatBox) << other;
    }
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

TEST(Design, EveryControlLiesInsideItsContainerExceptNone) {
    auto inside = [](const TwipRect& r, Container in) {
        const TwipRect box = in == Container::Client   ? TwipRect{0, 0, kClientWidthTwips, kClientHeightTwips}
                             : in == Container::WallsPanel ? kWallsPanel
                                                           : kMusicPanel;
        const int width = in == Container::Client ? box.width : box.width - 60; // borders
        const int height = in == Container::Client ? box.height : box.height - 60;
        return r.left >= 0 && r.top >= 0 && r.left + r.width <= width && r.top + r.height <= height;
    };
    for (const LabelDesign& l : Labels()) EXPECT_TRUE(inside(l.at, l.in)) << l.name.toStdString();
    for (const ButtonDesign& b : Buttons()) EXPECT_TRUE(inside(b.at, b.in)) << b.name.toStdString();
    for (int wall = 1; wall <= 6; ++wall) {
        EXPECT_TRUE(inside(ThumbnailBox(wall), Container::WallsPanel)) << wall;
        EXPECT_TRUE(inside(PathField(wall), Container::WallsPanel)) << wall;
    }
    EXPECT_EQ(Buttons().size(), 10u);
}

} // namespace
} // namespace quelm::dialog
