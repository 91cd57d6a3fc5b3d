#include "platform/pictures/picture_loading.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QSysInfo>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace quelm::pictures {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

// Little- and big-endian reads that fail beyond the end instead of reading past it.
class Bytes {
public:
    explicit Bytes(const QByteArray& data)
        : p_(reinterpret_cast<const unsigned char*>(data.constData())), n_(data.size()) {}
    int64_t size() const { return n_; }
    bool Has(int64_t pos, int64_t count) const { return pos >= 0 && count >= 0 && pos <= n_ - count; }
    unsigned At(int64_t pos) const { return p_[pos]; }
    uint32_t U16le(int64_t pos) const { return p_[pos] | p_[pos + 1] << 8; }
    uint32_t U32le(int64_t pos) const { return U16le(pos) | U16le(pos + 2) << 16; }
    uint32_t U16be(int64_t pos) const { return p_[pos] << 8 | p_[pos + 1]; }
    // Position of the next 0xFF at or after `pos`, or size() when none.
    int64_t NextFF(int64_t pos) const {
        if (pos >= n_) return n_;
        const void* hit = std::memchr(p_ + pos, 0xFF, size_t(n_ - pos));
        return hit ? static_cast<const unsigned char*>(hit) - p_ : n_;
    }

private:
    const unsigned char* p_;
    int64_t n_;
};

// ---- BMP ------------------------------------------------------------------------------
constexpr int kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpCoreHeaderBytes = 12; // OS/2 header: 16-bit width and height
constexpr uint32_t kBmpInfoHeaderBytes = 40;
constexpr int kBmpMaskBytes = 12; // red, green, blue masks after a 40-byte header
constexpr int kBmpCoreColourBytes = 3, kBmpInfoColourBytes = 4;
constexpr uint32_t kBmpMaxIndexedBits = 8;
enum BmpCompression : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

// RLE data runs from `pos` to its end-of-bitmap code (0, 1) inside the file.
bool RleComplete(const Bytes& b, int64_t pos, bool fourBit) {
    while (b.Has(pos, 2)) {
        const unsigned count = b.At(pos), code = b.At(pos + 1);
        pos += 2;
        if (count != 0) continue;   // encoded run
        if (code == 0) continue;    // end of line
        if (code == 1) return true; // end of bitmap
        if (code == 2) {
            pos += 2;
            continue;
        }                                              // delta
        int64_t run = fourBit ? (code + 1) / 2 : code; // absolute run, padded to a word
        pos += run + (run & 1);
    }
    return false;
}

// The headers, the colour masks and colour table, then the pixel data, in this order and
// inside the file: pixel data that starts inside the tables is refused.
bool BmpComplete(const Bytes& b) {
    if (!b.Has(0, kBmpFileHeaderBytes + 4)) return false;
    const int64_t dataStart = b.U32le(10);
    const uint32_t headerBytes = b.U32le(kBmpFileHeaderBytes);
    int64_t width = 0, height = 0, colours = 0, colourBytes = kBmpInfoColourBytes;
    uint32_t bits = 0, compression = kBiRgb;
    if (headerBytes == kBmpCoreHeaderBytes) {
        if (!b.Has(kBmpFileHeaderBytes, kBmpCoreHeaderBytes)) return false;
        width = b.U16le(18);
        height = b.U16le(20);
        bits = b.U16le(24);
        colourBytes = kBmpCoreColourBytes;
    } else if (headerBytes >= kBmpInfoHeaderBytes) {
        if (!b.Has(kBmpFileHeaderBytes, headerBytes)) return false;
        width = int32_t(b.U32le(18));
        height = int32_t(b.U32le(22));
        bits = b.U16le(28);
        compression = b.U32le(30);
        colours = b.U32le(46);
    } else {
        return false;
    }
    height = height < 0 ? -height : height; // negative: rows stored top down
    if (width <= 0 || height <= 0) return false;
    int64_t tablesEnd = kBmpFileHeaderBytes + headerBytes;
    if (bits <= kBmpMaxIndexedBits)
        tablesEnd += (colours ? colours : int64_t(1) << bits) * colourBytes;
    else if (compression == kBiBitfields && headerBytes == kBmpInfoHeaderBytes)
        tablesEnd += kBmpMaskBytes;
    if (dataStart < tablesEnd) return false;
    switch (compression) {
    case kBiRgb:
    case kBiBitfields:
    case kBiAlphaBitfields: {
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
        const int64_t rowBytes = (width * bits + 31) / 32 * 4;
        return b.Has(dataStart, 0) && height <= (b.size() - dataStart) / rowBytes;
    }
    case kBiRle8:
    case kBiRle4: return RleComplete(b, dataStart, compression == kBiRle4);
    default: // embedded JPEG or PNG, or unknown
        return false;
    }
}

// ---- JPEG -----------------------------------------------------------------------------
constexpr unsigned kJpegNoMarker = 0x00, kJpegSoi = 0xD8, kJpegEoi = 0xD9, kJpegSos = 0xDA, kJpegTem = 0x01;
constexpr unsigned kJpegRst0 = 0xD0, kJpegRst7 = 0xD7;
constexpr unsigned kJpegDht = 0xC4, kJpegJpg = 0xC8, kJpegDac = 0xCC;

bool IsStartOfFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != kJpegDht && marker != kJpegJpg && marker != kJpegDac;
}

// SOF2, SOF6, SOF10 and SOF14: progressive frames.
bool IsProgressiveFrame(unsigned marker) { return IsStartOfFrame(marker) && (marker & 0x3) == 0x2; }

// Walks the marker segments from SOI as the decoder finds them: bytes up to the next 0xFF
// are skipped, and so is 0xFF 0x00, which is no marker. Entropy-coded data after each SOS
// holds no 0xFF other than stuffed 0xFF00 and restart markers. Complete when EOI follows a
// scan of a frame.
bool JpegComplete(const Bytes& b, bool& progressive) {
    int64_t pos = 2;
    bool frameSeen = false, scanSeen = false;
    for (;;) {
        pos = b.NextFF(pos);
        while (b.Has(pos, 1) && b.At(pos) == 0xFF) ++pos; // fill bytes
        if (!b.Has(pos, 1)) return false;
        const unsigned marker = b.At(pos++);
        if (marker == kJpegEoi) return scanSeen;
        if (marker == kJpegNoMarker || marker == kJpegTem || (marker >= kJpegRst0 && marker <= kJpegRst7) ||
            marker == kJpegSoi)
            continue;
        if (!b.Has(pos, 2)) return false;
        const int64_t length = b.U16be(pos);
        if (length < 2 || !b.Has(pos, length)) return false;
        if (!frameSeen && IsStartOfFrame(marker)) progressive = IsProgressiveFrame(marker);
        frameSeen = frameSeen || IsStartOfFrame(marker);
        pos += length;
        if (marker != kJpegSos) continue;
        if (!frameSeen) return false;
        scanSeen = true;
        for (;;) { // entropy-coded data up to the next real marker
            pos = b.NextFF(pos);
            if (!b.Has(pos, 2)) return false;
            const unsigned next = b.At(pos + 1);
            if (next == kJpegNoMarker || (next >= kJpegRst0 && next <= kJpegRst7)) {
                pos += 2;
                continue;
            }
            if (next == 0xFF) {
                ++pos;
                continue;
            }
            break;
        }
    }
}

// ---- GIF ------------------------------------------------------------------------------
constexpr int kGifHeaderBytes = 6, kGifScreenDescriptorBytes = 7, kGifImageDescriptorBytes = 9;
constexpr unsigned kGifExtension = 0x21, kGifImage = 0x2C;
constexpr unsigned kGifColourTableFlag = 0x80;

int64_t GifColourTableBytes(unsigned packed) {
    return (packed & kGifColourTableFlag) ? 3 * (int64_t(2) << (packed & 7)) : 0;
}

// Skips data sub-blocks up to their zero-length terminator; false when the file ends first.
bool SkipSubBlocks(const Bytes& b, int64_t& pos) {
    for (;;) {
        if (!b.Has(pos, 1)) return false;
        const unsigned length = b.At(pos++);
        if (length == 0) return true;
        pos += length;
    }
}

// Qt decodes a GIF onto its logical screen (a dimension of 0 takes the first image's), but
// measures it by its first image when the screen is far larger: such a GIF is refused.
bool GifMeasuredAsDecoded(const Bytes& b, QSize measured) {
    const int width = int(b.U16le(kGifHeaderBytes)), height = int(b.U16le(kGifHeaderBytes + 2));
    return (width == 0 || width == measured.width()) && (height == 0 || height == measured.height());
}

// The header, then blocks up to the first image, which is whole.
bool GifComplete(const Bytes& b) {
    if (!b.Has(0, kGifHeaderBytes + kGifScreenDescriptorBytes)) return false;
    int64_t pos = kGifHeaderBytes + kGifScreenDescriptorBytes + GifColourTableBytes(b.At(10));
    for (;;) {
        if (!b.Has(pos, 1)) return false;
        const unsigned block = b.At(pos++);
        if (block == kGifExtension) {
            ++pos; // label
            if (!SkipSubBlocks(b, pos)) return false;
        } else if (block == kGifImage) {
            if (!b.Has(pos, kGifImageDescriptorBytes)) return false;
            pos += kGifImageDescriptorBytes + GifColourTableBytes(b.At(pos + 8));
            ++pos; // LZW minimum code size
            return SkipSubBlocks(b, pos);
        } else { // trailer before any image, or garbage
            return false;
        }
    }
}

const char* QtFormatName(PictureFormat format) {
    switch (format) {
    case PictureFormat::Bmp: return "bmp";
    case PictureFormat::Jpeg: return "jpeg";
    case PictureFormat::Gif: return "gif";
    }
    return "";
}

// Qt's own ceiling on one decoded image (MiB), set once just above ours so that our checks
// decide and Qt's stays a second guard.
void SetDecoderAllocationLimit() {
    static const bool set = [] {
        QImageReader::setAllocationLimit(int(kMaxPictureBytes / kMiB + 16));
        return true;
    }();
    (void)set;
}

// The format told by the first bytes, or nothing for any other file.
std::optional<PictureFormat> SniffFormat(const QByteArray& bytes) {
    if (bytes.startsWith("BM")) return PictureFormat::Bmp;
    if (bytes.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return PictureFormat::Gif;
    return std::nullopt;
}

bool StructureComplete(PictureFormat format, const QByteArray& bytes, bool& progressive) {
    const Bytes b(bytes);
    switch (format) {
    case PictureFormat::Bmp: return BmpComplete(b);
    case PictureFormat::Jpeg: return JpegComplete(b, progressive);
    case PictureFormat::Gif: return GifComplete(b);
    }
    return false;
}

// The size the decoder reads from the header (a bitmap stored top down declares a negative
// height), or nothing when it reads none or one beyond the limits.
std::optional<QSize> MeasuredSize(PictureFormat format, const QByteArray& bytes) {
    SetDecoderAllocationLimit();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
    QImageReader reader(&buffer, QtFormatName(format));
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    const int64_t width = size.width(), height = std::abs(int64_t(size.height()));
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) return std::nullopt;
    return QSize(int(width), int(height));
}

} // namespace

std::optional<PictureFile> CheckPicture(QByteArray bytes) {
    const auto format = SniffFormat(bytes);
    bool progressive = false;
    if (!format || !StructureComplete(*format, bytes, progressive)) return std::nullopt;
    const auto size = MeasuredSize(*format, bytes);
    if (!size) return std::nullopt;
    if (*format == PictureFormat::Gif && !GifMeasuredAsDecoded(Bytes(bytes), *size)) return std::nullopt;
    return PictureFile{*format, *size, std::move(bytes), progressive};
}

std::optional<PictureFile> ReadPictureFile(const std::filesystem::path& file) {
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    const int64_t fileBytes = in.size();
    if (fileBytes <= 0 || fileBytes > kMaxPictureFileBytes) return std::nullopt; // also refuses devices and pipes
    QByteArray bytes = in.readAll();
    if (bytes.size() != fileBytes) return std::nullopt;
    return CheckPicture(std::move(bytes));
}

QImage DecodePicture(const PictureFile& picture) {
    SetDecoderAllocationLimit();
    QBuffer buffer;
    buffer.setData(picture.bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer, QtFormatName(picture.format));
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false); // pixels as stored; orientation tags are not applied
    QImage image;
    if (!reader.read(&image) || image.isNull()) return {};
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

// ---- Decoding row by row ----------------------------------------------------------------
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

PictureDensity DensityOf(const QImage& image) { return {image.dotsPerMeterX(), image.dotsPerMeterY()}; }

// The density Qt's decoder gives a JPEG: from its JFIF header when it has a unit, else a
// new image's.
PictureDensity JpegDensity(const jpeg_decompress_struct& info) {
    constexpr double kCmPerInch = 2.54, kCmPerMetre = 100.0;
    if (info.density_unit == 1)
        return {int(kCmPerMetre * info.X_density / kCmPerInch), int(kCmPerMetre * info.Y_density / kCmPerInch)};
    if (info.density_unit == 2) return {int(kCmPerMetre * info.X_density), int(kCmPerMetre * info.Y_density)};
    return DensityOf(QImage(1, 1, QImage::Format_RGB32));
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

int64_t PictureFile::RowDecodingBytes() const {
    if (format != PictureFormat::Jpeg) return DecodedBytes();
    const int64_t pixels = int64_t(size.width()) * size.height();
    return progressive ? pixels * kProgressiveBytesPerPixel : size.width() * kBytesPerDecodedPixel * kStreamedRows;
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

// ---- Shrinking --------------------------------------------------------------------------
QSize ShrinkSize(QSize picture, int maxSide) {
    return {std::min(picture.width(), maxSide), std::min(picture.height(), maxSide)};
}

// Result pixel X covers the picture from X * from / to to (X + 1) * from / to. Counted in
// 1/to of a picture pixel, its edges and each picture pixel's are whole numbers, and the
// weights (the lengths under it) add up to `from`.
std::vector<RowShrinker::Span> RowShrinker::Spans(int from, int to) {
    std::vector<Span> spans(static_cast<size_t>(to));
    for (int64_t x = 0; x < to; ++x) {
        const int64_t begin = x * from, end = (x + 1) * from;
        Span& span = spans[size_t(x)];
        span.first = int(begin / to);
        for (int64_t i = span.first; i * to < end; ++i)
            span.weights.push_back(uint32_t(std::min(end, (i + 1) * to) - std::max(begin, i * to)));
    }
    return spans;
}

RowShrinker::RowShrinker(QSize from, QSize to)
    : from_(from), to_(to), columns_(Spans(from.width(), to.width())), rows_(Spans(from.height(), to.height())),
      current_(size_t(from.width()) * kBytesPerDecodedPixel), next_(current_.size()),
      scale_(1.0 / (double(from.width()) * double(from.height()))), result_(to, QImage::Format_RGB32) {}

namespace {
// sums[i] += weight * bytes[i]: whole rows at once, which the compiler makes vector code of.
__attribute__((optimize("tree-vectorize"))) void AddWeighted(uint32_t* sums, const uint8_t* bytes, size_t count,
                                                             uint32_t weight) {
    for (size_t i = 0; i < count; ++i) sums[i] += weight * bytes[i];
}
} // namespace

void RowShrinker::AddRow(const QRgb* pixels) {
    if (sourceRow_ >= from_.height() || resultRow_ >= to_.height() || result_.isNull()) return;
    const int y = sourceRow_++;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    const Span& span = rows_[size_t(resultRow_)];
    const size_t k = size_t(y - span.first);
    AddWeighted(current_.data(), bytes, current_.size(), span.weights[k]);
    if (k + 1 < span.weights.size()) return;
    // The result row's last picture row: it may also be the next result row's first.
    const bool shared = resultRow_ + 1 < to_.height() && rows_[size_t(resultRow_) + 1].first == y;
    if (shared) AddWeighted(next_.data(), bytes, next_.size(), rows_[size_t(resultRow_) + 1].weights[0]);
    EmitRow();
    current_.swap(next_);
    std::fill(next_.begin(), next_.end(), 0);
}

void RowShrinker::EmitRow() {
    // Where a QRgb keeps red, green and blue in memory.
    constexpr bool kLittle = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    constexpr int kRed = kLittle ? 2 : 1, kGreen = kLittle ? 1 : 2, kBlue = kLittle ? 0 : 3;
    auto* out = reinterpret_cast<QRgb*>(result_.scanLine(resultRow_++));
    for (int x = 0; x < to_.width(); ++x) {
        const Span& span = columns_[size_t(x)];
        const uint32_t* in = current_.data() + size_t(span.first) * kBytesPerDecodedPixel;
        uint64_t r = 0, g = 0, b = 0;
        for (size_t i = 0; i < span.weights.size(); ++i, in += kBytesPerDecodedPixel) {
            const uint64_t w = span.weights[i];
            r += w * in[kRed];
            g += w * in[kGreen];
            b += w * in[kBlue];
        }
        const auto mean = [&](uint64_t sum) { return int(double(sum) * scale_ + 0.5); };
        out[x] = qRgb(mean(r), mean(g), mean(b));
    }
}

QImage RowShrinker::Take() {
    if (resultRow_ < to_.height()) return {};
    return std::move(result_);
}

QImage Shrink(const QImage& picture, QSize to) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    RowShrinker shrinker(rgb.size(), to);
    for (int y = 0; y < rgb.height(); ++y) shrinker.AddRow(reinterpret_cast<const QRgb*>(rgb.constScanLine(y)));
    QImage result = shrinker.Take();
    result.setDotsPerMeterX(picture.dotsPerMeterX());
    result.setDotsPerMeterY(picture.dotsPerMeterY());
    return result;
}

} // namespace quelm::pictures
