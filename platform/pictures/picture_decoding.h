#pragma once
// Decoding a checked picture (picture_format.h) to 32-bit RGB, whole or row by row. Decoding
// never crashes and holds the file and the decoded pixels, nothing larger. Row by row, a
// colour JPEG never holds more than a few rows (a progressive one its coefficients), and
// gives exactly the pixels of the whole decoding.
#include "platform/pictures/picture_format.h"

#include <QImage>

#include <filesystem>
#include <functional>

namespace quelm::pictures {

// Decodes a checked picture to 32-bit RGB (QImage::Format_RGB32); transparent pixels of a GIF,
// and pixels that the file leaves unwritten (a run-length bitmap's stream that ends early or
// jumps), come out black. A null image when decoding fails. Safe to call from several threads.
QImage DecodePicture(const PictureFile& picture);

// Both steps, from a file or from bytes in memory: a null image when the picture cannot be
// loaded.
QImage LoadPictureFile(const std::filesystem::path& file);
QImage LoadPicture(const QByteArray& bytes);

// The resolution a decoded picture carries (QImage::dotsPerMeterX and Y).
struct PictureDensity {
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
};
PictureDensity DensityOf(const QImage& image);

// Memory held while DecodePictureRows runs (an estimate from above), in bytes.
int64_t RowDecodingBytes(const PictureFile& picture);

// Decodes a checked picture as DecodePicture does, handing each row (32-bit RGB, top row
// first) to `row` as soon as it is decoded; `start` gets the density first. False when
// decoding fails, also after some rows were handed on.
using PictureRowSink = std::function<void(int y, const QRgb* pixels)>;
bool DecodePictureRows(const PictureFile& picture, const std::function<void(PictureDensity)>& start,
                       const PictureRowSink& row);

} // namespace quelm::pictures
