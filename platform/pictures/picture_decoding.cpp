#include "platform/pictures/picture_decoding.h"

#include "platform/pictures/detail/qt_reader.h"

#include <QSysInfo>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace quelm::pictures {

namespace {

// Decodes `picture` with Qt's decoder into `image`, which the decoder reuses when it has the
// picture's size and format.
bool ReadInto(const PictureFile& picture, QImage& image) {
    QBuffer buffer;
    QImageReader reader;
    if (!OpenReader(buffer, reader, picture.bytes, picture.format)) return false;
    reader.setAutoTransform(false); // pixels as stored; orientation tags are not applied
    return reader.read(&image) && !image.isNull();
}

// Qt's decoder writes only the pixels that a run-length stream names: after an early end of
// the bitmap or of a line, or over a jump, the others keep what the memory held. It decodes
// into an 8-bit indexed image of the bitmap's size when handed one, so the bitmap is decoded
// twice, over two fills: where the two agree the stream wrote the pixel; every other pixel is
// black (Windows leaves them at the background). Nothing when a decoding was not made in the
// image handed to it (its unwritten pixels would be unknown).
QImage DecodeRunLengthBitmap(const PictureFile& picture) {
    const auto decodedOver = [&](uint fill) {
        QImage image(picture.size, QImage::Format_Indexed8);
        if (image.isNull()) return image;
        image.fill(fill);
        const uchar* pixels = image.constBits();
        if (!ReadInto(picture, image) || image.constBits() != pixels) return QImage();
        return image;
    };
    const QImage low = decodedOver(0x00), high = decodedOver(0xFF);
    if (low.isNull() || high.isNull()) return {};
    QImage image = low.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *a = low.constScanLine(y), *b = high.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (a[x] != b[x]) out[x] = qRgb(0, 0, 0);
    }
    return image;
}

} // namespace

QImage DecodePicture(const PictureFile& picture) {
    QImage image;
    if (picture.runLength) {
        image = DecodeRunLengthBitmap(picture);
        if (image.isNull()) return {};
    } else if (!ReadInto(picture, image)) {
        return {};
    }
    if (int64_t(image.width()) * image.height() > kMaxPicturePixels) return {};
    if (image.hasAlphaChannel()) // premultiplied colour is the colour over black
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

QImage LoadPictureFile(const std::filesystem::path& file) {
    const auto picture = ReadPictureFile(file);
    return picture ? DecodePicture(*picture) : QImage();
}

QImage LoadPicture(const QByteArray& bytes) {
    const auto picture = CheckPicture(bytes);
    return picture ? DecodePicture(*picture) : QImage();
}

PictureDensity DensityOf(const QImage& image) { return {image.dotsPerMeterX(), image.dotsPerMeterY()}; }
namespace {

// Rows a streamed decoding holds at most (libjpeg's own buffers for a few MCU rows).
constexpr int64_t kStreamedRows = 64;
// A progressive JPEG keeps every coefficient: at most 3 components of 2 bytes a pixel.
constexpr int64_t kProgressiveBytesPerPixel = 3 * 2;

struct JpegErrors : jpeg_error_mgr {
    std::jmp_buf failed;
};

extern "C" void JpegFail(j_common_ptr info) { std::longjmp(static_cast<JpegErrors*>(info->err)->failed, 1); }
extern "C" void JpegQuiet(j_common_ptr) {} // warnings: decoding goes on, as Qt's decoder lets it

// The density Qt's decoder gives a JPEG: from its JFIF header when it has a unit, else a
// new image's; a density of 0 leaves the new image's (QImage ignores it).
PictureDensity JpegDensity(const jpeg_decompress_struct& info) {
    constexpr double kCmPerInch = 2.54, kCmPerMetre = 100.0;
    PictureDensity density = DensityOf(QImage(1, 1, QImage::Format_RGB32));
    if (info.density_unit != 1 && info.density_unit != 2) return density;
    const double cmPerUnit = info.density_unit == 1 ? kCmPerInch : 1.0; // computed as Qt's decoder does
    if (const int x = int(kCmPerMetre * info.X_density / cmPerUnit)) density.dotsPerMeterX = x;
    if (const int y = int(kCmPerMetre * info.Y_density / cmPerUnit)) density.dotsPerMeterY = y;
    return density;
}

enum class Streamed { Done, Failed, NotColour };

// A colour (three-component) JPEG decoded a row at a time, with the decoder's defaults that
// Qt's decoder also keeps (accurate integer DCT, smooth upsampling), straight to 32-bit RGB.
// Any other JPEG (grey, CMYK) is left to the whole decoding.
Streamed DecodeColourJpegRows(const PictureFile& picture, const std::function<void(PictureDensity)>& start,
                              const PictureRowSink& row) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = JpegFail;
    errors.output_message = JpegQuiet;
    if (setjmp(errors.failed)) {
        jpeg_destroy_decompress(&info);
        return Streamed::Failed;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(picture.bytes.constData()),
                 static_cast<unsigned long>(picture.bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.num_components != 3 || info.out_color_space != JCS_RGB) {
        jpeg_destroy_decompress(&info);
        return Streamed::NotColour;
    }
    // QRgb's bytes in memory, alpha 255.
    info.out_color_space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    jpeg_start_decompress(&info);
    if (int(info.output_width) != picture.size.width() || int(info.output_height) != picture.size.height()) {
        jpeg_destroy_decompress(&info);
        return Streamed::Failed;
    }
    start(JpegDensity(info));
    // The row lives in the decoder's own pool, which a failure (a jump back above) frees.
    JSAMPARRAY out = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        if (jpeg_read_scanlines(&info, out, 1) != 1) break;
        row(y, reinterpret_cast<const QRgb*>(out[0]));
    }
    const bool whole = info.output_scanline == info.output_height;
    if (whole) jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return whole ? Streamed::Done : Streamed::Failed;
}

} // namespace

int64_t RowDecodingBytes(const PictureFile& picture) {
    // A run-length bitmap's two 8-bit decodings are held beside the decoded picture.
    constexpr int64_t kRunLengthBytesPerPixel = 2;
    const int64_t pixels = int64_t(picture.size.width()) * picture.size.height();
    if (picture.runLength) return picture.DecodedBytes() + pixels * kRunLengthBytesPerPixel;
    if (picture.format != PictureFormat::Jpeg) return picture.DecodedBytes();
    return picture.progressive ? pixels * kProgressiveBytesPerPixel
                               : picture.size.width() * kBytesPerDecodedPixel * kStreamedRows;
}

bool DecodePictureRows(const PictureFile& picture, const std::function<void(PictureDensity)>& start,
                       const PictureRowSink& row) {
    if (picture.format == PictureFormat::Jpeg) {
        const Streamed streamed = DecodeColourJpegRows(picture, start, row);
        if (streamed != Streamed::NotColour) return streamed == Streamed::Done;
    }
    const QImage image = DecodePicture(picture);
    if (image.isNull()) return false;
    start(DensityOf(image));
    for (int y = 0; y < image.height(); ++y) row(y, reinterpret_cast<const QRgb*>(image.constScanLine(y)));
    return true;
}

} // namespace quelm::pictures
