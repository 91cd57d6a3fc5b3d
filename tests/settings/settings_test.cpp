#include "settings/settings.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <tuple>

using namespace quelm;
namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    fs::path folder = dir.path().toStdString();
    fs::path ini = folder / "Quelm.ini";

    void Put(const std::string& bytes) { std::ofstream(ini, std::ios::binary) << bytes; }
    std::string Bytes() {
        std::ifstream in(ini, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    QString MakeFile(const std::string& name) {
        std::ofstream(folder / name) << "x";
        return QString::fromStdString((folder / name).string());
    }
    Settings Loaded(Settings s = {}) {
        LoadSettings(s, ini);
        return s;
    }
};

const std::string kPicKindKey = "Pic\x8B\xE6\x95\xAA";       // Pic区分
const std::string kBgmKindKey = "BGM\x8B\xE6\x95\xAA";       // BGM区分
const std::string kBgmRepeatKey = "BGM\xD8\xCB\xDF\xB0\xC4"; // BGMﾘﾋﾟｰﾄ
const std::string kBgmFileKey = "BGM\xCC\xA7\xB2\xD9";       // BGMﾌｧｲﾙ

} // namespace

// What older copies of the program read and write: code page 932 keys, in this order,
// numbers with a leading blank when not negative.
TEST_F(SettingsFile, NoFileGivesTheDefaultsAndSavingWritesShiftJisKeysInOrderWithLeadingBlanks) {
    Settings s = Loaded();
    EXPECT_TRUE(s.PicKind == 0 && s.BGMKind == 0 && s.BGMRepeat == 0 && s.BGMFile.isEmpty() && s.PicPath[1].isEmpty());
    s.PicKind = 1;
    s.BGMKind = 2;
    s.BGMRepeat = -1;
    s.PicPath[3] = "/pics/c.jpg";
    s.BGMFile = "/music/a b.mp3";
    SaveSettings(s, ini);
    EXPECT_EQ(Bytes(), "[Section]\n" + kPicKindKey +
                           "= 1\nPath1=\nPath2=\nPath3=/pics/c.jpg\nPath4=\nPath5=\nPath6=\n" + kBgmKindKey + "= 2\n" +
                           kBgmRepeatKey + "=-1\n" + kBgmFileKey + "=/music/a b.mp3\n");
}

// Over a kind of 7: empty text gives 0, anything else that is no number in range leaves it.
TEST_F(SettingsFile, PictureKindIsRoundedDownAndKeptOnlyWhenItIsANumberInRange) {
    const std::pair<std::string, int16_t> cases[] = {
        {"abc", 7},   {"2.9", 2},   {"-1", -1},         {" 1", 1},       {"", 0},      {"1.7", 1},
        {"-1.2", -2}, {"40000", 7}, {"32767.9", 32767}, {"-32768.5", 7}, {"1e2", 100},
    };
    for (const auto& [text, want] : cases) {
        Put("[Section]\n" + kPicKindKey + "=" + text + "\n");
        Settings s;
        s.PicKind = 7;
        EXPECT_EQ(Loaded(s).PicKind, want) << "text '" << text << "'";
    }
}

TEST_F(SettingsFile, PathsNamingNoUsableFileAreDropped) {
    const QString real = MakeFile("wall.bmp");
    const std::string sub = (folder / "sub").string();
    fs::create_directory(folder / "sub");
    Put("[Section]\nPath1=" + real.toStdString() + "\nPath2=" + sub + "\nPath3=" + sub +
        "/\nPath4=" + (folder / "gone.jpg").string() + "\nPath5=" + real.toStdString() + "/\n");
    Settings s = Loaded();
    EXPECT_EQ(s.PicPath[1], real);
    EXPECT_TRUE(s.PicPath[2].isEmpty()) << "a folder";
    EXPECT_TRUE(s.PicPath[3].isEmpty()) << "a folder with its trailing separator";
    EXPECT_TRUE(s.PicPath[4].isEmpty()) << "a missing file";
    EXPECT_EQ(s.PicPath[5], real + "/") << "one trailing separator is dropped for the test only";
}

TEST_F(SettingsFile, AMissingMusicFileSwitchesFileMusicOffButNotTheCd) {
    const QString gone = QString::fromStdString((folder / "gone.mp3").string()), song = MakeFile("song.mp3");
    for (const auto& [kind, file, kindAfter, fileAfter] :
         {std::tuple{2, gone, 0, QString()}, {1, gone, 1, QString()}, {2, song, 2, song}}) {
        Put("[Section]\n" + kBgmKindKey + "=" + std::to_string(kind) + "\n" + kBgmFileKey + "=" + file.toStdString() +
            "\n");
        const Settings s = Loaded();
        EXPECT_EQ(s.BGMKind, kindAfter) << kind << file.toStdString();
        EXPECT_EQ(s.BGMFile, fileAfter);
    }
}

TEST_F(SettingsFile, OnlyTheFirst255BytesOfAValueAreSeen) {
    const std::string longPath = "/" + std::string(299, 'p');
    Put("[Section]\n" + kBgmFileKey + "=" + longPath + "\n");
    EXPECT_EQ(ReadIni("Section", QStringLiteral("BGMﾌｧｲﾙ"), ini).toStdString(), longPath.substr(0, 255));
}

// A hand-written UTF-8 file loads; saved, its paths come back unchanged after two saves
// (the second writing the same bytes), whether code page 932 holds them, holds them one
// way only, or cannot hold them (then the file is UTF-8, with its byte-order mark).
TEST_F(SettingsFile, PathsComeBackUnchangedAfterTwoSaves) {
    const std::pair<const char*, bool> rows[] = {
        // file name, whether the file turns UTF-8
        {"写真.jpg", false}, {"写真〜2020.jpg", true}, {"a−b.jpg", true}, {"¥100.jpg", true}, {"‖‾.jpg", true},
        {"¢£¬.jpg", true},   {"🎵 简体.mp3", true},     {"ﾃｩ.jpg", false}, // C3 A9, valid UTF-8, but the key names are
                                                                          // not: the file reads right
    };
    for (const auto& [name, utf8] : rows) {
        SCOPED_TRACE(name);
        const QString path = MakeFile(name);
        Put("[Section]\nPic区分=1\nPath1=" + path.toStdString() + "\nBGM区分=2\nBGMﾌｧｲﾙ=" + path.toStdString() + "\n");
        SaveSettings(Loaded(), ini);
        const std::string first = Bytes();
        EXPECT_EQ(first.rfind("\xEF\xBB\xBF", 0) == 0, utf8);
        SaveSettings(Loaded(), ini);
        EXPECT_EQ(Bytes(), first);
        const Settings back = Loaded();
        EXPECT_EQ(back.PicKind, 1); // the hand-written keys were read
        EXPECT_EQ(back.PicPath[1], path);
        EXPECT_EQ(back.BGMFile, path);
        EXPECT_EQ(back.BGMKind, 2);
    }
}
