#include "platform/picture_surface.h"

#include "platform/picture_loading.h"

#include <QFile>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace quelm {
namespace {

QImage AsRgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
}

// Nearest-pixel mapping of `count` destination pixels onto `sourceCount` source pixels,
// sampling each destination pixel's centre.
int64_t SourceIndex(int64_t i, int64_t count, int64_t sourceCount) {
    return (2 * i + 1) * sourceCount / (2 * count);
}

} // namespace

PictureSurface::PictureSurface() : image_(kInitialSide, kInitialSide, QImage::Format_RGB32) {
    image_.fill(kBackground);
}

void PictureSurface::SetSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == Width() && height == Height()) return;
    QImage resized(width, height, QImage::Format_RGB32);
    if (resized.isNull()) return; // no memory for it: the surface stays as it was
    resized.fill(kBackground);
    const QImage old = image_;
    image_ = resized;
    BitBlt(0, 0, old.width(), old.height(), old, 0, 0);
}

bool PictureSurface::LoadPicture(const std::filesystem::path& file) {
    const QImage picture = picture::LoadPictureFile(file);
    if (picture.isNull()) return false;
    ShowPicture(picture);
    return true;
}

void PictureSurface::ShowPicture(const QImage& picture) {
    if (autoSize_) {
        image_ = AsRgb32(picture); // shares the pixels, no copy
        return;
    }
    image_.fill(kBackground);
    BitBlt(0, 0, picture.width(), picture.height(), picture, 0, 0);
}

void PictureSurface::BitBlt(int x, int y, int width, int height, const QImage& source, int sourceX, int sourceY) {
    StretchBlt(x, y, width, height, source, sourceX, sourceY, width, height);
}

void PictureSurface::StretchBlt(int x, int y, int width, int height, const QImage& source, int sx, int sy, int sw,
                                int sh) {
    (void)stretchMode_; // COLORONCOLOR is the only mode
    if (width == 0 || height == 0 || sw <= 0 || sh <= 0 || source.isNull()) return;
    const QImage src = AsRgb32(source);
    const int64_t columns = std::abs(int64_t(width)), rows = std::abs(int64_t(height));
    // Destination column of the i-th sample: rightwards from x, or leftwards from x - 1.
    auto destX = [&](int64_t i) { return width > 0 ? x + i : x - 1 - i; };
    auto destY = [&](int64_t j) { return height > 0 ? y + j : y - 1 - j; };

    struct Column { int dest; int source; };
    std::vector<Column> columnMap;
    columnMap.reserve(size_t(std::min<int64_t>(columns, Width())));
    for (int64_t i = 0; i < columns; ++i) {
        const int64_t dx = destX(i), sxi = sx + SourceIndex(i, columns, sw);
        if (dx >= 0 && dx < Width() && sxi >= 0 && sxi < src.width()) columnMap.push_back({int(dx), int(sxi)});
    }
    if (columnMap.empty()) return;
    for (int64_t j = 0; j < rows; ++j) {
        const int64_t dy = destY(j), syj = sy + SourceIndex(j, rows, sh);
        if (dy < 0 || dy >= Height() || syj < 0 || syj >= src.height()) continue;
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(int(syj)));
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(int(dy)));
        for (const Column& c : columnMap) out[c.dest] = in[c.source];
    }
}

namespace {

constexpr int kBitmapFileHeaderBytes = 14, kBitmapInfoHeaderBytes = 40;
constexpr int kBitmapHeaderBytes = kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes;
constexpr int kBitmapBitsPerPixel = 24;
constexpr uint32_t kBitmapUncompressed = 0; // BI_RGB

void PutLe(char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = char(value >> (8 * i) & 0xFF);
}

int64_t BitmapRowBytes(int width) { return (int64_t(width) * 3 + 3) / 4 * 4; }

// BITMAPFILEHEADER and BITMAPINFOHEADER of a bottom-up 24-bit bitmap.
void PutBitmapHeaders(char* h, const QImage& image) {
    const int64_t pixelBytes = BitmapRowBytes(image.width()) * image.height();
    std::memset(h, 0, kBitmapHeaderBytes);
    h[0] = 'B';
    h[1] = 'M';
    PutLe(h + 2, uint32_t(kBitmapHeaderBytes + pixelBytes), 4);
    PutLe(h + 10, kBitmapHeaderBytes, 4);
    PutLe(h + 14, kBitmapInfoHeaderBytes, 4);
    PutLe(h + 18, uint32_t(image.width()), 4);
    PutLe(h + 22, uint32_t(image.height()), 4);
    PutLe(h + 26, 1, 2); // planes
    PutLe(h + 28, kBitmapBitsPerPixel, 2);
    PutLe(h + 30, kBitmapUncompressed, 4);
    PutLe(h + 34, uint32_t(pixelBytes), 4);
    PutLe(h + 38, uint32_t(image.dotsPerMeterX()), 4);
    PutLe(h + 42, uint32_t(image.dotsPerMeterY()), 4);
}

// Row `y` of a 32-bit RGB image as the bitmap stores it: blue, green, red, zero padding.
void PutBitmapRow(char* out, const QImage& image, int y) {
    const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    auto* o = reinterpret_cast<unsigned char*>(out);
    const int width = image.width();
    for (int x = 0; x < width; ++x, o += 3) {
        o[0] = uchar(qBlue(in[x]));
        o[1] = uchar(qGreen(in[x]));
        o[2] = uchar(qRed(in[x]));
    }
    std::memset(o, 0, size_t(BitmapRowBytes(width) - int64_t(width) * 3));
}

} // namespace

QByteArray PictureSurface::BitmapBytes() const {
    const int64_t rowBytes = BitmapRowBytes(Width());
    const int64_t total = kBitmapHeaderBytes + rowBytes * Height();
    if (total > std::numeric_limits<uint32_t>::max()) return {};
    QByteArray bytes(qsizetype(total), Qt::Uninitialized);
    if (bytes.size() != total) return {};
    PutBitmapHeaders(bytes.data(), image_);
    for (int y = 0; y < Height(); ++y) // bottom row first
        PutBitmapRow(bytes.data() + kBitmapHeaderBytes + rowBytes * (Height() - 1 - y), image_, y);
    return bytes;
}

bool PictureSurface::SaveBitmap(const std::filesystem::path& file) const {
    // Streamed in slices of rows: no second copy of a large picture in memory.
    constexpr int64_t kSliceBytes = 1 << 20;
    const int64_t rowBytes = BitmapRowBytes(Width());
    if (kBitmapHeaderBytes + rowBytes * Height() > std::numeric_limits<uint32_t>::max()) return false;
    return WriteFileWhole(file, [&](QIODevice& out) {
        char header[kBitmapHeaderBytes];
        PutBitmapHeaders(header, image_);
        if (out.write(header, kBitmapHeaderBytes) != kBitmapHeaderBytes) return false;
        const int rowsPerSlice = int(std::max<int64_t>(1, kSliceBytes / rowBytes));
        std::vector<char> slice(size_t(rowBytes * rowsPerSlice));
        for (int y = Height() - 1; y >= 0;) { // bottom row first
            int rows = 0;
            for (; rows < rowsPerSlice && y >= 0; ++rows, --y) PutBitmapRow(slice.data() + rowBytes * rows, image_, y);
            if (out.write(slice.data(), rowBytes * rows) != rowBytes * rows) return false;
        }
        return true;
    });
}

bool WriteFileWhole(const std::filesystem::path& file, const QByteArray& bytes) {
    return WriteFileWhole(file, [&](QIODevice& out) { return out.write(bytes) == bytes.size(); });
}

bool WriteFileWhole(const std::filesystem::path& file, const std::function<bool(QIODevice&)>& write) {
    // Written beside the file, then renamed over it. Not synced to disk: the wall files
    // live only while the show runs.
    std::filesystem::path part = file;
    part += ".part";
    QFile out(QString::fromStdString(part.string()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool written = write(out) && out.flush();
    out.close();
    std::error_code error;
    if (written) std::filesystem::rename(part, file, error);
    if (!written || error) {
        std::filesystem::remove(part, error);
        return false;
    }
    return true;
}

} // namespace quelm
