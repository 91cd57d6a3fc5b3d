// The dialog's rules that need no display: where the window goes, how typed text becomes
// the repeat track, the file filters as Qt reads them, and which chosen paths would not
// read back whole from the INI file.
#include "dialog/dialog_rules.h"

#include <gtest/gtest.h>

namespace quelm::dialog {
namespace {

TEST(WindowPlacement, CentredAcrossAThirdDownRoundingDifferencesAndDroppingRemainders) {
    const struct {
        double screenW, screenH, windowW, windowH;
        int x, y;
    } rows[] = {
        {15360, 11520, 8205, 5985, 3577, 1845}, // 547 x 399 on 1024 x 768, in twips
        {20.6, 20.6, 13, 13, 4, 2},             // 7.6 rounds to 8 before the division
        {100, 100, 107, 110, -3, -3},           // larger than the screen: above and left
    };
    for (const auto& r : rows) {
        const Point at = WindowPlacement(r.screenW, r.screenH, r.windowW, r.windowH);
        EXPECT_EQ(at.x, r.x) << r.screenW;
        EXPECT_EQ(at.y, r.y) << r.screenW;
    }
}

TEST(RepeatFromText, HalfToEvenWithin16BitsElseTheOldValueAndNonNumbersGiveZero) {
    const struct {
        const char* text;
        int16_t saved;
    } rows[] = {{" 12 ", 12}, {"-4", -4}, {"32767", 32767}, {"-32768", -32768}, {"32767.5", 5},
                {"-32769", 5}, {"7a", 0}, {"   ", 0}};
    for (const auto& r : rows) EXPECT_EQ(RepeatFromText(QString::fromLatin1(r.text), 5), r.saved) << r.text;
}

// What the desktop's dialogs (GTK, portal) are handed: they match the case as written, so
// every letter comes in both cases; the description stays as it is.
TEST(FileFilters, QtReadsOneDescriptionWithItsPatternsInEitherCaseSeparatedByBlanks) {
    EXPECT_EQ(QtNameFilter(kPictureFilter),
              QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif) (*.[bB][mM][pP] *.[jJ][pP][gG] *.[gG][iI][fF])"));
    EXPECT_EQ(QtNameFilter(kMusicFilter), QStringLiteral("BGMﾌｧｲﾙ (MP3 WAV) (*.[mM][pP]3 *.[wW][aA][vV])"));
}

TEST(PathFitsRequest, PathsThatWouldNotReadBackWholeAreRefused) {
    const QString dir = QStringLiteral("/p/");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x8E\xB5"); // not in code page 932: 4 UTF-8 bytes
    const struct {
        QString path;
        bool fits;
    } rows[] = {
        {dir + QString(251, QLatin1Char('a')), true}, // 254 bytes and the NUL
        {dir + QString(252, QLatin1Char('a')), false},
        {dir + QString(125, QChar(0x753B)), true}, // kanji: two bytes each in code page 932
        {dir + QString(126, QChar(0x753B)), false},
        {dir + QString(251, QChar(0xFF67)), true}, // half-width kana: one byte
        {dir + emoji.repeated(62), true},
        {dir + emoji.repeated(63), false},
    };
    for (const auto& r : rows) EXPECT_EQ(PathFitsRequest(r.path), r.fits) << r.path.size();
}

} // namespace
} // namespace quelm::dialog
