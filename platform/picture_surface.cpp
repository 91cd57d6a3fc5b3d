#include "platform/picture_surface.h"

#include "platform/picture_loading.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <cstdlib>
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

QByteArray PictureSurface::BitmapBytes() const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp"); // Qt writes 32-bit RGB images as 24-bit bitmaps
    if (!writer.write(image_)) return {};
    return bytes;
}

bool PictureSurface::SaveBitmap(const std::filesystem::path& file) const {
    const QByteArray bytes = BitmapBytes();
    return !bytes.isEmpty() && WriteFileWhole(file, bytes);
}

bool WriteFileWhole(const std::filesystem::path& file, const QByteArray& bytes) {
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly)) return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace quelm
