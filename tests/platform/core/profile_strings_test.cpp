#include "platform/core/profile_strings.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>

using namespace quelm::core;
namespace fs = std::filesystem;

// Names compare without case, blanks around values and one pair of quotes are dropped, and
// values are cut to the 256-byte buffer (settings_test) without splitting a character: 127
// of the 200 two-byte characters (区) in code page 932 fit in 255 bytes. No file at all gives
// the defaults (settings_test).
TEST(ProfileText, ReadsTheValueOrTheDefault) {
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\x8B\xE6";
    const std::string spaced = "[ section ]\r\n  path1 =  /tmp/a b  \r\nPATH2=\"/quoted\"\r\n";
    const std::tuple<std::string, const char*, const char*, QString> rows[] = {
        // bytes, section, key, value
        {"[Other]\nPath1=x\n", "Section", "Path1", "<default>"},
        {"[Section]\nPath2=x\n", "Section", "Path1", "<default>"},
        {spaced, "Section", "Path1", "/tmp/a b"},
        {spaced, "SECTION", "path2", "/quoted"},
        {"[Section]\nPath1=" + wide + "\n", "Section", "Path1", QString(127, QChar(0x533A))},
    };
    for (const auto& [bytes, section, key, value] : rows)
        EXPECT_EQ(ProfileText(bytes).Get(section, key, QStringLiteral("<default>"), 256), value) << bytes;
}

TEST(ProfileFile, AFailedWriteReportsItAndLeavesTheFileAlone) {
    QTemporaryDir dir;
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
        // A section name with 〜 (no way back from code page 932) is found again, not added twice.
        {mark + "[S〜]\nk=1\n", "S〜", "k", "2", mark + "[S〜]\nk=2\n"},
        // ¥ stays ¥: written in code page 932 it would read back as a backslash.
        {"[A]\nk¥=v\n", "A", "j", "w", mark + "[A]\nk¥=v\nj=w\n"},
        // An undecodable line stays as it is, and the marked file keeps the rest UTF-8.
        {"[A]\n\xFF\nk=v\n", "A", "p", "🎵", mark + "[A]\n\xFF\nk=v\np=🎵\n"},
        {mark + "[A]\n\xFF\np=🎵\n", "A", "k", "v", mark + "[A]\n\xFF\np=🎵\nk=v\n"},
        // ﾃｩ in code page 932 is C3 A9, which would read as UTF-8 é.
        {"", "A", "k", "ﾃｩ", mark + "[A]\nk=ﾃｩ\n"},
        // Other lines keep their bytes, the key takes the caller's spelling, and a new key
        // goes below the section's last line; each line keeps its own line end, and a last
        // line without one gets the file's.
        {"; notes\r\n[A]\nk=1\nno equals\r\nj=2\n\r\n[B]\r\nz=1", "a", "K", "3",
         "; notes\r\n[A]\nK=3\nno equals\r\nj=2\n\r\n[B]\r\nz=1"},
        {"[A]\nk=1\nj=2\n\r\n[B]\r\nz=1", "A", "n", "3", "[A]\nk=1\nj=2\nn=3\n\r\n[B]\r\nz=1"},
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
