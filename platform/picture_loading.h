#pragma once
// Reading a picture file (BMP, JPEG or GIF) safely. A picture "cannot be loaded" when the
// file is missing or unreadable, is not one of these three formats (told by content, not by
// name), is cut short, declares a size above the limits below, or fails to decode. Loading
// never crashes; it holds the file and the decoded pixels, nothing larger. Decoding raises
// Qt's process-wide image allocation limit (QImageReader::setAllocationLimit) to just
// above kMaxPictureBytes.
//
// Reading is split in two steps so that a caller decoding several pictures at once can look
// at each declared size before it commits the memory for the decoded pixels.
#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quelm::picture {

// Largest picture decoded: 100 megapixels, 400 MB at 4 bytes a pixel. Above any camera
// photo a wall would sensibly carry; a decompression bomb declares far more.
inline constexpr int64_t kMaxPicturePixels = 100'000'000;
inline constexpr int64_t kBytesPerDecodedPixel = 4;
inline constexpr int64_t kMaxPictureBytes = kMaxPicturePixels * kBytesPerDecodedPixel;
// Largest file read: a 100-megapixel 32-bit BMP with room for its headers.
inline constexpr int64_t kMaxPictureFileBytes = kMaxPictureBytes + 64 * 1024 * 1024;

enum class PictureFormat { Bmp, Jpeg, Gif };

// A picture file read into memory and checked, not yet decoded.
struct PictureFile {
    PictureFormat format;
    QSize size;        // pixels, as the file's header declares it
    QByteArray bytes;  // the whole file
    int64_t DecodedBytes() const { return int64_t(size.width()) * size.height() * kBytesPerDecodedPixel; }
};

// The format told by the first bytes, or nothing for any other file.
std::optional<PictureFormat> SniffFormat(const QByteArray& bytes);

// True when the file's structure runs to its end marker: a BMP holds all the pixel data its
// header promises (RLE data up to its end-of-bitmap code); a JPEG reaches its end-of-image
// marker; a GIF holds its first image whole.
bool StructureComplete(PictureFormat format, const QByteArray& bytes);

// Reads and checks `file`: format, completeness, declared size within the limits.
// Nothing when the picture cannot be loaded.
std::optional<PictureFile> ReadPictureFile(const std::filesystem::path& file);

// Decodes a checked file to 32-bit RGB (QImage::Format_RGB32); transparent pixels of a GIF
// come out black. A null image when decoding fails. Safe to call from several threads.
QImage DecodePicture(const PictureFile& picture);

// Both steps: a null image when the picture cannot be loaded.
QImage LoadPictureFile(const std::filesystem::path& file);

} // namespace quelm::picture
