#pragma once
// A picture surface: the stand-in for a Visual Basic picture box with AutoRedraw set, over a
// QImage, as the wall preparation uses one: a size in pixels, a persistent image of that size
// (the box's Image), and a straight copy into it (BitBlt, SRCCOPY).
// Not emulated: a window on screen, loading and saving pictures (the picture reader and the
// bitmap writer do that), stretched copies, raster operations other than SRCCOPY, scale modes
// other than pixels, and the system's button-face background: the background is black. A new
// surface is 1 × 1 pixel, black.
#include <QImage>

namespace quelm::pictures {

class PictureSurface {
public:
    static constexpr int kInitialSide = 1;          // pixels
    static constexpr QRgb kBackground = 0xFF000000; // black

    PictureSurface();

    int Width() const { return image_.width(); }   // pixels
    int Height() const { return image_.height(); } // pixels
    // Resizes in pixels (at least 1 × 1): the image keeps what lies inside the new size,
    // new area is background.
    void SetSize(int width, int height);

    // Copies `width` × `height` pixels from `source` at (sourceX, sourceY) to (x, y).
    // Pixels outside either image are left out.
    void BitBlt(int x, int y, int width, int height, const QImage& source, int sourceX, int sourceY);

    // The persistent image (Format_RGB32); drawing above changes it.
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};

} // namespace quelm::pictures
