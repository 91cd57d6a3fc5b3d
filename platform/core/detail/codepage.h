#pragma once
// Text in Shift-JIS (code page 932), the encoding of the INI file and of the names the
// program shares with other programs, next to UTF-8 which Linux uses everywhere else.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace quelm::core {

// Code page 932 bytes of `text`; nothing when a character has no place in it. Characters
// that the converter maps one way only (〜 U+301C is written 81 60, which reads back as
// ～ U+FF5E; also −, ¥, ‖, ‾, ¢, £, ¬) have no place either: the bytes always read back
// as `text`.
std::optional<std::string> ToCp932(const QString& text);

// Text of code page 932 bytes; nothing when the bytes are not valid code page 932.
std::optional<QString> FromCp932(std::string_view bytes);

// UTF-8 bytes of `text`; nothing when it holds a lone surrogate, which UTF-8 cannot carry.
std::optional<std::string> ToUtf8(const QString& text);

bool IsValidUtf8(std::string_view bytes);

} // namespace quelm::core
