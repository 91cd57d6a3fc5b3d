#pragma once
// Text in Shift-JIS (code page 932), the encoding of the INI file and of the names the
// program shares with other programs, next to UTF-8 which Linux uses everywhere else.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace quelm::codepage {

// Code page 932 bytes of `text`; nothing when a character has no place in it.
std::optional<std::string> ToCp932(const QString& text);

// Text of code page 932 bytes; nothing when the bytes are not valid code page 932.
std::optional<QString> FromCp932(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes);

// How a file's bytes are read: UTF-8 when they are valid UTF-8, else code page 932
// (bytes that are neither decode leniently so that nothing throws).
QString DecodeFileText(std::string_view bytes, bool* wasUtf8 = nullptr);

} // namespace quelm::codepage
