#include "platform/core/detail/codepage.h"

#include <QByteArray>
#include <cerrno>
#include <iconv.h>

namespace quelm::core {
namespace {

// One iconv conversion of the whole input; nothing on any invalid or unmappable byte.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    // iconv may map some characters "approximately" without failing; a non-zero return
    // counts irreversible conversions, which lose text.
    if (r != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

bool IsAscii(std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace

std::optional<std::string> ToCp932(const QString& text) {
    const auto utf8 = ToUtf8(text);
    if (!utf8) return std::nullopt;
    if (IsAscii(*utf8)) return utf8; // code page 932 keeps ASCII as it is
    auto bytes = Convert("CP932", "UTF-8", *utf8);
    // glibc reports one-way mappings as exact: only bytes that read back as the text count.
    if (!bytes || Convert("UTF-8", "CP932", *bytes) != *utf8) return std::nullopt;
    return bytes;
}

std::optional<QString> FromCp932(std::string_view bytes) {
    if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    auto utf8 = Convert("UTF-8", "CP932", bytes);
    if (!utf8) return std::nullopt;
    return QString::fromUtf8(utf8->data(), static_cast<qsizetype>(utf8->size()));
}

std::optional<std::string> ToUtf8(const QString& text) {
    if (!text.isValidUtf16()) return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0, n = bytes.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        int extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else
            return false;
        if (i + static_cast<size_t>(extra) >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // No overlong forms, no surrogates, nothing past U+10FFFF.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000)) return false;
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

} // namespace quelm::core
