// Box renderer benchmarks, on the screen the X server gives (run under with-services.sh, with
// QUELM_SCREEN=WxHxD for other sizes). Measured, not asserted.
//
//   render_bench make-pictures DIR        six 12-megapixel JPEG pictures (4000 x 3000) in DIR
//   render_bench start desktop            start to the first presented frame, desktop capture
//   render_bench start pictures DIR       the same with the six pictures in DIR
//   render_bench frames N                 N ticks on a full-screen window: CPU and wall time a
//                                         frame (unpaced: one tick after the other)
// Every mode also prints the peak resident memory of the process.
//
// The start runs the show's load in its order on a window made as the show makes it: wall
// files (capture or pictures, written to a temporary folder), device, box, textures, motion,
// window shown, first tick presented. Times are from the process's start (at the kernel's
// 10 ms resolution) and from main().
#include "platform/gl_direct3d.h"
#include "render/box_renderer.h"
#include "settings/settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr QSize kBigPicture(4000, 3000); // 12 megapixels
constexpr int kJpegQuality = 90;

double NowSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds since the process started (its start time is kept in clock ticks since boot).
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) // fields 3 .. 22; field 22 is the start time
        rest >> field;
    return NowSeconds(CLOCK_BOOTTIME) - std::stod(field) / double(sysconf(_SC_CLK_TCK));
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

long PeakResidentKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Photograph-like pictures: smooth shading with fine texture and a little noise all over,
// so that the JPEG files are about as large as a camera's.
int MakePictures(const QString& folder) {
    uint32_t noise = 12345;
    for (int n = 1; n <= 6; ++n) {
        QImage picture(kBigPicture, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = int(noise >> 28) - 8;
                const int r = (x * 255 / picture.width() + n * 40 + ((x / 7 + y / 5) % 13) * 3 + grain) & 0xFF;
                const int g = (y * 255 / picture.height() + ((x ^ y) >> 4 & 15) * 4 + grain) & 0xFF;
                const int b = ((x + y) * 255 / (picture.width() + picture.height()) + n * 25 + grain) & 0xFF;
                line[x] = qRgb(r, g, b);
            }
        }
        QPainter p(&picture);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(400);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("Picture %1").arg(n));
        p.end();
        if (!picture.save(QStringLiteral("%1/picture%2.jpg").arg(folder).arg(n), "JPEG", kJpegQuality))
            return 1;
    }
    return 0;
}

QWindow* MakeShowWindow() {
    auto* window = new QWindow;
    window->setFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setSurfaceType(QSurface::OpenGLSurface);
    window->setGeometry(QGuiApplication::primaryScreen()->geometry());
    window->create();
    return window;
}

void ShowAndWait(QWindow& window) {
    window.show();
    while (!window.isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

int Start(const QStringList& args, double mainSeconds) {
    const bool pictures = args.value(2) == QLatin1String("pictures");
    QTemporaryDir walls;
    quelm::Settings settings;
    if (pictures) {
        settings.PicKind = quelm::kPicFiles;
        for (int n = 1; n <= 6; ++n)
            settings.PicPath[size_t(n)] = QStringLiteral("%1/picture%2.jpg").arg(args.value(3)).arg(n);
    }
    QWindow* window = MakeShowWindow();
    quelm::BoxRenderer renderer(settings, walls.path().toStdString(), [] { return quelm::d3d::CreateGlDirect3D(); },
                                [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    QElapsedTimer step;
    step.start();
    quelm::ApplyPictureSourceGuard(settings);
    if (settings.PicKind == quelm::kPicDesktop)
        renderer.CaptureDesktopWalls();
    else
        renderer.PrepareUserWalls();
    const double wallsMs = double(step.nsecsElapsed()) / 1e6;
    step.restart();
    if (!renderer.InitDevice(*window))
        return 1;
    const double deviceMs = double(step.nsecsElapsed()) / 1e6;
    step.restart();
    renderer.BuildBoxVertices();
    renderer.InitScene();
    renderer.StartMotion();
    const double sceneMs = double(step.nsecsElapsed()) / 1e6;
    step.restart();
    ShowAndWait(*window);
    const double showMs = double(step.nsecsElapsed()) / 1e6;
    step.restart();
    renderer.Tick();
    const double frameMs = double(step.nsecsElapsed()) / 1e6;
    const double sinceStart = SecondsSinceProcessStart();
    const double sinceMain = NowSeconds(CLOCK_MONOTONIC) - mainSeconds;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("start %s %dx%d: first frame presented %.3f s after process start, %.3f s after main; "
                "walls %.1f ms, device %.1f ms, box and textures %.1f ms, window shown %.1f ms, first tick %.1f ms; "
                "peak memory %ld MB\n",
                pictures ? "pictures" : "desktop", screen.width(), screen.height(), sinceStart, sinceMain, wallsMs,
                deviceMs, sceneMs, showMs, frameMs, PeakResidentKb() / 1024);
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
    delete window;
    return 0;
}

int Frames(int ticks) {
    QTemporaryDir walls;
    quelm::Settings settings;
    QWindow* window = MakeShowWindow();
    quelm::BoxRenderer renderer(settings, walls.path().toStdString(), [] { return quelm::d3d::CreateGlDirect3D(); },
                                [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    renderer.CaptureDesktopWalls();
    if (!renderer.InitDevice(*window))
        return 1;
    renderer.BuildBoxVertices();
    renderer.InitScene();
    renderer.StartMotion();
    ShowAndWait(*window);
    for (int i = 0; i < 10; ++i) // warm up
        renderer.Tick();
    const double cpu0 = CpuSeconds(), wall0 = NowSeconds(CLOCK_MONOTONIC);
    for (int i = 0; i < ticks; ++i) {
        renderer.Tick();
        QCoreApplication::processEvents();
    }
    const double cpu = CpuSeconds() - cpu0, wall = NowSeconds(CLOCK_MONOTONIC) - wall0;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("frames %dx%d: %d ticks, CPU %.2f ms a frame, wall %.2f ms a frame (%.0f frames a second "
                "unpaced), peak memory %ld MB\n",
                screen.width(), screen.height(), ticks, cpu * 1e3 / ticks, wall * 1e3 / ticks, ticks / wall,
                PeakResidentKb() / 1024);
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
    delete window;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const double mainSeconds = NowSeconds(CLOCK_MONOTONIC);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("make-pictures") && args.size() == 3)
        return MakePictures(args[2]);
    if (mode == QLatin1String("start") && (args.value(2) == QLatin1String("desktop") || args.size() == 4))
        return Start(args, mainSeconds);
    if (mode == QLatin1String("frames") && args.size() == 3)
        return Frames(args[2].toInt() > 0 ? args[2].toInt() : 600);
    std::fprintf(stderr, "usage: render_bench make-pictures DIR | start desktop | start pictures DIR | frames N\n");
    return 2;
}
