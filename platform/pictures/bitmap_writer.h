#pragma once
// Windows bitmaps written as the wall files are: 24 bits a pixel, bottom-up rows, uncompressed,
// made from rows handed over top row first. The file takes each slice of rows as it fills, so
// no picture-sized copy is ever held; it is written beside its name and renamed over it at
// the end: all or nothing.
#include "platform/pictures/picture_decoding.h"

#include <QImage>
#include <QSize>

#include <filesystem>
#include <vector>

namespace quelm::pictures {

class BitmapWriter {
public:
    BitmapWriter(std::filesystem::path file, QSize size, PictureDensity density);
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
    int64_t rowBytes_;
    int sliceRows_;
    int nextRow_ = 0, sliceFirst_ = 0;
    bool failed_ = false;
    std::vector<char> slice_;
};

// Copies `from` to `to` whole (in the kernel, no copy in memory), or leaves `to` as it was.
bool CopyFileWhole(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace quelm::pictures
