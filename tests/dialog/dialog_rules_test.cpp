// The dialog's rules that need no display: where the window goes, how typed text becomes
// the repeat track, the file filters as Qt reads them, and which chosen paths would not
// come back unchanged from the INI file.
#include "dialog/dialog_rules.h"

#include <QTemporaryDir>
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
        EXPECT_TRUE(at.x == r.x && at.y == r.y) << r.screenW << ": " << at.x << ',' << at.y;
    }
}

TEST(RepeatFromText, HalfToEvenWithin16BitsElseTheOldValueAndNonNumbersGiveZero) {
    const struct {
        const char* text;
        int16_t saved;
    } rows[] = {{" 12 ", 12},   {"-4", -4},    {"32767", 32767}, {"-32768", -32768}, {"2.5", 2}, {"3.5", 4},
                {"32767.5", 5}, {"-32769", 5}, {"7a", 0},        {"abc", 0},         {"   ", 0}, {"", 0}};
    for (const auto& r : rows) EXPECT_EQ(RepeatFromText(QString::fromLatin1(r.text), 5), r.saved) << r.text;
}

// What the desktop's dialogs (GTK, portal) are handed: they match the case as written, so
// every letter comes in both cases; the description stays as it is.
TEST(FileFilters, QtReadsOneDescriptionWithItsPatternsInEitherCaseSeparatedByBlanks) {
    EXPECT_EQ(QtNameFilter(kPictureFilter),
              QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif) (*.[bB][mM][pP] *.[jJ][pP][gG] *.[gG][iI][fF])"));
    EXPECT_EQ(QtNameFilter(kMusicFilter), QStringLiteral("BGMﾌｧｲﾙ (MP3 WAV) (*.[mM][pP]3 *.[wW][aA][vV])"));
}

// Each row chooses one file for wall 1 (or the music file) next to the settings already
// chosen, into a new INI file; refused choices keep the old path.
TEST(ChoiceTaken, APathIsTakenOnlyWhenItComesBackUnchangedAndLosesNoOtherPath) {
    QTemporaryDir dir;
    const std::filesystem::path ini = dir.filePath(QStringLiteral("Quelm.ini")).toStdString();
    const QString d = QStringLiteral("/p/");
    // 画 takes two bytes in code page 932, three in UTF-8; ｧ one and three; 🎵 is not in code
    // page 932 and takes four UTF-8 bytes. Wall 2's path: 203 bytes in code page 932, 303 in UTF-8.
    const QString kanji(QChar(0x753B)), kana(QChar(0xFF67)), emoji = QStringLiteral("🎵"),
                                                             wall2 = d + kanji.repeated(100);
    const struct {
        QString wall2, wall1, music;
        bool taken;
    } rows[] = {
        // wall2: already chosen
        // At most 254 bytes and the NUL, counted as the file will store them.
        {{}, d + QString(251, QLatin1Char('a')), {}, true},
        {{}, d + QString(252, QLatin1Char('a')), {}, false},
        {{}, d + kanji.repeated(125), {}, true},
        {{}, d + kanji.repeated(126), {}, false},
        {{}, d + kana.repeated(251), {}, true},
        {{}, d + kana.repeated(251), d + emoji, false}, // the file turns UTF-8: 756 bytes
        {{}, d + emoji.repeated(62), {}, true},
        {{}, d + emoji.repeated(63), {}, false},
        // A file only one way in code page 932 turns the file UTF-8 and comes back.
        {{}, QStringLiteral("/tmp/写真〜2020/a.jpg"), {}, true},
        // ... unless that cuts a path chosen before.
        {wall2, QStringLiteral("/tmp/写真〜2020/a.jpg"), {}, false},
        {wall2, {}, d + emoji, false},
        {wall2, QStringLiteral("/tmp/写真2020/a.jpg"), {}, true},
        // Line breaks (a line feed: quib_p_test), blanks or quotes around it: it would come back changed.
        {{}, QStringLiteral("/p/a\rb.jpg"), {}, false},
        {{}, QStringLiteral(" /p/a.jpg"), {}, false},
        {{}, QStringLiteral("/p/a.jpg\t"), {}, false},
        {{}, QStringLiteral("\"/p/a.jpg\""), {}, false},
        {{}, QStringLiteral("'/p/a.jpg'"), {}, false},
        {{}, QStringLiteral("\"/p/a.jpg"), {}, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.wall1.toStdString() + " | " + r.music.toStdString());
        Settings current;
        current.PicPath[2] = r.wall2;
        Settings chosen = current;
        chosen.PicPath[1] = r.wall1;
        chosen.BGMFile = r.music;
        // The music file is chosen last, after wall 1 was taken.
        if (!r.music.isEmpty()) current.PicPath[1] = r.wall1;
        EXPECT_EQ(ChoiceTaken(current, chosen, ini), r.taken);
    }
}

} // namespace
} // namespace quelm::dialog
