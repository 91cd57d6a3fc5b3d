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
// at each size before it commits the memory for the decoded pixels. A picture can also be
// decoded row by row: a colour JPEG then never holds more than a few rows (a progressive
// one its coefficients), and gives exactly the pixels of the whole decoding.
#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

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
    QByteArray bytes;         // the whole file
    bool progressive = false; // a JPEG whose scans each cover the whole picture
    int64_t DecodedBytes() const { return int64_t(size.width()) * size.height() * kBytesPerDecodedPixel; }
    // Memory held while DecodePictureRows runs (an estimate from above).
    int64_t RowDecodingBytes() const;
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

// The resolution a decoded picture carries (QImage::dotsPerMeterX and Y).
struct PictureDensity {
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
};

// Decodes a checked picture as DecodePicture does, handing each row (32-bit RGB, top row
// first) to `row` as soon as it is decoded; `start` gets the density first. False when
// decoding fails, also after some rows were handed on.
using PictureRowSink = std::function<void(int y, const QRgb* pixels)>;
bool DecodePictureRows(const PictureFile& picture, const std::function<void(PictureDensity)>& start,
                       const PictureRowSink& row);

// ---- Shrinking to a texture -------------------------------------------------------------
// The size a picture takes as a texture when neither side may exceed `maxSide`: each side
// on its own is cut to it (the aspect is not kept; the texture still covers the face).
QSize ShrinkSize(QSize picture, int maxSide);

// Shrinks a picture fed row by row to `to` (no side larger than the picture's): each pixel
// of the result is the mean of the picture's pixels under it, each weighted by how much of
// it lies under (the area, or "triangle", filter of Direct3D's texture loader). The same
// rows always give the same pixels.
class RowShrinker {
public:
    RowShrinker(QSize from, QSize to);
    // The picture's next row, `from.width()` pixels.
    void AddRow(const QRgb* pixels);
    // The result once all rows are in (a null image before).
    QImage Take();

private:
    struct Span {
        int first;
        std::vector<uint32_t> weights;
    }; // source pixels under one result pixel
    static std::vector<Span> Spans(int from, int to);
    void EmitRow();

    QSize from_, to_;
    std::vector<Span> columns_, rows_;
    // The picture's rows summed down, byte by byte, for the result row being made and the
    // next one (a picture row on the border between them goes into both).
    std::vector<uint32_t> current_, next_;
    double scale_; // 1 / (the weights of a result pixel summed)
    int sourceRow_ = 0, resultRow_ = 0;
    QImage result_;
};

// The whole picture shrunk to `to` by the same rule.
QImage Shrink(const QImage& picture, QSize to);

} // namespace quelm::pictures
