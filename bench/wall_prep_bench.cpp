// Wall preparation timings: the desktop capture at the screen's size, and six 12-megapixel
// JPEG pictures of the user's. Run it under an X server (scripts/with-services.sh; set
// QUELM_SCREEN=1920x1080x24 for a larger screen). Prints the median and the fastest of
// several runs, and the peak resident memory.
//   wall_prep_bench [capture|user|all|user-memory] [runs]
#include "platform/picture_loading.h"
#include "render/wall_pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <ctime>
#include <vector>

namespace {
namespace fs = std::filesystem;
using namespace quelm;

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000; // 12 megapixels
constexpr int kPhotoQuality = 90;

// Wall-clock time, and the processor time of all threads (the machine may be shared).
struct Timing { double median; double fastest; double cpuMedian; };

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Timing Measure(int runs, const std::function<void()>& run) {
    std::vector<double> ms, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = ProcessCpuMs();
        timer.start();
        run();
        ms.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(ProcessCpuMs() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.front(), cpu[cpu.size() / 2]};
}

void Print(const char* what, Timing t) {
    std::printf("%-44s median %7.1f ms  fastest %7.1f ms  cpu %7.1f ms\n", what, t.median, t.fastest, t.cpuMedian);
}

long PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A photograph-like picture: smooth colour fields, grain and a line of text.
QImage Photo(int seed) {
    std::mt19937 random(seed);
    QImage coarse(kPhotoWidth / 64, kPhotoHeight / 64, QImage::Format_RGB32);
    for (int y = 0; y < coarse.height(); ++y)
        for (int x = 0; x < coarse.width(); ++x) coarse.setPixel(x, y, random() | 0xFF000000u);
    QImage photo = coarse.scaled(kPhotoWidth, kPhotoHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::uniform_int_distribution<int> grain(-12, 12);
    for (int y = 0; y < photo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int g = grain(random);
            row[x] = qRgb(std::clamp(qRed(row[x]) + g, 0, 255), std::clamp(qGreen(row[x]) + g, 0, 255),
                          std::clamp(qBlue(row[x]) + g, 0, 255));
        }
    }
    QPainter painter(&photo);
    painter.setPen(Qt::white);
    painter.setFont(QFont("DejaVu Sans", 180));
    painter.drawText(photo.rect(), Qt::AlignCenter, QString("Wall %1").arg(seed));
    return photo;
}

// The six pictures, made once and kept between runs of the benchmark.
std::vector<QString> SixPhotos() {
    const QString folder = QDir::tempPath() + "/quelm-wall-bench";
    QDir().mkpath(folder);
    std::vector<QString> files;
    for (int wall = 1; wall <= kWallCount; ++wall) {
        const QString file = QString("%1/photo%2.jpg").arg(folder).arg(wall);
        if (!QFile::exists(file)) Photo(wall).save(file, "JPEG", kPhotoQuality);
        files.push_back(file);
    }
    return files;
}

void BenchCapture(int runs) {
    QScreen* screen = QGuiApplication::primaryScreen();
    std::printf("Desktop capture, screen %d x %d\n", screen->size().width(), screen->size().height());
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    Print("first CaptureDesktopWalls of the process", Measure(1, [&] {
              WallSurfaces surfaces;
              CaptureDesktopWalls(surfaces, folder);
          }));
    Print("grab of the root window alone", Measure(runs, [&] { (void)screen->grabWindow(0).toImage(); }));
    Print("CaptureDesktopWalls (grab, six files)", Measure(runs, [&] {
              WallSurfaces surfaces;
              CaptureDesktopWalls(surfaces, folder);
          }));
}

// Peak memory of one PrepareUserWalls in a process that has done nothing else.
void MemoryUser() {
    const std::vector<QString> photos = SixPhotos();
    Settings settings;
    for (int wall = 1; wall <= kWallCount; ++wall) settings.PicPath[wall] = photos[wall - 1];
    QTemporaryDir dir;
    const long before = PeakResidentMiB();
    WallSurfaces surfaces;
    PrepareUserWalls(surfaces, settings, dir.path().toStdString());
    std::printf("PrepareUserWalls peak resident memory %ld MiB (%ld MiB before it)\n", PeakResidentMiB(), before);
}

void BenchUser(int runs) {
    const std::vector<QString> photos = SixPhotos();
    qint64 total = 0;
    for (const QString& p : photos) total += QFileInfo(p).size();
    std::printf("User pictures: six %d x %d JPEG files, %.1f MB together\n", kPhotoWidth, kPhotoHeight, total / 1e6);
    Settings settings;
    settings.PicKind = kPicFiles;
    for (int wall = 1; wall <= kWallCount; ++wall) settings.PicPath[wall] = photos[wall - 1];
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    Print("one JPEG decoded", Measure(runs, [&] { (void)picture::LoadPictureFile(photos[0].toStdString()); }));
    {
        PictureSurface loaded;
        loaded.SetAutoSize(true);
        loaded.LoadPicture(photos[0].toStdString());
        Print("one picture saved as a bitmap file", Measure(runs, [&] { loaded.SaveBitmap(WallFile(folder, 1)); }));
    }
    Print("one picture loaded into Master and saved", Measure(runs, [&] {
              PictureSurface master;
              master.SetAutoSize(true);
              master.LoadPicture(photos[0].toStdString());
              master.SaveBitmap(WallFile(folder, 1));
          }));
    Print("PrepareUserWalls (parallel decoding)", Measure(runs, [&] {
              WallSurfaces surfaces;
              PrepareUserWalls(surfaces, settings, folder);
          }));
    // The same work one picture after another, as a reference for the parallel figure.
    Print("one by one, for comparison", Measure(runs, [&] {
              WallSurfaces s;
              s.master.SetAutoSize(true);
              for (int wall : {1, 2, 3, 4, 6}) {
                  s.master.LoadPicture(settings.PicPath[wall].toStdString());
                  s.master.SaveBitmap(WallFile(folder, wall));
              }
              s.master.LoadPicture(settings.PicPath[5].toStdString());
              const int w = s.master.Width(), h = s.master.Height();
              s.display.SetSize(w, h);
              s.display.StretchBlt(w, 0, -w, h, s.master.Image(), 0, 0, w, h);
              s.display.SaveBitmap(WallFile(folder, 5));
          }));
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString what = argc > 1 ? QString(argv[1]) : QString("all");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
    if (what == "capture" || what == "all") BenchCapture(runs);
    if (what == "user" || what == "all") BenchUser(runs);
    if (what == "user-memory") MemoryUser(); // run after "user" has made the pictures
    std::printf("peak resident memory %ld MiB\n", PeakResidentMiB());
    return 0;
}
