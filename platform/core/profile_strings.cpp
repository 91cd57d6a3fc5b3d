#include "platform/core/profile_strings.h"

#include "platform/core/detail/codepage.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quelm::core {
namespace {

enum class Encoding { Cp932, Utf8 };

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF"; // UTF-8 byte-order mark
constexpr std::string_view kLf = "\n";
constexpr std::string_view kCrLf = "\r\n";

// One line of the file.
struct Line {
    std::string raw;     // its bytes as stored, without the line end
    std::string end;     // "\r\n" or "\n"; for the last line also "\r" or nothing
    QString text;        // its text; empty when opaque
    bool opaque = false; // its bytes are not valid in the file's encoding
    bool edited = false; // text set by the write, no bytes yet
};

struct IniFile {
    std::vector<Line> lines;
    Encoding encoding = Encoding::Cp932;
};

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QString TrimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && (IsBlank(s[e - 1]) || s[e - 1] == QLatin1Char('\r'))) --e;
    return s.mid(b, e - b);
}

bool SameName(const QString& a, const QString& b) {
    return TrimBlanks(a).compare(TrimBlanks(b), Qt::CaseInsensitive) == 0;
}

std::optional<QString> Decode(std::string_view raw, Encoding enc) {
    if (enc == Encoding::Utf8) {
        if (!core::IsValidUtf8(raw)) return std::nullopt;
        return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
    }
    return core::FromCp932(raw);
}

std::optional<std::string> Encode(const QString& text, Encoding enc) {
    return enc == Encoding::Utf8 ? core::ToUtf8(text) : core::ToCp932(text);
}

bool HasNonAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

IniFile Parse(std::string_view bytes) {
    IniFile ini;
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        ini.encoding = Encoding::Utf8;
        bytes.remove_prefix(kUtf8Mark.size());
    } else if (HasNonAscii(bytes) && core::IsValidUtf8(bytes)) {
        ini.encoding = Encoding::Utf8;
    }
    size_t pos = 0;
    while (pos < bytes.size()) {
        Line line;
        const size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) {
            line.raw = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line.raw = bytes.substr(pos, nl - pos);
            line.end = kLf;
            pos = nl + 1;
        }
        // A CR before the LF, or ending the file, belongs to the line end.
        if (!line.raw.empty() && line.raw.back() == '\r') {
            line.raw.pop_back();
            line.end.insert(0, 1, '\r');
        }
        if (auto text = Decode(line.raw, ini.encoding))
            line.text = *text;
        else
            line.opaque = true;
        ini.lines.push_back(std::move(line));
    }
    return ini;
}

// "[name]" lines: the name between the brackets, or nothing for other lines.
std::optional<QString> SectionName(const Line& line) {
    if (line.opaque) return std::nullopt;
    QString t = TrimBlanks(line.text);
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1);
}

// "key=value" lines: the key before the first '=', or nothing for lines without one.
std::optional<QString> KeyName(const Line& line) {
    if (line.opaque) return std::nullopt;
    qsizetype eq = line.text.indexOf(QLatin1Char('='));
    if (eq < 0) return std::nullopt;
    return line.text.left(eq);
}

// The section's header and the index range [first, end) of its lines.
struct SectionRange {
    size_t header = 0;
    size_t first = 0;
    size_t end = 0;
};

size_t SectionEnd(const std::vector<Line>& lines, size_t first) {
    size_t j = first;
    while (j < lines.size() && !SectionName(lines[j])) ++j;
    return j;
}

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, const QString& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionName(lines[i]);
        if (name && SameName(*name, section)) return SectionRange{i, i + 1, SectionEnd(lines, i + 1)};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range, const QString& key) {
    for (size_t i = range.first; i < range.end; ++i) {
        auto name = KeyName(lines[i]);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

std::optional<size_t> FindKeyLine(const std::vector<Line>& lines, const QString& section, const QString& key) {
    auto range = FindSection(lines, section);
    return range ? FindKey(lines, *range, key) : std::nullopt;
}

QString Unquote(const QString& v) {
    if (v.size() >= 2) {
        QChar f = v.front(), l = v.back();
        if ((f == QLatin1Char('"') || f == QLatin1Char('\'')) && f == l) return v.mid(1, v.size() - 2);
    }
    return v;
}

QString ValueOf(const Line& line) {
    return Unquote(TrimBlanks(line.text.mid(line.text.indexOf(QLatin1Char('=')) + 1)));
}

// Bytes of `text` in `enc`, counted in UTF-8 when `enc` cannot hold it.
size_t StoredSize(const QString& text, Encoding enc) {
    if (auto bytes = Encode(text, enc)) return bytes->size();
    return static_cast<size_t>(text.toUtf8().size());
}

// Cuts `value` so that its bytes in `enc` fit in `bufferBytes` with a terminating NUL.
QString FitBuffer(const QString& value, Encoding enc, size_t bufferBytes) {
    if (bufferBytes == 0) return {};
    const size_t room = bufferBytes - 1;
    size_t used = 0;
    qsizetype i = 0;
    while (i < value.size()) {
        const qsizetype len = (value[i].isHighSurrogate() && i + 1 < value.size()) ? 2 : 1;
        const size_t n = value[i].unicode() < 0x80 ? 1 : StoredSize(value.mid(i, len), enc);
        if (used + n > room) break;
        used += n;
        i += len;
    }
    return value.left(i);
}

// The file's bytes in `target`: lines the write did not touch keep their bytes while the
// encoding stays, opaque lines always; nothing when some text has no place in `target`.
std::optional<std::string> Serialize(const std::vector<Line>& lines, Encoding source, Encoding target) {
    std::string out;
    if (target == Encoding::Utf8) out += kUtf8Mark;
    for (const Line& line : lines) {
        if (line.opaque || (!line.edited && source == target)) {
            out += line.raw;
        } else {
            auto bytes = Encode(line.text, target);
            if (!bytes) return std::nullopt;
            out += *bytes;
        }
        out += line.end;
    }
    return out;
}

// Whether `bytes` read back as `lines` line by line, with the key found on line `written`.
bool ReadsAsWritten(const std::string& bytes, const std::vector<Line>& lines, size_t written, const QString& section,
                    const QString& key) {
    const IniFile back = Parse(bytes);
    if (back.lines.size() != lines.size()) return false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& a = back.lines[i];
        const Line& b = lines[i];
        if (a.opaque != b.opaque || a.end != b.end || (a.opaque ? a.raw != b.raw : a.text != b.text)) return false;
    }
    return FindKeyLine(back.lines, section, key) == written;
}

bool HoldsLineBreak(const QString& s) { return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')); }

std::optional<std::string> ReadBytes(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Writes through a temporary file and a rename, so that a failed write never leaves
// half a file where the user's settings were.
bool WriteAtomically(const fs::path& file, const std::string& bytes) {
    fs::path tmp = file;
    tmp += ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, file, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

} // namespace

ProfileText ProfileText::FromFile(const fs::path& file) { return ProfileText(ReadBytes(file).value_or(std::string())); }

bool ProfileText::IsUtf8() const { return Parse(bytes_).encoding == Encoding::Utf8; }

std::size_t ProfileText::StoredBytes(const QString& text) const {
    return StoredSize(text, IsUtf8() ? Encoding::Utf8 : Encoding::Cp932);
}

QString ProfileText::Get(const QString& section, const QString& key, const QString& defaultValue,
                         std::size_t bufferBytes) const {
    const IniFile ini = Parse(bytes_);
    const auto at = FindKeyLine(ini.lines, section, key);
    return FitBuffer(at ? ValueOf(ini.lines[*at]) : defaultValue, ini.encoding, bufferBytes);
}

std::vector<ProfileText::Entry> ProfileText::Entries() const {
    const IniFile ini = Parse(bytes_);
    std::vector<Entry> entries;
    std::optional<QString> section;
    for (const Line& line : ini.lines) {
        if (auto name = SectionName(line))
            section = name;
        else if (auto key = KeyName(line); key && section)
            entries.push_back({*section, *key});
    }
    return entries;
}

bool ProfileText::Write(const QString& section, const QString& key, const QString& value) {
    if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) return false;
    const IniFile ini = Parse(bytes_);
    std::vector<Line> lines = ini.lines;
    // New lines end as the file's first line does; a last line without its LF gets one.
    std::string newEnd(kLf);
    for (const Line& l : lines)
        if (!l.end.empty()) {
            newEnd = l.end == "\r" ? std::string(kCrLf) : l.end;
            break;
        }
    auto completeEnd = [&](Line& l) {
        if (l.end.empty())
            l.end = newEnd;
        else if (l.end.back() != '\n')
            l.end += kLf;
    };
    auto textLine = [](const QString& text, const std::string& end) {
        Line l;
        l.text = text;
        l.end = end;
        l.edited = true;
        return l;
    };

    const QString keyLine = TrimBlanks(key) + QLatin1Char('=') + value;
    const auto range = FindSection(lines, section);
    const auto at = range ? FindKey(lines, *range, key) : std::nullopt;
    size_t written = 0;
    if (at) {
        written = *at;
        lines[written] = textLine(keyLine, lines[written].end);
    } else if (range) {
        // After the section's last non-blank line, so that a blank separator stays below.
        size_t insertAt = range->end;
        while (insertAt > range->first && !lines[insertAt - 1].opaque && TrimBlanks(lines[insertAt - 1].text).isEmpty())
            --insertAt;
        Line& above = lines[insertAt - 1];
        completeEnd(above);
        const std::string end = above.end;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), textLine(keyLine, end));
        written = insertAt;
    } else {
        if (!lines.empty()) completeEnd(lines.back());
        lines.push_back(textLine(QLatin1Char('[') + TrimBlanks(section) + QLatin1Char(']'), newEnd));
        lines.push_back(textLine(keyLine, newEnd));
        written = lines.size() - 1;
    }

    // Code page 932 when the whole file reads back identical in it, else UTF-8.
    for (Encoding target : {Encoding::Cp932, Encoding::Utf8}) {
        auto bytes = Serialize(lines, ini.encoding, target);
        if (bytes && ReadsAsWritten(*bytes, lines, written, section, key)) {
            bytes_ = std::move(*bytes);
            return true;
        }
    }
    return false;
}

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                std::size_t bufferBytes, const fs::path& file) {
    return ProfileText::FromFile(file).Get(section, key, defaultValue, bufferBytes);
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value, const fs::path& file) {
    ProfileText text = ProfileText::FromFile(file);
    return text.Write(section, key, value) && WriteAtomically(file, text.Bytes());
}

} // namespace quelm::core
