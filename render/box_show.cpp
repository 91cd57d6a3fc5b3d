#include "render/box_show.h"

#include "platform/core/report.h"
#include "platform/d3d/gl_direct3d.h"

#include <QApplication>
#include <QMessageBox>

namespace quelm {
void ShowDeviceError(const std::string& text) {
    const QString message = QString::fromStdString(text);
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::NoIcon, QString(), message, QMessageBox::Ok);
        box.exec();
    } else {
        core::ReportError(text);
    }
}

std::unique_ptr<BoxRenderer> MakeBoxShow(Settings& settings, const std::filesystem::path& wallFolder,
                                         DeviceErrorOutput errorOutput, BoxPlace place) {
    ErrorReporter report = ShowDeviceError;
    if (errorOutput == DeviceErrorOutput::StandardError)
        report = [](const std::string& text) { core::ReportError(text); };
    return std::make_unique<BoxRenderer>(
        settings, wallFolder, [] { return d3d::CreateGlDirect3D(); }, std::move(report), place);
}

} // namespace quelm
