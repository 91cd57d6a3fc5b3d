#pragma once
// The show's choices at load and close that depend only on the settings.
#include "settings/settings.h"

namespace quelm {

enum class MusicFileType { None, Wav, Mp3 };

// The music file's type by the upper-cased last three characters of its name.
MusicFileType MusicFileTypeOf(const QString& file);

// Deletes the six wall files; a missing or undeletable file is passed over.
void DeleteWallFiles(const std::filesystem::path& folder);

} // namespace quelm
