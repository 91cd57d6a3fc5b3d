#include "saver/load_rules.h"

#include <system_error>

namespace quelm {

void ApplyPictureSourceGuard(Settings& settings) {
    if (settings.PicKind != kPicFiles) return;
    for (int i = 1; i <= kWallCount; ++i) {
        if (settings.PicPath[i].isEmpty()) {
            settings.PicKind = kPicDesktop;
            return;
        }
    }
}

MusicFileType MusicFileTypeOf(const QString& file) {
    const QString ext = file.right(3).toUpper();
    if (ext == QLatin1String("WAV")) return MusicFileType::Wav;
    if (ext == QLatin1String("MP3")) return MusicFileType::Mp3;
    return MusicFileType::None;
}

std::filesystem::path WallFilePath(const std::filesystem::path& folder, int wall) {
    return folder / ("Quib" + std::to_string(wall) + ".bmp");
}

void DeleteWallFiles(const std::filesystem::path& folder) {
    for (int wall = 1; wall <= kWallCount; ++wall) {
        std::error_code ec;
        std::filesystem::remove(WallFilePath(folder, wall), ec);
    }
}

} // namespace quelm
