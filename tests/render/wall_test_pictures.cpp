#include "wall_test_pictures.h"

#include <QBuffer>
#include <QFile>

#include <vector>

namespace quelm::test {

QImage WallPattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x * 7 + seed * 40) & 255, (y * 3 + seed * 90) & 255, (x * y + seed) & 255);
    }
    return image;
}

QImage IndexedPattern(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (int i = 0; i < 256; ++i) colours << qRgb(i, (i * 5 + seed * 30) & 255, 255 - i);
    image.setColorTable(colours);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, uint((x * 3 + y * y + seed) & 255));
    return image;
}

namespace {
// Packs variable codes least significant bit first, then cuts them into sub-blocks.
class CodeWriter {
public:
    void Put(unsigned code, int bits) {
        acc_ |= uint64_t(code) << count_;
        count_ += bits;
        while (count_ >= 8) { bytes_.push_back(char(acc_ & 255)); acc_ >>= 8; count_ -= 8; }
    }
    QByteArray SubBlocks() {
        if (count_ > 0) bytes_.push_back(char(acc_ & 255));
        QByteArray out;
        for (qsizetype i = 0; i < bytes_.size(); i += 255) {
            const QByteArray part = bytes_.mid(i, 255);
            out.append(char(part.size())).append(part);
        }
        return out.append('\0');
    }

private:
    QByteArray bytes_;
    uint64_t acc_ = 0;
    int count_ = 0;
};

void PutU16(QByteArray& out, int value) { out.append(char(value & 255)).append(char(value >> 8 & 255)); }

QByteArray GifFile(int width, int height, const QList<QRgb>& colours, const QByteArray& lzwBlocks) {
    QByteArray out("GIF89a");
    PutU16(out, width);
    PutU16(out, height);
    out.append(char(0xF7)).append('\0').append('\0'); // global table of 256 colours
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : 0;
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    out.append(char(0x2C));
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, width);
    PutU16(out, height);
    out.append('\0').append(char(8)); // no local table; LZW minimum code size 8
    return out.append(lzwBlocks).append(char(0x3B));
}
} // namespace

QByteArray GifBytes(const QImage& indexed) {
    constexpr unsigned kClear = 256, kEnd = 257;
    constexpr int kBits = 9, kLiteralsPerClear = 250; // the table never outgrows 9 bits
    CodeWriter codes;
    int sinceClear = kLiteralsPerClear;
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x) {
            if (sinceClear == kLiteralsPerClear) { codes.Put(kClear, kBits); sinceClear = 0; }
            codes.Put(indexed.pixelIndex(x, y), kBits);
            ++sinceClear;
        }
    codes.Put(kEnd, kBits);
    return GifFile(indexed.width(), indexed.height(), indexed.colorTable(), codes.SubBlocks());
}

QByteArray GifDeclaring(int width, int height) {
    CodeWriter codes;
    codes.Put(256, 9);
    codes.Put(0, 9);
    codes.Put(257, 9);
    return GifFile(width, height, {qRgb(255, 0, 0)}, codes.SubBlocks());
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

QByteArray FileBytes(const std::filesystem::path& file) {
    QFile in(QString::fromStdString(file.string()));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void WriteBytes(const std::filesystem::path& file, const QByteArray& bytes) {
    QFile out(QString::fromStdString(file.string()));
    if (out.open(QIODevice::WriteOnly)) out.write(bytes);
}

} // namespace quelm::test
