#pragma once
// Picture files made for the wall tests: patterns, a GIF writer (Qt writes no GIF), and
// files cut short or declaring sizes that must be refused.
#include <QByteArray>
#include <QImage>

#include <filesystem>

namespace quelm::test {

// A pattern with no symmetry, different for each `seed`, 32-bit RGB.
QImage WallPattern(int width, int height, int seed);
// A pattern of at most 256 colours, 8-bit indexed, for GIF files.
QImage IndexedPattern(int width, int height, int seed);

// A GIF89a file of an 8-bit indexed image (uncompressed LZW codes), first image only.
QByteArray GifBytes(const QImage& indexed);
// A GIF whose screen and image declare `width` × `height` but hold almost no pixel data.
QByteArray GifDeclaring(int width, int height);

QByteArray Encoded(const QImage& image, const char* format); // Qt's writer: "BMP", "JPEG"
QByteArray FileBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const QByteArray& bytes);

} // namespace quelm::test
