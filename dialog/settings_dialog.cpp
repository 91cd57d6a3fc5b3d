// Transitional: a bare modal window stands in for the settings dialog.
#include "dialog/settings_dialog.h"

#include <QDialog>

namespace quelm {
void ShowSettingsDialog(Settings&, const std::filesystem::path&) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("<Quelm>"));
    dialog.resize(547, 399);
    dialog.exec();
}
} // namespace quelm
