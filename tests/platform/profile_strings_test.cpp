#include "platform/profile_strings.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace quelm::profile;
namespace fs = std::filesystem;

namespace {

class ProfileFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    fs::path file = fs::path(dir.path().toStdString()) / "Quelm.ini";

    void Put(const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string Bytes() {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    QString Get(const QString& section, const QString& key, size_t buffer = 256) {
        return GetPrivateProfileString(section, key, QStringLiteral("<default>"), buffer, file);
    }
};

} // namespace

TEST_F(ProfileFile, MissingFileSectionOrKeyGiveTheDefault) {
    EXPECT_EQ(Get("Section", "Path1"), "<default>");
    Put("[Other]\nPath1=x\n");
    EXPECT_EQ(Get("Section", "Path1"), "<default>");
    Put("[Section]\nPath2=x\n");
    EXPECT_EQ(Get("Section", "Path1"), "<default>");
}

TEST_F(ProfileFile, NamesCompareWithoutCaseAndBlanksAroundValuesAreTrimmed) {
    Put("[ section ]\r\n  path1 =  /tmp/a b  \r\nPATH2=\"/quoted\"\r\n");
    EXPECT_EQ(Get("Section", "Path1"), "/tmp/a b");
    EXPECT_EQ(Get("SECTION", "path2"), "/quoted");
}

TEST_F(ProfileFile, ValuesAreCutToTheBufferWithoutSplittingACharacter) {
    Put("[Section]\nPath1=" + std::string(300, 'a') + "\n");
    EXPECT_EQ(Get("Section", "Path1").size(), 255);
    // 200 two-byte characters in code page 932: 127 of them fit in 255 bytes.
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\x8B\xE6";
    Put("[Section]\nPath1=" + wide + "\n");
    QString got = Get("Section", "Path1");
    EXPECT_EQ(got.size(), 127);
    EXPECT_EQ(got[0], QChar(0x533A));
}

TEST_F(ProfileFile, WritingCreatesTheFileSectionAndKey) {
    ASSERT_TRUE(WritePrivateProfileString("Section", QStringLiteral("Pic区分"), " 1", file));
    EXPECT_EQ(Bytes(), "[Section]\nPic\x8B\xE6\x95\xAA= 1\n");
    ASSERT_TRUE(WritePrivateProfileString("Section", "Path1", "", file));
    EXPECT_EQ(Bytes(), "[Section]\nPic\x8B\xE6\x95\xAA= 1\nPath1=\n");
    EXPECT_EQ(Get("section", QStringLiteral("pic区分")), "1");
}

TEST_F(ProfileFile, RewritingAKeyKeepsEveryOtherLineByteForByte) {
    const std::string before =
        "; hand-written notes\r\n[Other]\r\nkeep=me \r\n\r\n[Section]\r\nPath1=/old\r\nweird line without equals\r\n"
        "Path2=/two\r\n\r\n[Tail]\r\nz=1\r\n";
    Put(before);
    ASSERT_TRUE(WritePrivateProfileString("Section", "path1", "/new", file));
    std::string expected = before;
    expected.replace(expected.find("Path1=/old"), 10, "path1=/new");
    EXPECT_EQ(Bytes(), expected);
    ASSERT_TRUE(WritePrivateProfileString("Section", "Path3", "/three", file));
    EXPECT_NE(Bytes().find("Path2=/two\r\nPath3=/three\r\n\r\n[Tail]"), std::string::npos);
}

TEST_F(ProfileFile, TextThatCodePage932CannotHoldTurnsTheWholeFileToUtf8) {
    ASSERT_TRUE(WritePrivateProfileString("Section", QStringLiteral("Pic区分"), " 1", file));
    const QString path = QStringLiteral("/home/u/音楽/🎵 简体.mp3");
    ASSERT_TRUE(WritePrivateProfileString("Section", QStringLiteral("BGMﾌｧｲﾙ"), path, file));
    const std::string bytes = Bytes();
    EXPECT_EQ(bytes.find("\x8B\xE6"), std::string::npos); // no Shift-JIS left
    EXPECT_NE(bytes.find("Pic\xE5\x8C\xBA\xE5\x88\x86= 1"), std::string::npos);
    EXPECT_EQ(Get("Section", QStringLiteral("BGMﾌｧｲﾙ")), path);
    EXPECT_EQ(Get("Section", QStringLiteral("Pic区分")), "1");
}

TEST_F(ProfileFile, GarbageAndHugeLinesGiveDefaultsAndSurviveAWrite) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    std::string huge(100 * 1024, 'x');
    Put(garbage + "\n" + huge + "\n[Section]\n" + huge + "\n");
    EXPECT_EQ(Get("Section", "Path1"), "<default>");
    ASSERT_TRUE(WritePrivateProfileString("Section", "Path1", "/p", file));
    const std::string after = Bytes();
    EXPECT_NE(after.find(garbage.substr(0, 1000)), std::string::npos);
    EXPECT_NE(after.find(huge), std::string::npos);
    EXPECT_EQ(Get("Section", "Path1"), "/p");
}

TEST_F(ProfileFile, AFailedWriteReportsItAndLeavesTheFileAlone) {
    const fs::path folder = fs::path(dir.path().toStdString()) / "no" / "such" / "folder";
    EXPECT_FALSE(WritePrivateProfileString("Section", "Path1", "/p", folder / "Quelm.ini"));
    EXPECT_FALSE(fs::exists(folder));
}
