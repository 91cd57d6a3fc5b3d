#include "saver/load_rules.h"

namespace quelm {

MusicFileType MusicFileTypeOf(const QString& file) {
    const QString ext = file.right(3).toUpper();
    if (ext == QLatin1String("WAV")) return MusicFileType::Wav;
    if (ext == QLatin1String("MP3")) return MusicFileType::Mp3;
    return MusicFileType::None;
}

bool KeyTypesCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    constexpr char16_t kDelete = 0x7F;
    if (text.isEmpty() || key == Qt::Key_Delete || text.front() == kDelete) return false;
    // Alt (and the Windows key) turn a letter into a menu or desktop shortcut.
    return !(modifiers & (Qt::AltModifier | Qt::MetaModifier));
}

} // namespace quelm
