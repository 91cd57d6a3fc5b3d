#pragma once
// Emulates the Windows profile-string calls on an INI file:
//  - GetPrivateProfileString: a missing file, section or key gives the default; section and
//    key names compare without regard to case; blanks around names and values are trimmed,
//    and one pair of matching quotes around a value is removed; the value is cut to fit a
//    buffer of `bufferBytes` bytes with its terminating NUL (in the file's encoding, never
//    inside a character).
//  - WritePrivateProfileString: creates the file, the section and the key as needed,
//    replaces the key's line in place, and keeps every other line of the file byte for byte.
// Not emulated: key deletion (a null value), section enumeration, the registry mapping.
// Files are read as UTF-8 when they are valid UTF-8 and as code page 932 otherwise; they
// are written in code page 932 unless some text has no place there, then whole in UTF-8.
#include <QString>
#include <cstddef>
#include <filesystem>

namespace quelm::profile {

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                std::size_t bufferBytes, const std::filesystem::path& file);

// False when the file could not be written; the file is then left as it was.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const std::filesystem::path& file);

} // namespace quelm::profile
