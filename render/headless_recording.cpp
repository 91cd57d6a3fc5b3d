#include "render/headless_recording.h"

#include "platform/core/report.h"
#include "platform/d3d/gl_direct3d.h"
#include "render/box_renderer.h"
#include "settings/settings.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace quelm {
namespace {

void WriteEyeLine(std::FILE* file, int tick, const ViewMotion& m) {
    // Nine significant digits give every 32-bit float back exactly.
    std::fprintf(file, "%d %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", tick, double(m.eye.EyeX), double(m.eye.EyeY),
                 double(m.eye.EyeZ), double(m.eye.EyeYaw), double(m.speeds.SpeedX), double(m.speeds.SpeedY),
                 double(m.speeds.SpeedZ), double(m.speeds.YawSpeed));
}
} // namespace

std::filesystem::path RecordedFramePath(const std::filesystem::path& folder, int tick) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", tick);
    return folder / name;
}

std::filesystem::path RecordedEyePath(const std::filesystem::path& folder) { return folder / "eye.txt"; }

int RecordShow(const RecordingOptions& options, Settings& settings) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        core::ReportError("recording needs the application object");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.outputFolder, ec);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> eyeFile(
        std::fopen(RecordedEyePath(options.outputFolder).c_str(), "w"), &std::fclose);
    if (!eyeFile) {
        core::ReportError("cannot write to " + options.outputFolder.string());
        return 1;
    }

    // The show's own wall files are left alone: prepared walls go to a folder of our own.
    QTemporaryDir preparedWalls;
    std::filesystem::path wallFolder;
    if (options.wallFolder) {
        wallFolder = *options.wallFolder;
    } else {
        if (!preparedWalls.isValid()) {
            core::ReportError("cannot make a temporary folder for the wall files");
            return 1;
        }
        wallFolder = preparedWalls.path().toStdString();
    }

    const QSize size = options.size;
    BoxRenderer renderer(
        settings, wallFolder, [size] { return d3d::CreateOffscreenGlDirect3D(size); },
        [](const std::string& text) { core::ReportError(text); });
    if (!options.wallFolder) {
        ApplyPictureSourceGuard(settings);
        if (settings.PicKind == kPicDesktop)
            renderer.CaptureDesktopWalls();
        else if (settings.PicKind == kPicFiles)
            renderer.PrepareUserWalls();
    }
    if (!renderer.InitDevice(nullptr)) return 1;
    renderer.BuildBoxVertices();
    renderer.InitScene();
    renderer.StartMotion();
    WriteEyeLine(eyeFile.get(), 0, renderer.Motion());

    int result = 0;
    for (int tick = 1; tick <= options.ticks; ++tick) {
        renderer.Tick();
        WriteEyeLine(eyeFile.get(), tick, renderer.Motion());
        if (!options.frames.contains(tick)) continue;
        QImage frame;
        const std::filesystem::path file = RecordedFramePath(options.outputFolder, tick);
        if (d3d::Failed(renderer.Device()->GetFrontBuffer(frame)) ||
            !frame.save(QString::fromStdString(file.string()))) {
            core::ReportError("cannot write " + file.string());
            result = 1;
        }
    }
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
    if (std::fflush(eyeFile.get()) != 0) result = 1;
    return result;
}

} // namespace quelm
