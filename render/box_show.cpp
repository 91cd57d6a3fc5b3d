#include "render/box_show.h"

#include "platform/d3d/gl_direct3d.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace quelm {
namespace {
void PrintDeviceError(const std::string& text) { std::fprintf(stderr, "quelm: %s\n", text.c_str()); }
} // namespace

void ShowDeviceError(const std::string& text) {
    const QString message = QString::fromStdString(text);
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::NoIcon, QString(), message, QMessageBox::Ok);
        box.exec();
    } else {
        PrintDeviceError(text);
    }
}

std::unique_ptr<BoxRenderer> MakeBoxShow(Settings& settings, const std::filesystem::path& wallFolder,
                                         DeviceErrorOutput errorOutput) {
    return std::make_unique<BoxRenderer>(
        settings, wallFolder, [] { return d3d::CreateGlDirect3D(); },
        errorOutput == DeviceErrorOutput::MessageBox ? ShowDeviceError : PrintDeviceError);
}

} // namespace quelm
