#pragma once
// The user's choices in memory, shared by the whole program, and the INI file that keeps
// them between runs; the wall numbers they share with the wall files.
#include "platform/core/profile_strings.h"

#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>

namespace quelm {

inline constexpr int16_t kPicDesktop = 0; // PicKind: capture of the user's desktop
inline constexpr int16_t kPicFiles = 1;   // PicKind: the six files of PicPath
inline constexpr int16_t kBgmNone = 0;    // BGMKind values
inline constexpr int16_t kBgmCd = 1;
inline constexpr int16_t kBgmFile = 2;
inline constexpr int kWallCount = 6;

struct Settings {
    int16_t PicKind = 0;
    std::array<QString, kWallCount + 1> PicPath{}; // entries 1..6 used; 0 never
    int16_t BGMKind = 0;
    int16_t BGMRepeat = 0;
    QString BGMFile;
};

// The show's picture source: PicKind 1 with any of the six paths empty falls back to the
// desktop capture (in memory only).
void ApplyPictureSourceGuard(Settings& settings);

// The wall file of wall 1..6 in `folder`: "Quib1.bmp" .. "Quib6.bmp".
std::filesystem::path WallFile(const std::filesystem::path& folder, int wall);

// Deletes the six wall files of `folder`; a missing or undeletable file is passed over.
void DeleteWallFiles(const std::filesystem::path& folder);

// The INI file "Quelm.ini" to read: in the storage folder (core::StorageFolder) when one is
// there, else the one beside the program (a system-wide install's defaults). The INI file to
// write: in the storage folder.
std::filesystem::path IniPathForRead();
std::filesystem::path IniPathForWrite();

// Section and key names as the file holds them.
inline const QString kSection = QStringLiteral("Section");
inline const QString kKeyPicKind = QStringLiteral("Pic区分");
inline const QString kKeyBgmKind = QStringLiteral("BGM区分");
inline const QString kKeyBgmRepeat = QStringLiteral("BGMﾘﾋﾟｰﾄ");
inline const QString kKeyBgmFile = QStringLiteral("BGMﾌｧｲﾙ");
QString PathKey(int wall); // "Path1" .. "Path6"

// Reads every setting from `ini` into `s`, in the file's key order. A missing file,
// section or key gives the default; paths naming no usable file are dropped.
void LoadSettings(Settings& s, const std::filesystem::path& ini);

// Writes every setting of `s` to `ini`, keeping the file's other lines.
void SaveSettings(const Settings& s, const std::filesystem::path& ini);

// What saving `s` to `ini` would give, worked out in memory (the file is not touched): the
// paths as the next LoadSettings reads them back, before they are tested for usable files,
// and the file's contents after the save.
struct SaveRehearsal {
    std::array<QString, kWallCount + 1> PicPath{}; // entries 1..6 used
    QString BGMFile;
    core::ProfileText text;
};
SaveRehearsal RehearseSave(const Settings& s, const std::filesystem::path& ini);

// One value (at most 255 bytes of it), or empty text when file, section or key is missing.
QString ReadIni(const QString& section, const QString& key, const std::filesystem::path& ini);

// One value written; the file, section and key are created as needed. Result ignored.
void WriteIni(const QString& section, const QString& key, const QString& value, const std::filesystem::path& ini);

// True when `path` (one trailing separator removed) opens for reading as a file.
bool FileUsable(const QString& path);

} // namespace quelm
