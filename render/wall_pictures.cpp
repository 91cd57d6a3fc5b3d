#include "render/wall_pictures.h"

#include "platform/core/report.h"
#include "platform/core/twips.h"
#include "platform/pictures/bitmap_writer.h"
#include "platform/pictures/picture_decoding.h"
#include "platform/pictures/picture_surface.h"
#include "platform/pictures/texture_fitting.h"
#include "render/desktop_source.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quelm {
namespace {

using pictures::PictureDensity;

// Memory that pictures being decoded may hold at once (their rows, or the whole picture
// when it is not decoded by rows); a picture that needs more still loads, alone.
constexpr int64_t kDecodeBudgetBytes = 96LL << 20;

// Lets decoders start while what they will hold fits the budget together.
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

// The density of an image made by sizing a picture surface: a new image's, which Qt takes
// from the screen. Asked once, first on Qt's thread (ScreenArea).
PictureDensity NewImageDensity() {
    static const PictureDensity density = pictures::DensityOf(QImage(1, 1, QImage::Format_RGB32));
    return density;
}

// Wall 5's rows: each row mirrored once, then handed to its file and, when wall 5 keeps
// pixels of its own, to its texture.
class MirroredRows {
public:
    explicit MirroredRows(int width) : row_(size_t(std::max(width, 0))) {}
    const QRgb* Of(const QRgb* pixels) {
        std::reverse_copy(pixels, pixels + row_.size(), row_.begin());
        return row_.data();
    }

private:
    std::vector<QRgb> row_;
};

// Walls made for `folder` have files; with no folder they are made in memory only.
bool WritesFiles(const std::filesystem::path& folder) { return !folder.empty(); }

// Writes `image` to wall `wall`'s file (mirrored for wall 5) and gives its texture.
WallTexture WriteImage(const QImage& image, const std::filesystem::path& folder, int wall, PictureDensity density,
                       int side) {
    const bool mirror = wall == kMirroredWall;
    std::optional<pictures::BitmapWriter> file;
    if (WritesFiles(folder)) file.emplace(WallFile(folder, wall), image.size(), density);
    std::optional<pictures::TextureFitter> texture;
    if (mirror) texture.emplace(image.size(), side);
    MirroredRows mirrored(image.width());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (mirror) row = mirrored.Of(row);
        if (file) file->AddRow(row);
        if (texture) texture->AddRow(row);
    }
    WallTexture made;
    made.pixels = texture ? texture->Take() : pictures::FitToTexture(image, side);
    made.written = file && file->Finish();
    return made;
}

// Wall `to` shows the same picture as wall `from`: its file copied, its texture shared.
WallTexture CopyWall(const WallTextures& walls, const std::filesystem::path& folder, int from, int to) {
    WallTexture copy;
    copy.sameAs = from;
    copy.written = walls.wall[from].written && WritesFiles(folder) &&
                   pictures::CopyFileWhole(WallFile(folder, from), WallFile(folder, to));
    return copy;
}

// Walls 1, 2, 3, 4 and 6 from `desktop` at `wall` size, wall 5 its mirror.
WallTextures WriteDesktopWalls(const std::filesystem::path& folder, const QImage& desktop, QSize wall, int side) {
    QImage image = desktop.format() == QImage::Format_RGB32 ? desktop : desktop.convertToFormat(QImage::Format_RGB32);
    if (image.size() != wall) { // a surface sized to the screen, the grab copied in at (0, 0)
        pictures::PictureSurface master;
        master.SetSize(wall.width(), wall.height());
        master.BitBlt(0, 0, wall.width(), wall.height(), image, 0, 0);
        image = master.Image();
    }
    // The desktop has not changed since the grab (our window is still hidden), so
    // mirroring the grab is the same as reading the desktop a second time. Both files take
    // their rows in one pass.
    WallTextures walls;
    walls.wall[1].pixels = pictures::FitToTexture(image, side);
    walls.wall[kMirroredWall] = {QImage(), 1, true, false};
    for (int n : {2, 3, 4, 6}) walls.wall[n].sameAs = 1;
    if (!WritesFiles(folder)) return walls;
    const PictureDensity density = NewImageDensity();
    pictures::BitmapWriter straight(WallFile(folder, 1), image.size(), density);
    pictures::BitmapWriter mirroredFile(WallFile(folder, kMirroredWall), image.size(), density);
    MirroredRows mirrored(image.width());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        straight.AddRow(row);
        mirroredFile.AddRow(mirrored.Of(row));
    }
    walls.wall[1].written = straight.Finish();
    walls.wall[kMirroredWall].written = mirroredFile.Finish();
    for (int n : {2, 3, 4, 6}) {
        walls.wall[n] = CopyWall(walls, folder, 1, n);
        if (!walls.wall[n].written) walls.wall[n].written = WriteImage(image, folder, n, density, side).written;
    }
    return walls;
}

std::filesystem::path PicturePath(const Settings& settings, int wall) {
    return std::filesystem::path(settings.PicPath[wall].toStdString());
}

// One picture file and the walls that show it: those that hold it straight (the first is
// written from the picture, the others copied from it) and wall 5, which holds its mirror.
struct PictureJob {
    std::filesystem::path path;
    std::vector<int> straightWalls;
    bool mirrored = false;
    bool loaded = false;
};

// Decodes `path` once and writes its straight wall file `straightWall` (0: none) and, when
// `mirrored`, wall 5's file; fills their textures (wall 5's shares the straight wall's where
// there is one). False when the picture cannot be loaded.
bool WritePictureWalls(const std::filesystem::path& path, int straightWall, bool mirrored,
                       const std::filesystem::path& folder, int side, MemoryBudget& budget, WallTextures& walls) {
    auto file = pictures::ReadPictureFile(path);
    if (!file) return false;
    const int64_t bytes = pictures::RowDecodingBytes(*file);
    budget.Acquire(bytes);
    std::optional<pictures::BitmapWriter> straightFile, mirroredFile;
    std::optional<pictures::TextureFitter> texture;
    MirroredRows mirroredRows(file->size.width());
    const bool decoded = pictures::DecodePictureRows(
        *file,
        [&](PictureDensity density) {
            if (straightWall && WritesFiles(folder))
                straightFile.emplace(WallFile(folder, straightWall), file->size, density);
            // Wall 5's file is made through a picture surface sized to the picture: a new
            // image's density.
            if (mirrored && WritesFiles(folder))
                mirroredFile.emplace(WallFile(folder, kMirroredWall), file->size, NewImageDensity());
            texture.emplace(file->size, side);
        },
        [&](int, const QRgb* row) {
            if (straightFile) straightFile->AddRow(row);
            if (mirrored) {
                const QRgb* flipped = mirroredRows.Of(row);
                if (mirroredFile) mirroredFile->AddRow(flipped);
                if (!straightWall) row = flipped; // the texture is wall 5's own
            }
            texture->AddRow(row);
        });
    budget.Release(bytes);
    if (!decoded) return false;
    if (straightWall) {
        walls.wall[straightWall].pixels = texture->Take();
        walls.wall[straightWall].written = straightFile && straightFile->Finish();
    }
    if (mirrored) {
        WallTexture& five = walls.wall[kMirroredWall];
        five = straightWall ? WallTexture{QImage(), straightWall, true, false} : WallTexture{texture->Take()};
        five.written = mirroredFile && mirroredFile->Finish();
    }
    return true;
}

// The picture the program carries (its preview picture); one black pixel where it cannot be
// read.
QImage CarriedPicture() {
    static const QImage carried = [] {
        QFile file(QStringLiteral(":/preview.jpg"));
        QImage picture = file.open(QIODevice::ReadOnly) ? pictures::LoadPicture(file.readAll()) : QImage();
        return picture.isNull() ? pictures::PictureSurface().Image() : picture;
    }();
    return carried;
}

unsigned WorkerCount(size_t jobs) {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    return unsigned(std::min<size_t>(cores, jobs));
}

} // namespace

bool WallTextures::FilesMissing() const {
    bool made = true, written = true;
    for (int n = 1; n <= kWallCount; ++n) {
        made = made && wall[size_t(n)].Made();
        written = written && wall[size_t(n)].written;
    }
    return made && !written;
}

QSize DesktopWallSize(QSize screenPixels) {
    constexpr int kTwipsPerPixel = core::kTwipsPerStandardPixel;
    const int widthTwips = screenPixels.width() * kTwipsPerPixel;
    const int heightTwips = screenPixels.height() * kTwipsPerPixel;
    return {widthTwips / kTwipsPerPixel, heightTwips / kTwipsPerPixel};
}

std::array<int, kWallCount + 1> WallPictureSources(const std::array<bool, kWallCount + 1>& loaded) {
    std::array<int, kWallCount + 1> source{};
    int held = 0; // the surface's first content, before any load
    for (int wall : kWallLoadOrder) {
        if (loaded[wall]) held = wall;
        source[wall] = held;
    }
    return source;
}

QRect ScreenArea(const QScreen* screen) {
    NewImageDensity(); // from the screen, on Qt's thread
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const qreal ratio = screen->devicePixelRatio();
    const QRect area = screen->geometry();
    return {(QPointF(area.topLeft()) * ratio).toPoint(), (QSizeF(area.size()) * ratio).toSize()};
}

bool CaptureYieldsNothing(const QImage& desktop, bool oneColourIsNothing) {
    if (desktop.isNull()) return true;
    if (!oneColourIsNothing) return false;
    const QImage rgb = desktop.convertToFormat(QImage::Format_RGB32);
    const QRgb first = rgb.pixel(0, 0) | 0xFF000000;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((row[x] | 0xFF000000) != first) return false;
    }
    return true;
}

WallTextures DesktopWalls(const std::filesystem::path& folder, const QImage& desktop, QSize wall, int textureSide,
                          const Settings& settings, bool oneColourIsNothing) {
    if (!CaptureYieldsNothing(desktop, oneColourIsNothing))
        return WriteDesktopWalls(folder, desktop, wall, textureSide);
    bool allSet = true;
    for (int n = 1; n <= kWallCount; ++n) allSet = allSet && !settings.PicPath[n].isEmpty();
    static std::once_flag told;
    std::call_once(told, [&] {
        core::ReportError(std::string("the desktop could not be captured, or shows one colour only: the walls show ") +
                          (allSet ? "the six chosen pictures" : "the picture the program carries"));
    });
    if (allSet) return PrepareUserWalls(settings, folder, textureSide);
    return WriteDesktopWalls(folder, CarriedPicture(), DesktopWallSize(CarriedPicture().size()), textureSide);
}

WallTextures CaptureDesktopWalls(const std::filesystem::path& folder, const QScreen* screen, int textureSide,
                                 const Settings& settings) {
    const ScreenPlace place = PlaceOf(screen);
    if (place.pixels.isEmpty()) return {};
    QImage desktop = ReadDesktop(place);
    if (desktop.isNull()) desktop = GrabDesktop(screen); // no window of ours is mapped yet
    return DesktopWalls(folder, desktop, DesktopWallSize(place.pixels.size()), textureSide, settings, false);
}

WallTextures PrepareUserWalls(const Settings& settings, const std::filesystem::path& folder, int textureSide) {
    // One job a distinct file, the one wall 5 shows first as it also mirrors.
    std::vector<PictureJob> jobs;
    auto jobOf = [&](int wall) -> PictureJob& {
        const std::filesystem::path path = PicturePath(settings, wall);
        for (PictureJob& job : jobs)
            if (job.path == path) return job;
        PictureJob& job = jobs.emplace_back();
        job.path = path;
        return job;
    };
    jobOf(kMirroredWall).mirrored = true;
    for (int wall = 1; wall <= kWallCount; ++wall)
        if (wall != kMirroredWall) jobOf(wall).straightWalls.push_back(wall);

    WallTextures walls;
    std::mutex wallsMutex;
    std::atomic<size_t> next{0};
    MemoryBudget budget(kDecodeBudgetBytes);
    auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            PictureJob& job = jobs[i];
            const int first = job.straightWalls.empty() ? 0 : job.straightWalls.front();
            WallTextures made;
            job.loaded = WritePictureWalls(job.path, first, job.mirrored, folder, textureSide, budget, made);
            if (!job.loaded) continue;
            for (size_t k = 1; k < job.straightWalls.size(); ++k)
                made.wall[job.straightWalls[k]] = CopyWall(made, folder, first, job.straightWalls[k]);
            std::lock_guard lock(wallsMutex);
            for (int wall : job.straightWalls) walls.wall[wall] = std::move(made.wall[wall]);
            if (job.mirrored) walls.wall[kMirroredWall] = std::move(made.wall[kMirroredWall]);
        }
    };
    std::vector<std::thread> workers;
    try {
        for (unsigned i = 1; i < WorkerCount(jobs.size()); ++i) workers.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: the ones running, this one included, share the walls.
    }
    work();
    for (auto& t : workers) t.join();

    // Walls whose picture could not be loaded show the one loaded before them.
    std::array<bool, kWallCount + 1> loaded{};
    for (const PictureJob& job : jobs) {
        for (int wall : job.straightWalls) loaded[wall] = job.loaded;
        if (job.mirrored) loaded[kMirroredWall] = job.loaded;
    }
    const auto source = WallPictureSources(loaded);
    const QImage initial = pictures::PictureSurface().Image();
    for (int wall : kWallLoadOrder) {
        if (loaded[wall]) continue;
        const int from = source[wall];
        if (from != 0 && wall != kMirroredWall) {
            walls.wall[wall] = CopyWall(walls, folder, from, wall);
            continue;
        }
        // Wall 5's mirror of an earlier picture is decoded again; before any picture, the
        // surface's first content.
        MemoryBudget alone(kDecodeBudgetBytes);
        if (from != 0 && WritePictureWalls(PicturePath(settings, from), 0, true, folder, textureSide, alone, walls))
            continue;
        walls.wall[wall] =
            WriteImage(initial, folder, wall, wall == kMirroredWall ? NewImageDensity() : pictures::DensityOf(initial),
                       textureSide);
    }
    return walls;
}

} // namespace quelm
