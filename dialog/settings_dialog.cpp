#include "dialog/settings_dialog.h"

#include "dialog/quib_p.h"

namespace quelm {

void ShowSettingsDialog(Settings& settings, const std::filesystem::path& ini) {
    QuibP dialog(settings, ini);
    dialog.Load();
    dialog.exec();
}

} // namespace quelm
