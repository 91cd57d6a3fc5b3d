#include "settings/settings.h"

#include "platform/core/profile_strings.h"
#include "platform/core/program.h"
#include "platform/core/vb_runtime.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quelm {

namespace {
constexpr std::size_t kValueBufferBytes = 256; // the buffer the value is read into
constexpr const char* kIniName = "Quelm.ini";

// A numeric setting: empty text gives 0; a number is rounded down and kept when it fits
// in signed 16-bit; anything else leaves the setting as it was.
void ReadNumber(int16_t& setting, const QString& key, const core::ProfileText& ini) {
    QString text = ini.Get(kSection, key, QString(), kValueBufferBytes);
    if (text.isEmpty()) {
        setting = 0;
        return;
    }
    auto number = core::ParseNumber(text.toStdString());
    if (!number) return;
    if (auto whole = core::ToInt16(core::Int(*number))) setting = *whole;
}

QString NumberText(int16_t value) { return QString::fromStdString(core::Str(value)); }

// The keys and values a save writes, in the file's key order.
std::vector<std::pair<QString, QString>> SavedValues(const Settings& s) {
    std::vector<std::pair<QString, QString>> values{{kKeyPicKind, NumberText(s.PicKind)}};
    for (int i = 1; i <= kWallCount; ++i) values.emplace_back(PathKey(i), s.PicPath[i]);
    values.emplace_back(kKeyBgmKind, NumberText(s.BGMKind));
    values.emplace_back(kKeyBgmRepeat, NumberText(s.BGMRepeat));
    values.emplace_back(kKeyBgmFile, s.BGMFile);
    return values;
}
} // namespace

QString PathKey(int wall) { return QStringLiteral("Path") + QString::number(wall); }

QString ReadIni(const QString& section, const QString& key, const std::filesystem::path& ini) {
    return core::GetPrivateProfileString(section, key, QString(), kValueBufferBytes, ini);
}

void WriteIni(const QString& section, const QString& key, const QString& value, const std::filesystem::path& ini) {
    core::WritePrivateProfileString(section, key, value, ini);
}

bool FileUsable(const QString& path) {
    QString p = path;
    if (p.endsWith(QLatin1Char('/')) || p.endsWith(QLatin1Char('\\'))) p.chop(1);
    if (p.isEmpty()) return false;
    QByteArray native = p.toUtf8();
    int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return ok;
}

void LoadSettings(Settings& s, const std::filesystem::path& file) {
    const core::ProfileText ini = core::ProfileText::FromFile(file); // read once, each key from it
    ReadNumber(s.PicKind, kKeyPicKind, ini);
    for (int i = 1; i <= kWallCount; ++i) {
        s.PicPath[i] = ini.Get(kSection, PathKey(i), QString(), kValueBufferBytes);
        if (!s.PicPath[i].isEmpty() && !FileUsable(s.PicPath[i])) s.PicPath[i].clear();
    }
    ReadNumber(s.BGMKind, kKeyBgmKind, ini);
    ReadNumber(s.BGMRepeat, kKeyBgmRepeat, ini);
    s.BGMFile = ini.Get(kSection, kKeyBgmFile, QString(), kValueBufferBytes);
    if (s.BGMFile.isEmpty() || !FileUsable(s.BGMFile)) {
        s.BGMFile.clear();
        if (s.BGMKind == kBgmFile) s.BGMKind = kBgmNone;
    }
}

void SaveSettings(const Settings& s, const std::filesystem::path& ini) {
    for (const auto& [key, value] : SavedValues(s)) WriteIni(kSection, key, value, ini);
}

SaveRehearsal RehearseSave(const Settings& s, const std::filesystem::path& ini) {
    SaveRehearsal r;
    r.text = core::ProfileText::FromFile(ini);
    for (const auto& [key, value] : SavedValues(s)) r.text.Write(kSection, key, value);
    for (int i = 1; i <= kWallCount; ++i) r.PicPath[i] = r.text.Get(kSection, PathKey(i), QString(), kValueBufferBytes);
    r.BGMFile = r.text.Get(kSection, kKeyBgmFile, QString(), kValueBufferBytes);
    return r;
}

void ApplyPictureSourceGuard(Settings& settings) {
    if (settings.PicKind != kPicFiles) return;
    for (int i = 1; i <= kWallCount; ++i) {
        if (settings.PicPath[i].isEmpty()) {
            settings.PicKind = kPicDesktop;
            return;
        }
    }
}

std::filesystem::path WallFile(const std::filesystem::path& folder, int wall) {
    return folder / ("Quib" + std::to_string(wall) + ".bmp");
}

void DeleteWallFiles(const std::filesystem::path& folder) {
    for (int wall = 1; wall <= kWallCount; ++wall) {
        std::error_code ec;
        std::filesystem::remove(WallFile(folder, wall), ec);
    }
}

std::filesystem::path IniPathForRead() {
    const std::filesystem::path stored = core::StorageFolder() / kIniName;
    std::error_code ec;
    if (std::filesystem::exists(stored, ec)) return stored;
    return core::ProgramFolder() / kIniName;
}

std::filesystem::path IniPathForWrite() { return core::StorageFolder() / kIniName; }

} // namespace quelm
