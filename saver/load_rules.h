#pragma once
// The show's rules that need no display: its choices at load and close, which depend only
// on the settings, and which keys end it.
#include "settings/settings.h"

#include <Qt>

namespace quelm {

enum class MusicFileType { None, Wav, Mp3 };

// The music file's type by the upper-cased last three characters of its name.
MusicFileType MusicFileTypeOf(const QString& file);

// Whether a key press types a character, the keys that end the show: printable keys,
// Enter, Esc, Backspace, Tab and Ctrl+letter do; Delete, Alt+anything, dead keys, function,
// arrow and modifier keys type none. `text` is what the keyboard layout gives for the press.
bool KeyTypesCharacter(int key, Qt::KeyboardModifiers modifiers, const QString& text);

} // namespace quelm
