#pragma once
// Checking a picture file (BMP, JPEG or GIF) before anything is decoded: the first step of the
// one reader of every picture the program decodes from a file. A picture "cannot be loaded"
// when the file is missing or unreadable, is not one of these three formats (told by content,
// not by name), is cut short, or measures above the limits below. The size is the one the
// decoder reads from the header (Qt's QImageReader), so the pixels decoded are the pixels
// measured. A caller decoding several pictures at once can look at each size before it
// commits the memory for the decoded pixels (picture_decoding.h).
#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quelm::pictures {

// Largest picture decoded: 100 megapixels, 400 MB at 4 bytes a pixel. Above any camera
// photo a wall would sensibly carry; a decompression bomb declares far more.
inline constexpr int64_t kMaxPicturePixels = 100'000'000;
inline constexpr int64_t kBytesPerDecodedPixel = 4;
inline constexpr int64_t kMaxPictureBytes = kMaxPicturePixels * kBytesPerDecodedPixel;
// Largest file read: a 100-megapixel 32-bit BMP with room for its headers.
inline constexpr int64_t kMaxPictureFileBytes = kMaxPictureBytes + 64 * 1024 * 1024;

enum class PictureFormat { Bmp, Jpeg, Gif };

// A picture checked and measured, not yet decoded.
struct PictureFile {
    PictureFormat format;
    QSize size;               // pixels, as the decoder reads them from the header
    QByteArray bytes;         // the whole file, as the decoder reads it (see CheckPicture)
    bool progressive = false; // a JPEG whose scans each cover the whole picture
    bool runLength = false;   // a BMP in RLE4 or RLE8, whose runs need not reach every pixel
    int64_t DecodedBytes() const { return int64_t(size.width()) * size.height() * kBytesPerDecodedPixel; }
};

// Checks a picture's bytes: format by content; complete (a BMP holds all the pixel data its
// header promises, after its colour tables; a JPEG reaches its end-of-image marker after a
// scan; a GIF holds its first image whole); size within the limits. Nothing when the picture
// cannot be loaded. A GIF whose first image has a colour table of its own is kept without
// the screen's colour table, which that image does not use (picture_format.cpp says why).
std::optional<PictureFile> CheckPicture(QByteArray bytes);

// Reads `file` and checks it as above.
std::optional<PictureFile> ReadPictureFile(const std::filesystem::path& file);

} // namespace quelm::pictures
