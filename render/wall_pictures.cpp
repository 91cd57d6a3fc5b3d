#include "render/wall_pictures.h"

#include "platform/core/twips.h"
#include "platform/pictures/picture_loading.h"
#include "platform/x11/screenshot.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
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

// The density of an image made by sizing a surface (Master, Display): a new image's, which
// Qt takes from the screen. Asked once, first on Qt's thread (PrimaryScreenArea).
PictureDensity NewImageDensity() {
    static const PictureDensity density = [] {
        const QImage fresh(1, 1, QImage::Format_RGB32);
        return PictureDensity{fresh.dotsPerMeterX(), fresh.dotsPerMeterY()};
    }();
    return density;
}

PictureDensity DensityOf(const QImage& image) { return {image.dotsPerMeterX(), image.dotsPerMeterY()}; }

// The texture of one picture made from its rows as they come: the rows themselves when the
// picture fits a texture, else the picture shrunk as the device shrinks a file. Its mirror
// image is the same pixels mirrored: shrinking commutes with mirroring (the weights under
// a pixel mirror too).
class TextureRows {
public:
    // `whole`: the picture's rows are already held there (nothing is copied).
    TextureRows(QSize size, int side, const QImage* whole = nullptr) : size_(size) {
        const QSize fitted = pictures::ShrinkSize(size, side);
        if (fitted != size) {
            shrinker_.emplace(size, fitted);
        } else {
            kept_ = whole ? *whole : QImage(size, QImage::Format_RGB32);
            copy_ = !whole;
        }
    }
    void AddRow(int y, const QRgb* pixels) {
        if (shrinker_)
            shrinker_->AddRow(pixels);
        else if (copy_ && !kept_.isNull())
            std::memcpy(kept_.scanLine(y), pixels, size_t(size_.width()) * sizeof(QRgb));
    }
    WallTexture Straight() { return Made(false); }
    WallTexture Mirrored() { return Made(true); }

private:
    WallTexture Made(bool mirrored) {
        if (shrinker_) {
            kept_ = shrinker_->Take();
            shrinker_.reset();
        }
        WallTexture made;
        made.pixels = kept_;
        made.mirrored = mirrored;
        return made;
    }

    QSize size_;
    QImage kept_;
    bool copy_ = false;
    std::optional<pictures::RowShrinker> shrinker_;
};

// Writes `image` to `file` (mirrored when asked) and gives its texture.
WallTexture WriteImage(const QImage& image, const std::filesystem::path& file, PictureDensity density, bool mirrored,
                       int side) {
    pictures::BitmapWriter writer(file, image.size(), density, mirrored);
    TextureRows texture(image.size(), side, &image);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        writer.AddRow(row);
        texture.AddRow(y, row);
    }
    WallTexture made = mirrored ? texture.Mirrored() : texture.Straight();
    if (writer.Finish()) made.written = StampOf(file);
    return made;
}

// Copies wall `from`'s file to wall `to`; its texture serves both.
WallTexture CopyWall(const WallTextures& walls, const std::filesystem::path& folder, int from, int to) {
    WallTexture copy;
    const int root = walls.wall[from].sameAs ? walls.wall[from].sameAs : from;
    if (walls.wall[from].written && pictures::CopyFileWhole(WallFile(folder, from), WallFile(folder, to))) {
        copy.sameAs = root;
        copy.written = StampOf(WallFile(folder, to));
    }
    return copy;
}

// Walls 1, 2, 3, 4 and 6 from `desktop` at `wall` size, wall 5 its mirror.
WallTextures WriteDesktopWalls(const std::filesystem::path& folder, const QImage& desktop, QSize wall, int side) {
    QImage image = desktop.format() == QImage::Format_RGB32 ? desktop : desktop.convertToFormat(QImage::Format_RGB32);
    if (image.size() != wall) { // Master sized to the screen, the grab copied in at (0, 0)
        pictures::PictureSurface master;
        master.SetSize(wall.width(), wall.height());
        master.BitBlt(0, 0, wall.width(), wall.height(), image, 0, 0);
        image = master.Image();
    }
    // The desktop has not changed since the grab (our window is still hidden), so
    // mirroring the grab is the same as reading the desktop a second time. Both files take
    // their rows in one pass.
    const PictureDensity density = NewImageDensity();
    pictures::BitmapWriter straight(WallFile(folder, 1), image.size(), density);
    pictures::BitmapWriter mirrored(WallFile(folder, kMirroredWall), image.size(), density, true);
    TextureRows textures(image.size(), side, &image);
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        straight.AddRow(row);
        mirrored.AddRow(row);
        textures.AddRow(y, row);
    }
    WallTextures walls;
    walls.wall[1] = textures.Straight();
    if (straight.Finish()) walls.wall[1].written = StampOf(WallFile(folder, 1));
    walls.wall[kMirroredWall] = textures.Mirrored();
    if (mirrored.Finish()) walls.wall[kMirroredWall].written = StampOf(WallFile(folder, kMirroredWall));
    for (int n : {2, 3, 4, 6}) {
        walls.wall[n] = CopyWall(walls, folder, 1, n);
        if (!walls.wall[n].written) walls.wall[n] = WriteImage(image, WallFile(folder, n), density, false, side);
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
// `mirrored`, wall 5's file; fills their textures. False when the picture cannot be loaded.
bool WritePictureWalls(const std::filesystem::path& path, int straightWall, bool mirrored,
                       const std::filesystem::path& folder, int side, MemoryBudget& budget, WallTextures& walls) {
    auto file = pictures::ReadPictureFile(path);
    if (!file) return false;
    const int64_t bytes = file->RowDecodingBytes();
    budget.Acquire(bytes);
    std::optional<pictures::BitmapWriter> straightFile, mirroredFile;
    std::optional<TextureRows> textures;
    const bool decoded = pictures::DecodePictureRows(
        *file,
        [&](PictureDensity density) {
            if (straightWall) straightFile.emplace(WallFile(folder, straightWall), file->size, density);
            // Display, sized to the picture, holds the mirror: a new image's density.
            if (mirrored) mirroredFile.emplace(WallFile(folder, kMirroredWall), file->size, NewImageDensity(), true);
            textures.emplace(file->size, side);
        },
        [&](int y, const QRgb* row) {
            if (straightFile) straightFile->AddRow(row);
            if (mirroredFile) mirroredFile->AddRow(row);
            textures->AddRow(y, row);
        });
    budget.Release(bytes);
    if (!decoded) return false;
    if (straightWall) {
        walls.wall[straightWall] = textures->Straight();
        if (straightFile->Finish()) walls.wall[straightWall].written = StampOf(WallFile(folder, straightWall));
    }
    if (mirrored) {
        walls.wall[kMirroredWall] = textures->Mirrored();
        if (mirroredFile->Finish()) walls.wall[kMirroredWall].written = StampOf(WallFile(folder, kMirroredWall));
    }
    return true;
}

unsigned WorkerCount(size_t jobs) {
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    return unsigned(std::min<size_t>(cores, jobs));
}

} // namespace

std::optional<FileStamp> StampOf(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::nullopt;
    return FileStamp{uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size),
                     int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

const WallTexture* WallTextures::Of(int n, const std::filesystem::path& folder) const {
    const auto unchanged = [&](int m) {
        const WallTexture& w = wall.at(size_t(m));
        return w.written && StampOf(WallFile(folder, m)) == w.written;
    };
    const WallTexture& w = wall.at(size_t(n));
    if (!unchanged(n)) return nullptr;
    if (w.sameAs != 0) return unchanged(w.sameAs) ? &w : nullptr;
    return w.pixels.isNull() ? nullptr : &w;
}

void WallTextures::ReleaseThrough(int n) {
    for (int m = 1; m <= n; ++m) {
        const qint64 key = wall[size_t(m)].pixels.cacheKey();
        bool later = false;
        for (int k = n + 1; k <= kWallCount; ++k) later = later || wall[size_t(k)].pixels.cacheKey() == key;
        if (!later) wall[size_t(m)].pixels = QImage();
    }
}

QSize DesktopWallSize(QSize screenPixels) {
    constexpr int kTwipsPerPixel = core::kTwipsPerStandardPixel;
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

QRect PrimaryScreenArea() {
    NewImageDensity(); // from the screen, on Qt's thread
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    const qreal ratio = screen->devicePixelRatio();
    const QRect area = screen->geometry();
    return {(QPointF(area.topLeft()) * ratio).toPoint(), (QSizeF(area.size()) * ratio).toSize()};
}

WallTextures CaptureDesktopWalls(WallSurfaces&, const std::filesystem::path& folder, int textureSide) {
    const QRect area = PrimaryScreenArea();
    if (area.isEmpty()) return {};
    if (auto walls = CaptureDesktopWallsAt(folder, area, textureSide)) return std::move(*walls);
    // The root window as it is now; no window of ours is mapped yet.
    return WriteDesktopWalls(folder, QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                             DesktopWallSize(area.size()), textureSide);
}

std::optional<WallTextures> CaptureDesktopWallsAt(const std::filesystem::path& folder, QRect area, int textureSide) {
    const QImage desktop = x11::RootScreenshot(area);
    if (desktop.isNull()) return std::nullopt;
    return WriteDesktopWalls(folder, desktop, DesktopWallSize(area.size()), textureSide);
}

WallTextures CaptureDesktopWallsFrom(WallSurfaces&, const std::filesystem::path& folder, const QImage& desktop,
                                     int textureSide) {
    if (desktop.isNull()) return {};
    return WriteDesktopWalls(folder, desktop, desktop.size(), textureSide);
}

WallTextures PrepareUserWalls(WallSurfaces& surfaces, const Settings& settings, const std::filesystem::path& folder,
                              int textureSide) {
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

    // Walls whose picture could not be loaded show the one Master held before.
    std::array<bool, kWallCount + 1> loaded{};
    for (const PictureJob& job : jobs) {
        for (int wall : job.straightWalls) loaded[wall] = job.loaded;
        if (job.mirrored) loaded[kMirroredWall] = job.loaded;
    }
    const auto source = WallPictureSources(loaded);
    const QImage& initial = surfaces.master.Image();
    // Wall `to` (mirrored for wall 5) from the picture of wall `from` once more, or from
    // Master's first content when `from` is 0: a wall whose file could not be copied.
    auto rewrite = [&](int from, int to, bool mirrored) {
        MemoryBudget alone(kDecodeBudgetBytes);
        if (from != 0 && WritePictureWalls(PicturePath(settings, from), mirrored ? 0 : to, mirrored, folder,
                                           textureSide, alone, walls))
            return;
        walls.wall[to] = WriteImage(initial, WallFile(folder, to), mirrored ? NewImageDensity() : DensityOf(initial),
                                    mirrored, textureSide);
    };
    for (int wall : kWallLoadOrder) {
        if (loaded[wall]) continue;
        const int from = source[wall];
        if (wall == kMirroredWall) {
            rewrite(from, wall, true);
            continue;
        }
        if (from != 0) walls.wall[wall] = CopyWall(walls, folder, from, wall);
        if (!walls.wall[wall].written) rewrite(from, wall, false);
    }
    return walls;
}

} // namespace quelm
