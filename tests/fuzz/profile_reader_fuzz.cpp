// The INI reader on any file: no undefined behaviour, and every value fits the buffer it
// is read into. The first byte is the buffer's size, the rest the file.
#include "fuzz_check.h"
#include "platform/core/profile_strings.h"

#include <cstddef>
#include <cstdint>
#include <string>

using quelm::core::ProfileText;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t bufferBytes = data[0];
    const ProfileText text(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    const QString none = QStringLiteral("<none>");
    auto read = [&](const QString& section, const QString& key) {
        const QString value = text.Get(section, key, none, bufferBytes);
        FUZZ_CHECK(bufferBytes == 0 ? value.isEmpty() : text.StoredBytes(value) < bufferBytes);
    };
    for (const char* key : {"Pic区分", "Path1", "BGMﾌｧｲﾙ"}) read(QStringLiteral("Section"), QString::fromUtf8(key));
    for (const ProfileText::Entry& e : text.Entries()) read(e.section, e.key);
    return 0;
}
