#include "settings/settings.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

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
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    QString MakeFile(const std::string& name) {
        fs::path p = folder / name;
        std::ofstream(p) << "x";
        return QString::fromStdString(p.string());
    }
    Settings Loaded() {
        Settings s;
        LoadSettings(s, ini);
        return s;
    }
};

const std::string kPicKindKey = "Pic\x8B\xE6\x95\xAA";     // Pic区分
const std::string kBgmKindKey = "BGM\x8B\xE6\x95\xAA";     // BGM区分
const std::string kBgmRepeatKey = "BGM\xD8\xCB\xDF\xB0\xC4"; // BGMﾘﾋﾟｰﾄ
const std::string kBgmFileKey = "BGM\xCC\xA7\xB2\xD9";      // BGMﾌｧｲﾙ

} // namespace

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    Settings s = Loaded();
    EXPECT_EQ(s.PicKind, 0);
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(s.PicPath[i].isEmpty());
    EXPECT_EQ(s.BGMKind, 0);
    EXPECT_EQ(s.BGMRepeat, 0);
    EXPECT_TRUE(s.BGMFile.isEmpty());
}

TEST_F(SettingsFile, SavingWritesShiftJisKeysInOrderWithLeadingBlanks) {
    Settings s;
    s.PicKind = 1;
    s.BGMKind = 2;
    s.BGMRepeat = -1;
    s.PicPath[3] = "/pics/c.jpg";
    s.BGMFile = "/music/a b.mp3";
    SaveSettings(s, ini);
    EXPECT_EQ(Bytes(), "[Section]\n" + kPicKindKey + "= 1\nPath1=\nPath2=\nPath3=/pics/c.jpg\nPath4=\nPath5=\nPath6=\n" +
                           kBgmKindKey + "= 2\n" + kBgmRepeatKey + "=-1\n" + kBgmFileKey + "=/music/a b.mp3\n");
}

TEST_F(SettingsFile, EmptyPathsRoundTripAndSavingAgainChangesNothing) {
    Settings s;
    s.BGMRepeat = 31;
    SaveSettings(s, ini);
    const std::string first = Bytes();
    Settings back = Loaded();
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(back.PicPath[i].isEmpty());
    EXPECT_EQ(back.BGMRepeat, 31);
    SaveSettings(back, ini);
    EXPECT_EQ(Bytes(), first);
}

TEST_F(SettingsFile, PictureKindIsRoundedDownAndKeptOnlyWhenItIsANumberInRange) {
    struct Case { std::string text; int16_t want; } cases[] = {
        {"abc", 0}, {"2.9", 2}, {"-1", -1}, {" 1", 1}, {"", 0}, {"1.7", 1}, {"-1.2", -2},
        {"40000", 0}, {"32767.9", 32767}, {"-32768.5", 0}, {"1e2", 100},
    };
    for (const auto& c : cases) {
        Put("[Section]\n" + kPicKindKey + "=" + c.text + "\n");
        EXPECT_EQ(Loaded().PicKind, c.want) << "text '" << c.text << "'";
    }
    // Text that is not a number leaves the value as it was.
    Settings s;
    s.PicKind = 1;
    Put("[Section]\n" + kPicKindKey + "=abc\n");
    LoadSettings(s, ini);
    EXPECT_EQ(s.PicKind, 1);
}

TEST_F(SettingsFile, PathsNamingNoUsableFileAreDropped) {
    const QString real = MakeFile("wall.bmp");
    const std::string sub = (folder / "sub").string();
    fs::create_directory(folder / "sub");
    Put("[Section]\nPath1=" + real.toStdString() + "\nPath2=" + sub + "\nPath3=" + sub + "/\nPath4=" +
        (folder / "gone.jpg").string() + "\nPath5=" + real.toStdString() + "/\n");
    Settings s = Loaded();
    EXPECT_EQ(s.PicPath[1], real);
    EXPECT_TRUE(s.PicPath[2].isEmpty()) << "a folder";
    EXPECT_TRUE(s.PicPath[3].isEmpty()) << "a folder with its trailing separator";
    EXPECT_TRUE(s.PicPath[4].isEmpty()) << "a missing file";
    EXPECT_EQ(s.PicPath[5], real + "/") << "one trailing separator is dropped for the test only";
}

TEST_F(SettingsFile, AMissingMusicFileSwitchesFileMusicOffButNotTheCd) {
    const std::string gone = (folder / "gone.mp3").string();
    Put("[Section]\n" + kBgmKindKey + "=2\n" + kBgmFileKey + "=" + gone + "\n");
    Settings s = Loaded();
    EXPECT_EQ(s.BGMKind, 0);
    EXPECT_TRUE(s.BGMFile.isEmpty());
    Put("[Section]\n" + kBgmKindKey + "=1\n" + kBgmFileKey + "=" + gone + "\n");
    s = Loaded();
    EXPECT_EQ(s.BGMKind, 1);
    EXPECT_TRUE(s.BGMFile.isEmpty());
    const QString song = MakeFile("song.mp3");
    Put("[Section]\n" + kBgmKindKey + "=2\n" + kBgmFileKey + "=" + song.toStdString() + "\n");
    s = Loaded();
    EXPECT_EQ(s.BGMKind, 2);
    EXPECT_EQ(s.BGMFile, song);
}

TEST_F(SettingsFile, OnlyTheFirst255BytesOfAValueAreSeen) {
    const std::string longPath = "/" + std::string(299, 'p');
    Put("[Section]\n" + kBgmFileKey + "=" + longPath + "\n");
    EXPECT_EQ(ReadIni("Section", QStringLiteral("BGMﾌｧｲﾙ"), ini).toStdString(), longPath.substr(0, 255));
}

TEST_F(SettingsFile, BadFilesGiveDefaultsWithoutCrashing) {
    std::string garbage;
    for (int i = 0; i < 65536; ++i) garbage += static_cast<char>((i * 2654435761u) >> 24);
    Put(garbage);
    Settings s = Loaded();
    EXPECT_EQ(s.PicKind, 0);
    EXPECT_EQ(s.BGMKind, 0);
    Put("[Section]\n" + std::string(100 * 1024, 'z') + "\nno equals sign here\n" + kPicKindKey + "\n=1\n");
    s = Loaded();
    EXPECT_EQ(s.PicKind, 0);
}

TEST_F(SettingsFile, AUtf8FileWrittenByHandLoads) {
    const QString song = MakeFile("曲.wav");
    Put("[Section]\nPic区分=1\nBGM区分=2\nBGMﾌｧｲﾙ=" + song.toStdString() + "\n");
    Settings s = Loaded();
    EXPECT_EQ(s.PicKind, 1);
    EXPECT_EQ(s.BGMKind, 2);
    EXPECT_EQ(s.BGMFile, song);
}

TEST_F(SettingsFile, APathThatShiftJisCannotHoldIsNotLost) {
    const QString song = MakeFile("🎵 简体.mp3");
    Settings s;
    s.BGMKind = 2;
    s.BGMFile = song;
    s.PicPath[1] = MakeFile("壁.bmp");
    SaveSettings(s, ini);
    Settings back = Loaded();
    EXPECT_EQ(back.BGMFile, song);
    EXPECT_EQ(back.BGMKind, 2);
    EXPECT_EQ(back.PicPath[1], s.PicPath[1]);
}
