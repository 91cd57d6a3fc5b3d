#pragma once
// Emulates the Windows profile-string calls on an INI file:
//  - GetPrivateProfileString: a missing file, section or key gives the default; section and
//    key names compare without regard to case; blanks around names and values are trimmed,
//    and one pair of matching quotes around a value is removed; the value is cut to fit a
//    buffer of `bufferBytes` bytes with its terminating NUL (in the file's encoding, never
//    inside a character).
//  - WritePrivateProfileString: creates the file, the section and the key as needed,
//    replaces the key's line in place, and keeps every other line of the file as it reads.
// Not emulated: key deletion (a null value), section enumeration, the registry mapping.
//
// Encoding. A file that starts with a UTF-8 byte-order mark is UTF-8; one without is UTF-8
// when all of it is valid UTF-8 (so that files edited by hand load), else code page 932.
// Each line is decoded on its own; a line whose bytes are not valid in the file's encoding
// is opaque: it is no section and no key, and it is kept byte for byte.
// A write keeps code page 932 when every line of the file reads back identical in it, and
// otherwise writes the file in UTF-8 with a byte-order mark. The mark keeps such a file
// UTF-8 whatever it holds: without it, one opaque byte would make the whole file read as
// code page 932, and code page 932 text whose bytes happen to be valid UTF-8 (ﾃｩ, C3 A9)
// would read as UTF-8 (é). A file without the mark that is valid UTF-8 is still read as
// UTF-8; the writer never leaves code page 932 text that could be taken so.
// Lines keep their own line ends, CR LF or LF. A write that cannot be read back as written
// (a name or value holding CR or LF, a key holding '=', a section name holding ']', a line
// that would turn from opaque to readable) is refused and changes nothing.
#include <QString>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace quelm::core {

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& defaultValue,
                                std::size_t bufferBytes, const std::filesystem::path& file);

// False when the value was refused or the file could not be written; the file is then left
// as it was.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const std::filesystem::path& file);

// An INI file's contents in memory: the two calls above are these on the file's bytes.
class ProfileText {
public:
    ProfileText() = default;
    explicit ProfileText(std::string bytes) : bytes_(std::move(bytes)) {}
    // The file's contents; empty text when it does not exist or cannot be read.
    static ProfileText FromFile(const std::filesystem::path& file);

    QString Get(const QString& section, const QString& key, const QString& defaultValue, std::size_t bufferBytes) const;
    // False, and nothing changed, when the write is refused.
    bool Write(const QString& section, const QString& key, const QString& value);

    const std::string& Bytes() const { return bytes_; }
    bool IsUtf8() const;
    // Bytes `text` takes in the file's encoding (in UTF-8 when code page 932 cannot hold it).
    std::size_t StoredBytes(const QString& text) const;

    // Every key line the reader sees, in file order, with its section's name as written.
    struct Entry {
        QString section;
        QString key;
    };
    std::vector<Entry> Entries() const;

private:
    std::string bytes_;
};

} // namespace quelm::core
