#include "render/wall_pictures.h"

#include "platform/picture_loading.h"
#include "platform/twips.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace quelm {
namespace {

// Decoded pixels in flight at once while the user's pictures load in parallel. A picture
// larger than this still loads, alone.
constexpr int64_t kDecodeBudgetBytes = 512LL * 1024 * 1024;

// Lets decoders start while the pixels they will hold fit the budget together.
class MemoryBudget {
public:
    explicit MemoryBudget(int64_t limit) : limit_(limit) {}
    void Acquire(int64_t bytes) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return inUse_ == 0 || inUse_ + bytes <= limit_; });
        inUse_ += bytes;
    }
    void Release(int64_t bytes) {
        {
            std::lock_guard lock(mutex_);
            inUse_ -= bytes;
        }
        freed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    int64_t inUse_ = 0;
    const int64_t limit_;
};

// Mirrors `from`'s whole image left to right into `to` (sized to it), as a StretchBlt in
// COLORONCOLOR mode with destination x = W, width = -W.
void DrawMirror(PictureSurface& to, const QImage& from) {
    const int w = from.width(), h = from.height();
    to.SetSize(w, h);
    to.SetStretchMode(PictureSurface::StretchMode::ColorOnColor);
    to.StretchBlt(w, 0, -w, h, from, 0, 0, w, h);
    to.Refresh();
}

bool SaveImage(const QImage& image, const std::filesystem::path& file) {
    PictureSurface surface;
    surface.SetAutoSize(true);
    surface.ShowPicture(image);
    return surface.SaveBitmap(file);
}

std::filesystem::path PicturePath(const Settings& settings, int wall) {
    return std::filesystem::path(settings.PicPath[wall].toStdString());
}

struct WallLoad {
    bool loaded = false;
    bool written = false;
    QImage picture; // kept for the mirrored wall only
};

unsigned WorkerCount() {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    return std::min<unsigned>(cores, kWallCount);
}

} // namespace

QSize DesktopWallSize(QSize screenPixels) {
    constexpr int kTwipsPerPixel = twips::kPerStandardPixel;
    const int widthTwips = screenPixels.width() * kTwipsPerPixel;
    const int heightTwips = screenPixels.height() * kTwipsPerPixel;
    return {widthTwips / kTwipsPerPixel, heightTwips / kTwipsPerPixel};
}

std::array<int, kWallCount + 1> WallPictureSources(const std::array<bool, kWallCount + 1>& loaded) {
    std::array<int, kWallCount + 1> source{};
    int held = 0; // Master's content before any load
    for (int wall : kWallLoadOrder) {
        if (loaded[wall]) held = wall;
        source[wall] = held;
    }
    return source;
}

namespace {

// Walls 1, 2, 3, 4 and 6 from `desktop` at `wall` size, wall 5 its mirror.
void WriteDesktopWalls(WallSurfaces& surfaces, const std::filesystem::path& folder, const QImage& desktop,
                       QSize wall) {
    const int w = wall.width(), h = wall.height();
    PictureSurface& master = surfaces.master;
    master.SetSize(w, h);
    master.BitBlt(0, 0, w, h, desktop, 0, 0);

    // Wall 5's mirror is drawn while the other five are written.
    // (Drawn here in turn when no thread can be started.)
    auto mirrored = std::async(std::launch::async | std::launch::deferred, [&] {
        PictureSurface mirror;
        mirror.SetSize(w, h);
        mirror.SetStretchMode(PictureSurface::StretchMode::ColorOnColor);
        // The desktop has not changed since the grab (our window is still hidden), so
        // mirroring the grab is the same as reading the desktop a second time.
        mirror.StretchBlt(w, 0, -w, h, desktop, 0, 0, w, h);
        return mirror;
    });
    const QByteArray straightBytes = master.BitmapBytes();
    for (int n : {1, 2, 3, 4, 6})
        if (!straightBytes.isEmpty()) WriteFileWhole(WallFile(folder, n), straightBytes);

    master = mirrored.get();
    master.Refresh();
    master.SaveBitmap(WallFile(folder, kMirroredWall));
}

} // namespace

void CaptureDesktopWalls(WallSurfaces& surfaces, const std::filesystem::path& folder) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QSize wall = DesktopWallSize((QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize());
    // The root window as it is now; no window of ours is mapped yet.
    WriteDesktopWalls(surfaces, folder, screen->grabWindow(0).toImage(), wall);
}

void CaptureDesktopWallsFrom(WallSurfaces& surfaces, const std::filesystem::path& folder, const QImage& desktop) {
    if (desktop.isNull()) return;
    WriteDesktopWalls(surfaces, folder, desktop, desktop.size());
}

void PrepareUserWalls(WallSurfaces& surfaces, const Settings& settings, const std::filesystem::path& folder) {
    surfaces.master.SetAutoSize(true);
    const QImage initial = surfaces.master.Image();

    // Each picture is read, decoded and written on its own; wall 5 first as it also mirrors.
    std::array<WallLoad, kWallCount + 1> loads{};
    constexpr std::array<int, kWallCount> kWorkOrder{5, 1, 2, 3, 4, 6};
    std::atomic<int> next{0};
    MemoryBudget budget(kDecodeBudgetBytes);
    auto work = [&] {
        for (int i = next++; i < kWallCount; i = next++) {
            const int wall = kWorkOrder[i];
            WallLoad& load = loads[wall];
            auto file = picture::ReadPictureFile(PicturePath(settings, wall));
            if (!file) continue;
            const int64_t bytes = file->DecodedBytes();
            budget.Acquire(bytes);
            QImage image = picture::DecodePicture(*file);
            file.reset();
            if (!image.isNull()) {
                load.loaded = true;
                if (wall == kMirroredWall) {
                    DrawMirror(surfaces.display, image);
                    load.written = surfaces.display.SaveBitmap(WallFile(folder, wall));
                    load.picture = std::move(image);
                } else {
                    load.written = SaveImage(image, WallFile(folder, wall));
                }
            }
            budget.Release(bytes);
        }
    };
    std::vector<std::thread> workers;
    try {
        for (unsigned i = 1; i < WorkerCount(); ++i) workers.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones running, this one included, share the walls.
    }
    work();
    for (auto& t : workers) t.join();

    // Walls whose picture could not be loaded show the one Master held before.
    std::array<bool, kWallCount + 1> loaded{};
    for (int n = 1; n <= kWallCount; ++n) loaded[n] = loads[n].loaded;
    const auto source = WallPictureSources(loaded);
    auto pictureOf = [&](int wall) {
        if (wall == 0) return initial;
        QImage again = picture::LoadPictureFile(PicturePath(settings, wall));
        return again.isNull() ? initial : again;
    };
    for (int wall : kWallLoadOrder) {
        if (wall == kMirroredWall || loaded[wall]) continue;
        const int from = source[wall];
        QFile copy(QString::fromStdString(WallFile(folder, from).string()));
        if (from != 0 && loads[from].written && copy.open(QIODevice::ReadOnly))
            WriteFileWhole(WallFile(folder, wall), copy.readAll());
        else
            SaveImage(pictureOf(from), WallFile(folder, wall));
    }

    if (loaded[kMirroredWall]) {
        surfaces.master.ShowPicture(loads[kMirroredWall].picture);
        return;
    }
    if (source[kMirroredWall] != 0) surfaces.master.ShowPicture(pictureOf(source[kMirroredWall]));
    DrawMirror(surfaces.display, surfaces.master.Image());
    surfaces.display.SaveBitmap(WallFile(folder, kMirroredWall));
}

} // namespace quelm
