#include "platform/pictures/picture_surface.h"

#include <QPainter>

#include <algorithm>

namespace quelm::pictures {

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

void PictureSurface::BitBlt(int x, int y, int width, int height, const QImage& source, int sourceX, int sourceY) {
    if (width <= 0 || height <= 0 || source.isNull()) return;
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), source, QRect(sourceX, sourceY, width, height));
}

} // namespace quelm::pictures
