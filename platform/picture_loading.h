#pragma once
// Reading a picture file (BMP, JPEG or GIF) safely: the one reader of the user's wall
// pictures and of the textures. A picture "cannot be loaded" when the file is missing or
// unreadable, is not one of these three formats (told by content, not by name), is cut short,
// measures above the limits below, or fails to decode. The size is the one the decoder reads
// from the header (Qt's QImageReader), so the pixels decoded are the pixels measured. Loading
// never crashes; it holds the file and the decoded pixels, nothing larger. Decoding raises
// Qt's process-wide image allocation limit (QImageReader::setAllocationLimit) to just above
// kMaxPictureBytes.
//
// Reading is split in two steps so that a caller decoding several pictures at once can look
// at each size before it commits the memory for the decoded pixels.
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

// A picture checked and measured, not yet decoded.
struct PictureFile {
    PictureFormat format;
    QSize size;        // pixels, as the decoder reads them from the header
    QByteArray bytes;  // the whole file
    int64_t DecodedBytes() const { return int64_t(size.width()) * size.height() * kBytesPerDecodedPixel; }
};

// Checks a picture's bytes: format by content; complete (a BMP holds all the pixel data its
// header promises, after its colour tables; a JPEG reaches its end-of-image marker after a
// scan; a GIF holds its first image whole); size within the limits. Nothing when the picture
// cannot be loaded.
std::optional<PictureFile> CheckPicture(QByteArray bytes);

// Reads `file` and checks it as above.
std::optional<PictureFile> ReadPictureFile(const std::filesystem::path& file);

// Decodes a checked picture to 32-bit RGB (QImage::Format_RGB32); transparent pixels of a GIF
// come out black. A null image when decoding fails. Safe to call from several threads.
QImage DecodePicture(const PictureFile& picture);

// Both steps: a null image when the picture cannot be loaded.
QImage LoadPictureFile(const std::filesystem::path& file);

} // namespace quelm::picture
