#include "saver/load_rules.h"

#include <system_error>

namespace quelm {

MusicFileType MusicFileTypeOf(const QString& file) {
    const QString ext = file.right(3).toUpper();
    if (ext == QLatin1String("WAV")) return MusicFileType::Wav;
    if (ext == QLatin1String("MP3")) return MusicFileType::Mp3;
    return MusicFileType::None;
}

void DeleteWallFiles(const std::filesystem::path& folder) {
    for (int wall = 1; wall <= kWallCount; ++wall) {
        std::error_code ec;
        std::filesystem::remove(WallFile(folder, wall), ec);
    }
}

} // namespace quelm
