// The INI writer on any file, with any section, key and value. Properties:
//  - a refused write changes nothing; on a file whose every line is readable, a write with
//    plain names and a value without line breaks is never refused;
//  - the value reads back equal whenever it holds no CR or LF, has no blanks or quotes
//    around it and takes at most 255 bytes in the file's encoding after the write;
//  - every other key reads as before, and at most one key is added;
//  - while the encoding stays, the other lines keep their bytes and line ends.
#include "fuzz_check.h"
#include "platform/core/detail/codepage.h"
#include "platform/core/profile_strings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

using quelm::core::ProfileText;
namespace core = quelm::core;

namespace {

constexpr size_t kValueBuffer = 256; // what the settings read values into
constexpr size_t kUnlimited = std::numeric_limits<size_t>::max();
constexpr size_t kMaxText = 600;
constexpr std::string_view kMark = "\xEF\xBB\xBF";
const char* const kNames[] = {"Section", "Pic区分", "Path1", "BGMﾌｧｲﾙ", "A", "k", "S〜", "¥"};

bool Blank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool Quote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }
bool HoldsLineBreak(const QString& s) { return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')); }

// A name from the program's own, or any text.
QString Name(FuzzedDataProvider& in, bool* plain) {
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    const std::string text = pick < std::size(kNames) ? kNames[pick] : in.ConsumeRandomLengthString(kMaxText);
    *plain = pick < std::size(kNames) ||
             (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isalnum(c); }));
    return QString::fromStdString(text);
}

bool SameName(const QString& a, const QString& b) {
    auto trim = [](QString s) { // blanks around, and a CR at the end
        while (!s.isEmpty() && (Blank(s.back()) || s.back() == QLatin1Char('\r'))) s.chop(1);
        return s.remove(0, std::find_if_not(s.begin(), s.end(), Blank) - s.begin());
    };
    return trim(a).compare(trim(b), Qt::CaseInsensitive) == 0;
}

// Every line of the file is readable in the encoding it will be read in.
bool Readable(std::string_view bytes) {
    if (bytes.substr(0, kMark.size()) == kMark) return core::IsValidUtf8(bytes.substr(kMark.size()));
    return core::IsValidUtf8(bytes) || core::FromCp932(bytes).has_value();
}

// Lines with their line ends.
std::vector<std::string_view> Lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (size_t n = 0; !bytes.empty(); bytes.remove_prefix(n)) {
        n = std::min(bytes.find('\n'), bytes.size() - 1) + 1; // the line end, or the rest
        lines.push_back(bytes.substr(0, n));
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    bool plainSection = false, plainKey = false;
    const QString section = Name(in, &plainSection);
    const QString key = Name(in, &plainKey);
    const QString value = QString::fromStdString(in.ConsumeRandomLengthString(kMaxText));
    const std::string file = in.ConsumeRemainingBytesAsString();

    const ProfileText before(file);
    ProfileText after(file);
    const bool written = after.Write(section, key, value);
    if (!written) {
        FUZZ_CHECK(after.Bytes() == file);
        FUZZ_CHECK(!(plainSection && plainKey && !HoldsLineBreak(value) && Readable(file)));
        return 0;
    }

    const bool plainValue = !HoldsLineBreak(value) &&
                            (value.isEmpty() || (!Blank(value.front()) && !Blank(value.back()))) &&
                            !(value.size() >= 2 && Quote(value.front()) && value.front() == value.back());
    if (plainValue && after.StoredBytes(value) < kValueBuffer)
        FUZZ_CHECK(after.Get(section, key, QString(), kValueBuffer) == value);

    const auto entriesBefore = before.Entries(), entriesAfter = after.Entries();
    FUZZ_CHECK(entriesAfter.size() == entriesBefore.size() || entriesAfter.size() == entriesBefore.size() + 1);
    const QString none = QStringLiteral("<none>");
    for (const auto* entries : {&entriesBefore, &entriesAfter})
        for (const ProfileText::Entry& e : *entries) {
            if (SameName(e.section, section) && SameName(e.key, key)) continue;
            FUZZ_CHECK(before.Get(e.section, e.key, none, kUnlimited) == after.Get(e.section, e.key, none, kUnlimited));
        }

    // Same encoding, same mark: all but one line are kept byte for byte, line ends included;
    // the last line may gain a line end, and at most a section and a key are added.
    const std::string_view b = before.Bytes(), a = after.Bytes();
    const bool marked = b.substr(0, kMark.size()) == kMark;
    if (before.IsUtf8() == after.IsUtf8() && marked == (a.substr(0, kMark.size()) == kMark)) {
        const auto old = Lines(b), now = Lines(a);
        const size_t head = std::mismatch(old.begin(), old.end(), now.begin(), now.end()).first - old.begin();
        const size_t tail =
            std::mismatch(old.rbegin(), old.rend() - head, now.rbegin(), now.rend() - head).first - old.rbegin();
        FUZZ_CHECK(old.size() - head - tail <= 1);
        FUZZ_CHECK(now.size() - head - tail <= 3);
    }
    return 0;
}
