#pragma once
// A picture surface: the stand-in for a Visual Basic picture box with AutoRedraw set, over
// a QImage. It emulates what the wall preparation and the settings dialog use of one:
//   - a size in pixels and a persistent image of that size (the box's Image);
//   - loading a picture file (BMP, JPEG, GIF), with the AutoSize flag: when set, the surface
//     takes the picture's pixel size; when clear, the picture is drawn at (0, 0) over the
//     background and clipped to the surface. A picture that cannot be loaded leaves the
//     surface exactly as it was;
//   - drawing into the image: a straight copy (BitBlt, SRCCOPY) and a stretched copy
//     (StretchBlt, SRCCOPY) in the COLORONCOLOR mode, nearest pixel, rows and columns
//     dropped or repeated; a negative destination width or height mirrors the copy;
//   - refresh, and saving the image as a Windows bitmap (24 bits a pixel, uncompressed).
// It does not emulate: a window on screen (nothing is ever shown, so Refresh has nothing
// to repaint), the separate Picture property (the loaded picture is drawn into the Image
// at once), scale modes other than pixels, raster operations other than SRCCOPY, stretch
// modes other than COLORONCOLOR, or the system's button-face background: the background
// is black. A new surface is 1 × 1 pixel, black.
#include "platform/pictures/picture_loading.h"

#include <QImage>
#include <QRect>

#include <filesystem>
#include <vector>

namespace quelm::pictures {

class PictureSurface {
public:
    static constexpr int kInitialSide = 1;          // pixels
    static constexpr QRgb kBackground = 0xFF000000; // black

    // The only stretch mode there is: COLORONCOLOR (3), nearest pixel.
    enum class StretchMode { ColorOnColor = 3 };

    PictureSurface();

    int Width() const { return image_.width(); }   // pixels
    int Height() const { return image_.height(); } // pixels
    // Resizes in pixels (at least 1 × 1): the image keeps what lies inside the new size,
    // new area is background.
    void SetSize(int width, int height);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; }
    void SetStretchMode(StretchMode mode) { stretchMode_ = mode; }

    // Loads a picture file; false, surface untouched, when it cannot be loaded.
    bool LoadPicture(const std::filesystem::path& file);
    // Shows an already decoded picture (32-bit RGB) as LoadPicture would show it.
    void ShowPicture(const QImage& picture);

    // Copies `width` × `height` pixels from `source` at (sourceX, sourceY) to (x, y).
    // Pixels outside either image are left out.
    void BitBlt(int x, int y, int width, int height, const QImage& source, int sourceX, int sourceY);
    // Copies `source`'s rectangle (sx, sy, sw, sh) onto (x, y, width, height) by nearest
    // pixel. A negative width (height) flips left to right (top to bottom): the copy then
    // covers x + width .. x - 1.
    void StretchBlt(int x, int y, int width, int height, const QImage& source, int sx, int sy, int sw, int sh);

    // Repaints the window from the persistent image; there is no window, so it does nothing.
    void Refresh() {}

    // The persistent image (Format_RGB32); drawing above changes it.
    const QImage& Image() const { return image_; }

    // Writes the image to `file` as a Windows bitmap (24 bits a pixel, bottom-up rows),
    // replacing it whole or leaving it as it was.
    bool SaveBitmap(const std::filesystem::path& file) const;

private:
    QImage image_;
    bool autoSize_ = false;
    StretchMode stretchMode_ = StretchMode::ColorOnColor;
};

// Copies `from` to `to` whole (in the kernel, no copy in memory), or leaves `to` as it was.
bool CopyFileWhole(const std::filesystem::path& from, const std::filesystem::path& to);

// A Windows bitmap as SaveBitmap writes it (24 bits a pixel, bottom-up rows) made from rows
// handed over top row first, each mirrored left to right when asked: the file takes each
// slice of rows as it fills, so no picture-sized copy is ever held. Written beside the
// file and renamed over it by Finish: all or nothing.
class BitmapWriter {
public:
    BitmapWriter(std::filesystem::path file, QSize size, PictureDensity density, bool mirrored = false);
    ~BitmapWriter(); // a bitmap not finished leaves the file as it was
    BitmapWriter(const BitmapWriter&) = delete;
    BitmapWriter& operator=(const BitmapWriter&) = delete;

    // The next row, size.width() pixels.
    void AddRow(const QRgb* pixels);
    // True when every row was written and the file is in place.
    bool Finish();

private:
    void WriteSlice();

    std::filesystem::path file_, part_;
    int fd_ = -1;
    int width_, height_;
    bool mirrored_;
    int64_t rowBytes_;
    int sliceRows_;
    int nextRow_ = 0, sliceFirst_ = 0;
    bool failed_ = false;
    std::vector<char> slice_;
};

} // namespace quelm::pictures
