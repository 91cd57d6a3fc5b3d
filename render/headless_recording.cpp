#include "render/headless_recording.h"

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

std::optional<int> WholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<QSize> ParseSize(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    const auto w = WholeNumber(parts[0], kRecordMinSide, kRecordMaxSide);
    const auto h = WholeNumber(parts[1], kRecordMinSide, kRecordMaxSide);
    if (!w || !h) return std::nullopt;
    return QSize(*w, *h);
}

void WriteEyeLine(std::FILE* file, int tick, const ViewMotion& m) {
    // Nine significant digits give every 32-bit float back exactly.
    std::fprintf(file, "%d %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", tick, double(m.eye.EyeX), double(m.eye.EyeY),
                 double(m.eye.EyeZ), double(m.eye.EyeYaw), double(m.speeds.SpeedX), double(m.speeds.SpeedY),
                 double(m.speeds.SpeedZ), double(m.speeds.YawSpeed));
}

void ReportToStandardError(const std::string& text) { std::fprintf(stderr, "quelm: %s\n", text.c_str()); }

} // namespace

const char* RecordingUsage() {
    return "  --record DIR [--size WxH] [--ticks N] [--frames LIST] [--walls FOLDER]\n"
           "                 run the show off screen (default 1024x768, 600 ticks) with the\n"
           "                 current settings; write the frames of the ticks in LIST (e.g.\n"
           "                 1,300,600; default the last) as DIR/frame-NNNNNN.png and the eye's\n"
           "                 state of every tick to DIR/eye.txt; --walls draws the wall files\n"
           "                 found in FOLDER instead of preparing them\n";
}

std::filesystem::path RecordedFramePath(const std::filesystem::path& folder, int tick) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", tick);
    return folder / name;
}

std::filesystem::path RecordedEyePath(const std::filesystem::path& folder) { return folder / "eye.txt"; }

std::optional<RecordingOptions> ParseRecordingArguments(const QStringList& args) {
    if (!args.contains(QLatin1String("--record"))) return std::nullopt;
    RecordingOptions options;
    QString framesText;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        if (i + 1 >= args.size()) {
            options.error = "missing value after " + name.toStdString();
            return options;
        }
        const QString value = args[++i];
        if (name == QLatin1String("--record")) {
            options.outputFolder = value.toStdString();
        } else if (name == QLatin1String("--size")) {
            const auto size = ParseSize(value);
            if (!size) {
                options.error = "--size wants WIDTHxHEIGHT, each 16 to 8192";
                return options;
            }
            options.size = *size;
        } else if (name == QLatin1String("--ticks")) {
            const auto ticks = WholeNumber(value, 1, kRecordMaxTicks);
            if (!ticks) {
                options.error = "--ticks wants a number from 1 to 10000000";
                return options;
            }
            options.ticks = *ticks;
        } else if (name == QLatin1String("--frames")) {
            framesText = value;
        } else if (name == QLatin1String("--walls")) {
            options.wallFolder = value.toStdString();
        } else {
            options.error = "unknown recording option " + name.toStdString();
            return options;
        }
    }
    if (options.outputFolder.empty()) {
        options.error = "--record wants an output folder";
        return options;
    }
    if (!framesText.isNull()) {
        for (const QString& item : framesText.split(QLatin1Char(','))) {
            const auto tick = WholeNumber(item.trimmed(), 1, options.ticks);
            if (!tick) {
                options.error = "--frames wants ticks from 1 to the number of ticks, separated by commas";
                return options;
            }
            options.frames.insert(*tick);
        }
    }
    if (options.frames.empty()) options.frames.insert(options.ticks);
    return options;
}

int RecordShow(const RecordingOptions& options, Settings& settings) {
    if (!options.error.empty()) {
        ReportToStandardError(options.error);
        return 2;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        ReportToStandardError("recording needs the application object");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.outputFolder, ec);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> eyeFile(
        std::fopen(RecordedEyePath(options.outputFolder).c_str(), "w"), &std::fclose);
    if (!eyeFile) {
        ReportToStandardError("cannot write to " + options.outputFolder.string());
        return 1;
    }

    // The show's own wall files are left alone: prepared walls go to a folder of our own.
    QTemporaryDir preparedWalls;
    std::filesystem::path wallFolder;
    if (options.wallFolder) {
        wallFolder = *options.wallFolder;
    } else {
        if (!preparedWalls.isValid()) {
            ReportToStandardError("cannot make a temporary folder for the wall files");
            return 1;
        }
        wallFolder = preparedWalls.path().toStdString();
    }

    const QSize size = options.size;
    BoxRenderer renderer(
        settings, wallFolder, [size] { return d3d::CreateOffscreenGlDirect3D(size); }, ReportToStandardError);
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
            ReportToStandardError("cannot write " + file.string());
            result = 1;
        }
    }
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
    if (std::fflush(eyeFile.get()) != 0) result = 1;
    return result;
}

} // namespace quelm
