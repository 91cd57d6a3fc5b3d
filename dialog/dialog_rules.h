#pragma once
// The settings dialog's rules that need no display: the twips of its design, where the
// window goes, which music controls are usable, the repeat track's text and how a typed
// text becomes the repeat track, the file-open filters and which chosen files are taken.
#include "settings/settings.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace quelm::dialog {

// Top-left corner of the window, in the unit of the sizes given (twips): centred across,
// a third of the free height down; each difference is rounded to whole twips first and
// the divisions drop their remainders.
struct Point {
    int x = 0;
    int y = 0;
};
Point WindowPlacement(double screenWidth, double screenHeight, double windowWidth, double windowHeight);

// Which music controls can be used for a music source: the music-file button only for
// the music file, the repeat box only for the audio CD; any other value disables both.
struct MusicControls {
    bool fileButton = false;
    bool repeatBox = false;
};
MusicControls MusicControlsFor(int16_t bgmKind);

// A whole number formatted with the pattern "##": decimal digits, no leading zeros,
// 0 gives an empty text.
QString FormatHashHash(int value);

// The repeat track after accepting with `text` in the repeat box: a number is rounded
// half to even and taken when it fits in signed 16-bit (else the old value stays); text
// that is not a number (empty text included) gives 0.
int16_t RepeatFromText(const QString& text, int16_t previous);

// The file-open requests: each filter is one description and one pattern list
// separated by semicolons; the title is shared. The title and the descriptions are shown
// translated (dialog/translation.h).
struct FileFilter {
    QString description;
    QString patterns;
};
inline const QString kOpenFileTitle = QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "ﾌｧｲﾙを開く"));
inline const FileFilter kPictureFilter{QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "画像ﾌｧｲﾙ (bmp jpg gif)")),
                                       QStringLiteral("*.bmp;*.jpg;*.gif")};
inline const FileFilter kMusicFilter{QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "BGMﾌｧｲﾙ (MP3 WAV)")),
                                     QStringLiteral("*.MP3;*.WAV")};
// Whether a file the user chose is taken. `chosen` is `current` with the chosen path in
// place. The path must fit the file-open request's 255-byte name buffer with its
// terminating NUL, counted in the encoding the INI file will have once the settings are
// saved (code page 932, or UTF-8 when some text needs it); and saving `chosen` to `ini`
// must give it back unchanged (no line break, no blanks or quotes around it, at most 255
// bytes) without losing a path that saving `current` would have kept. Otherwise the choice
// is refused and the old path stays.
inline constexpr std::size_t kFileNameBufferBytes = 255;
bool ChoiceTaken(const Settings& current, const Settings& chosen, const std::filesystem::path& ini);

// The filter as a Qt file dialog reads it: "description (pattern pattern ...)", each pattern
// matching its letters in either case ("*.jpg" as "*.[jJ][pP][gG]"), as on Windows: Qt's own
// dialog and the desktop's (GTK, portal) all read bracket classes, while GTK and the portal
// would otherwise match the case as written. The description shows; the patterns do not.
QString QtNameFilter(const FileFilter& filter);

} // namespace quelm::dialog
