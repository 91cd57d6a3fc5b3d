#pragma once
// The box renderer as the show's window uses it.
#include "saver/show_services.h"
#include "settings/settings.h"

#include <filesystem>
#include <memory>
#include <string>

namespace quelm {

// The renderer of one show: wall files in `wallFolder`, settings read (PicKind may be
// changed in memory by the load step before the renderer is called).
std::unique_ptr<ShowRenderer> MakeBoxShow(Settings& settings, const std::filesystem::path& wallFolder);

// Shows `text` in a message box with an OK button only (on standard error when the program
// has no widgets).
void ShowDeviceError(const std::string& text);

} // namespace quelm
