#pragma once
// The show's choices at load and close that depend only on the settings.
#include "startup/settings.h"

namespace quelm {

// PicKind 1 with any of the six paths empty falls back to the desktop capture (in memory).
void ApplyPictureSourceGuard(Settings& settings);

enum class MusicFileType { None, Wav, Mp3 };

// The music file's type by the upper-cased last three characters of its name.
MusicFileType MusicFileTypeOf(const QString& file);

// The wall files' names in `folder`: Quib1.bmp .. Quib6.bmp.
std::filesystem::path WallFilePath(const std::filesystem::path& folder, int wall);

// Deletes the six wall files; a missing or undeletable file is passed over.
void DeleteWallFiles(const std::filesystem::path& folder);

} // namespace quelm
