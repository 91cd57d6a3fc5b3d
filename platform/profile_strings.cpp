#include "platform/profile_strings.h"

#include "platform/codepage.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quelm::profile {
namespace {

enum class Encoding { Cp932, Utf8 };

// One line of the file: its bytes as stored (without the line break) and its text.
struct Line {
    std::string raw;
    QString text;
    bool decoded = true; // false when the bytes are not valid in the file's encoding
};

struct IniFile {
    std::vector<Line> lines;
    Encoding encoding = Encoding::Cp932;
    std::string newline = "\n";
    bool endsWithNewline = true;
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
        if (!codepage::IsValidUtf8(raw)) return std::nullopt;
        return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
    }
    return codepage::FromCp932(raw);
}

std::optional<std::string> Encode(const QString& text, Encoding enc) {
    if (enc == Encoding::Utf8) {
        QByteArray b = text.toUtf8();
        return std::string(b.constData(), static_cast<size_t>(b.size()));
    }
    return codepage::ToCp932(text);
}

std::optional<std::string> ReadBytes(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

IniFile Parse(const std::string& bytes) {
    IniFile ini;
    ini.encoding = codepage::IsValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp932;
    if (bytes.find("\r\n") != std::string::npos) ini.newline = "\r\n";
    ini.endsWithNewline = bytes.empty() || bytes.back() == '\n';
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        size_t end = nl == std::string::npos ? bytes.size() : nl;
        std::string raw = bytes.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        Line line;
        line.raw = raw;
        if (auto text = Decode(raw, ini.encoding)) {
            line.text = *text;
        } else {
            line.decoded = false;
            line.text = codepage::DecodeFileText(raw);
        }
        ini.lines.push_back(std::move(line));
        pos = nl == std::string::npos ? bytes.size() : nl + 1;
    }
    return ini;
}

// "[name]" lines: the name between the brackets, or nothing for other lines.
std::optional<QString> SectionName(const QString& line) {
    QString t = TrimBlanks(line);
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1);
}

// "key=value" lines: the key before the first '=', or nothing for lines without one.
std::optional<QString> KeyName(const QString& line) {
    qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) return std::nullopt;
    return line.left(eq);
}

// Index range [first, end) of the lines inside the section, or nothing when it is absent.
struct SectionRange {
    size_t header = 0;
    size_t first = 0;
    size_t end = 0;
};

std::optional<SectionRange> FindSection(const IniFile& ini, const QString& section) {
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        auto name = SectionName(ini.lines[i].text);
        if (!name || !SameName(*name, section)) continue;
        size_t j = i + 1;
        while (j < ini.lines.size() && !SectionName(ini.lines[j].text)) ++j;
        return SectionRange{i, i + 1, j};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const IniFile& ini, const SectionRange& range, const QString& key) {
    for (size_t i = range.first; i < range.end; ++i) {
        auto name = KeyName(ini.lines[i].text);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

QString Unquote(const QString& v) {
    if (v.size() >= 2) {
        QChar f = v.front(), l = v.back();
        if ((f == QLatin1Char('"') || f == QLatin1Char('\'')) && f == l) return v.mid(1, v.size() - 2);
    }
    return v;
}

// Cuts `value` so that its bytes in `enc` fit in `bufferBytes` with a terminating NUL.
QString FitBuffer(const QString& value, Encoding enc, size_t bufferBytes) {
    if (bufferBytes == 0) return {};
    size_t room = bufferBytes - 1;
    size_t used = 0;
    QString out;
    for (qsizetype i = 0; i < value.size();) {
        qsizetype len = (value[i].isHighSurrogate() && i + 1 < value.size()) ? 2 : 1;
        QString ch = value.mid(i, len);
        auto bytes = Encode(ch, enc);
        size_t n = bytes ? bytes->size() : static_cast<size_t>(ch.toUtf8().size());
        if (used + n > room) break;
        used += n;
        out += ch;
        i += len;
    }
    return out;
}

std::string Serialize(const IniFile& ini) {
    std::string out;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        out += ini.lines[i].raw;
        if (i + 1 < ini.lines.size() || ini.endsWithNewline) out += ini.newline;
    }
    return out;
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

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                std::size_t bufferBytes, const fs::path& file) {
    auto bytes = ReadBytes(file);
    IniFile ini = bytes ? Parse(*bytes) : IniFile{};
    QString value = defaultValue;
    if (bytes) {
        if (auto range = FindSection(ini, section)) {
            if (auto at = FindKey(ini, *range, key)) {
                const QString& line = ini.lines[*at].text;
                value = Unquote(TrimBlanks(line.mid(line.indexOf(QLatin1Char('=')) + 1)));
            }
        }
    }
    return FitBuffer(value, ini.encoding, bufferBytes);
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const fs::path& file) {
    auto bytes = ReadBytes(file);
    IniFile ini = bytes ? Parse(*bytes) : IniFile{};
    if (!bytes) ini.endsWithNewline = true;

    const QString keyLine = TrimBlanks(key) + QLatin1Char('=') + value;
    auto range = FindSection(ini, section);
    // The key's line, or npos when the key is new.
    const size_t at = range ? FindKey(ini, *range, key).value_or(std::string::npos) : std::string::npos;

    // The file's text after the change decides the encoding: code page 932 when all of it
    // fits there, UTF-8 otherwise.
    bool fitsCp932 = codepage::ToCp932(keyLine).has_value() && codepage::ToCp932(section).has_value();
    for (size_t i = 0; fitsCp932 && i < ini.lines.size(); ++i)
        if (ini.lines[i].decoded && i != at) fitsCp932 = codepage::ToCp932(ini.lines[i].text).has_value();
    Encoding target = fitsCp932 ? Encoding::Cp932 : Encoding::Utf8;
    if (target != ini.encoding) {
        for (Line& l : ini.lines)
            if (l.decoded) l.raw = *Encode(l.text, target);
        ini.encoding = target;
    }

    auto makeLine = [&](const QString& text) {
        Line l;
        l.text = text;
        l.raw = *Encode(text, target);
        return l;
    };
    if (at != std::string::npos) {
        ini.lines[at] = makeLine(keyLine);
    } else if (range) {
        // After the section's last non-blank line, so that a blank separator stays below.
        size_t insertAt = range->end;
        while (insertAt > range->first && TrimBlanks(ini.lines[insertAt - 1].text).isEmpty()) --insertAt;
        ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(insertAt), makeLine(keyLine));
    } else {
        if (!ini.lines.empty() && !ini.endsWithNewline) ini.endsWithNewline = true;
        ini.lines.push_back(makeLine(QLatin1Char('[') + TrimBlanks(section) + QLatin1Char(']')));
        ini.lines.push_back(makeLine(keyLine));
        ini.endsWithNewline = true;
    }
    return WriteAtomically(file, Serialize(ini));
}

} // namespace quelm::profile
