#pragma once
// The settings dialog, shown modally in settings mode.
#include "settings/settings.h"

#include <filesystem>

namespace quelm {

// Shows the dialog modally on `settings`; on accept it saves them to `ini`. Returns when
// the dialog has closed.
void ShowSettingsDialog(Settings& settings, const std::filesystem::path& ini);

} // namespace quelm
