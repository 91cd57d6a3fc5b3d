#include "platform/profile_strings.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>

using namespace quelm::profile;
namespace fs = std::filesystem;

namespace {

class ProfileFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    fs::path file = fs::path(dir.path().toStdString()) / "Quelm.ini";

    void Put(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
    std::string Bytes() {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    QString Get(const QString& section, const QString& key, size_t buffer = 256) {
        return GetPrivateProfileString(section, key, QStringLiteral("<default>"), buffer, file);
    }
};

} // namespace

// Names compare without case, blanks around values and one pair of quotes are dropped, and
// values are cut to the 256-character buffer without splitting a character: 127 of the 200
// two-byte characters (区) in code page 932 fit in 255 bytes.
TEST_F(ProfileFile, ReadsTheValueOrTheDefault) {
    EXPECT_EQ(Get("Section", "Path1"), "<default>"); // no file
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\x8B\xE6";
    const struct {
        std::string bytes;
        const char* section;
        const char* key;
        QString value;
    } rows[] = {
        {"[Other]\nPath1=x\n", "Section", "Path1", "<default>"},
        {"[Section]\nPath2=x\n", "Section", "Path1", "<default>"},
        {"[ section ]\r\n  path1 =  /tmp/a b  \r\nPATH2=\"/quoted\"\r\n", "Section", "Path1", "/tmp/a b"},
        {"[ section ]\r\n  path1 =  /tmp/a b  \r\nPATH2=\"/quoted\"\r\n", "SECTION", "path2", "/quoted"},
        {"[Section]\nPath1=" + std::string(300, 'a') + "\n", "Section", "Path1", QString(255, QLatin1Char('a'))},
        {"[Section]\nPath1=" + wide + "\n", "Section", "Path1", QString(127, QChar(0x533A))},
    };
    for (const auto& r : rows) {
        Put(r.bytes);
        EXPECT_EQ(Get(r.section, r.key), r.value) << r.bytes;
    }
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
        "; hand-written notes\r\n[Other]\nkeep=me \r\n\r\n[Section]\r\nPath1=/old\nweird line without equals\r\n"
        "Path2=/two\n\r\n[Tail]\r\nz=1";
    Put(before);
    ASSERT_TRUE(WritePrivateProfileString("Section", "path1", "/new", file));
    std::string expected = before;
    expected.replace(expected.find("Path1=/old"), 10, "path1=/new");
    EXPECT_EQ(Bytes(), expected);
    // A new key goes below the section's last line and ends as that line does.
    ASSERT_TRUE(WritePrivateProfileString("Section", "Path3", "/three", file));
    EXPECT_NE(Bytes().find("Path2=/two\nPath3=/three\n\r\n[Tail]"), std::string::npos);
}

TEST_F(ProfileFile, AFailedWriteReportsItAndLeavesTheFileAlone) {
    const fs::path folder = fs::path(dir.path().toStdString()) / "no" / "such" / "folder";
    EXPECT_FALSE(WritePrivateProfileString("Section", "Path1", "/p", folder / "Quelm.ini"));
    EXPECT_FALSE(fs::exists(folder));
}

// Writes that once lost a setting or changed other lines: each row writes one value into a
// file and gives the file's bytes after it; no bytes: the write is refused, nothing changes.
TEST(ProfileText, WritesReadBackAsWrittenAndChangeNoOtherLine) {
    const std::string mark = "\xEF\xBB\xBF"; // UTF-8 byte-order mark
    const struct {
        std::string before;
        const char *section, *key, *value;
        std::optional<std::string> after;
    } rows[] = {
        // A UTF-8 file rewritten with a plain value (once a use after free).
        {"[A]\nk=\xC3\xA9\n", "A", "k", "x", "[A]\nk=x\n"},
        // 〜 has no way back from code page 932: the file turns UTF-8.
        {"", "Section", "Path1", "/tmp/写真〜2020/a.jpg", mark + "[Section]\nPath1=/tmp/写真〜2020/a.jpg\n"},
        {"", "Section", "Path1", "/tmp/写真2020/a.jpg",
         "[Section]\nPath1=/tmp/\x8E\xCA\x90\x5E"
         "2020/a.jpg\n"},
        // A section name with such a character is found again, not added twice.
        {mark + "[S〜]\nk=1\n", "S〜", "k", "2", mark + "[S〜]\nk=2\n"},
        // ¥ stays ¥: written in code page 932 it would read back as a backslash.
        {"[A]\nk¥=v\n", "A", "j", "w", mark + "[A]\nk¥=v\nj=w\n"},
        // An undecodable line stays as it is, and the marked file keeps the rest UTF-8.
        {"[A]\n\xFF\nk=v\n", "A", "p", "🎵", mark + "[A]\n\xFF\nk=v\np=🎵\n"},
        {mark + "[A]\n\xFF\np=🎵\n", "A", "k", "v", mark + "[A]\n\xFF\np=🎵\nk=v\n"},
        // ﾃｩ in code page 932 is C3 A9, which would read as UTF-8 é.
        {"", "A", "k", "ﾃｩ", mark + "[A]\nk=ﾃｩ\n"},
        // Each line keeps its own line end; a last line without one gets the file's.
        {"[A]\r\nk=1\nj=2\r\n", "A", "k", "3", "[A]\r\nk=3\nj=2\r\n"},
        {"[A]\r\nk=1", "B", "k", "2", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},
        {"[A]\r", "A", "k", "\x01", "[A]\r\nk=\x01\r\n"},
        // Text that cannot be one line, or a name that would not be found again.
        {"[A]\nk=1\n", "A", "k", "a\nb", std::nullopt},
        {"[A]\nk=1\n", "A", "k", "a\rb", std::nullopt},
        {"[A]\nk=1\n", "A", "k=j", "2", std::nullopt},
        {"[A]\nk=1\n", "A]", "k", "2", std::nullopt},
        {"[A]\nk=1\n", "A", "[k]", "2", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.section) + "/" + r.key + "=" + r.value);
        ProfileText text(r.before);
        const QString section = QString::fromUtf8(r.section), key = QString::fromUtf8(r.key),
                      value = QString::fromUtf8(r.value);
        EXPECT_EQ(text.Write(section, key, value), r.after.has_value());
        EXPECT_EQ(text.Bytes(), r.after.value_or(r.before));
        if (r.after) {
            EXPECT_EQ(text.Get(section, key, QString(), 256), value);
        }
    }
}
