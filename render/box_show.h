#pragma once
// The box renderer as the show's window uses it.
#include "render/box_renderer.h"
#include "saver/show_services.h"
#include "settings/settings.h"

#include <filesystem>
#include <memory>
#include <string>

namespace quelm {

// Where the 3D device's failure is told: a message box the user clicks away, or, under a
// screensaver daemon, where nobody could click it, standard error ("quelm: <text>").
enum class DeviceErrorOutput { MessageBox, StandardError };

// The renderer of one show: wall files in `wallFolder`, settings read (PicKind may be
// changed in memory by the load step before the renderer is called), shown at `place`.
std::unique_ptr<BoxRenderer> MakeBoxShow(Settings& settings, const std::filesystem::path& wallFolder,
                                         DeviceErrorOutput errorOutput, BoxPlace place = {});

// Shows `text` in a message box with an OK button only (on standard error when the program
// has no widgets).
void ShowDeviceError(const std::string& text);

} // namespace quelm
