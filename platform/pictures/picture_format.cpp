#include "platform/pictures/picture_format.h"

#include "platform/pictures/detail/qt_reader.h"

#include <QBuffer>
#include <QFile>

#include <cstdlib>
#include <cstring>

namespace quelm::pictures {
namespace {

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
bool BmpComplete(const Bytes& b, bool& runLength) {
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
    case kBiRle4: runLength = true; return RleComplete(b, dataStart, compression == kBiRle4);
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

// The header, then blocks up to the first image, which is whole. `ownTable`: the first image
// brings a colour table of its own.
bool GifComplete(const Bytes& b, bool& ownTable) {
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
            ownTable = GifColourTableBytes(b.At(pos + 8)) != 0;
            pos += kGifImageDescriptorBytes + GifColourTableBytes(b.At(pos + 8));
            ++pos; // LZW minimum code size
            return SkipSubBlocks(b, pos);
        } else { // trailer before any image, or garbage
            return false;
        }
    }
}

// Qt fills the logical screen around a first image that has a colour table of its own with
// the screen's background colour taken from that table before it has read it: from memory
// never written. Such an image uses none of the screen's table, so the table (and with it the
// background colour) is dropped: the screen then starts black.
QByteArray WithoutScreenColourTable(const QByteArray& gif) {
    constexpr int kScreenFlags = kGifHeaderBytes + 4, kTableStart = kGifHeaderBytes + kGifScreenDescriptorBytes;
    const auto flags = static_cast<unsigned char>(gif[kScreenFlags]);
    QByteArray out = gif.left(kTableStart) + gif.mid(kTableStart + GifColourTableBytes(flags));
    out[kScreenFlags] = char(flags & ~kGifColourTableFlag);
    return out;
}

// The format told by the first bytes, or nothing for any other file.
std::optional<PictureFormat> SniffFormat(const QByteArray& bytes) {
    if (bytes.startsWith("BM")) return PictureFormat::Bmp;
    if (bytes.startsWith("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return PictureFormat::Gif;
    return std::nullopt;
}

// `gifOwnTable`: a GIF's first image has a colour table of its own.
bool StructureComplete(const QByteArray& bytes, PictureFile& picture, bool& gifOwnTable) {
    const Bytes b(bytes);
    switch (picture.format) {
    case PictureFormat::Bmp: return BmpComplete(b, picture.runLength);
    case PictureFormat::Jpeg: return JpegComplete(b, picture.progressive);
    case PictureFormat::Gif: return GifComplete(b, gifOwnTable);
    }
    return false;
}

// The size the decoder reads from the header (a bitmap stored top down declares a negative
// height), or nothing when it reads none or one beyond the limits.
std::optional<QSize> MeasuredSize(PictureFormat format, const QByteArray& bytes) {
    QBuffer buffer;
    QImageReader reader;
    if (!OpenReader(buffer, reader, bytes, format)) return std::nullopt;
    const QSize size = reader.size();
    const int64_t width = size.width(), height = std::abs(int64_t(size.height()));
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) return std::nullopt;
    return QSize(int(width), int(height));
}

} // namespace

std::optional<PictureFile> CheckPicture(QByteArray bytes) {
    const auto format = SniffFormat(bytes);
    if (!format) return std::nullopt;
    PictureFile picture{*format, QSize(), QByteArray()};
    bool gifOwnTable = false;
    if (!StructureComplete(bytes, picture, gifOwnTable)) return std::nullopt;
    const auto size = MeasuredSize(*format, bytes);
    if (!size) return std::nullopt;
    if (*format == PictureFormat::Gif && !GifMeasuredAsDecoded(Bytes(bytes), *size)) return std::nullopt;
    picture.size = *size;
    const bool dropScreenTable = gifOwnTable && (Bytes(bytes).At(kGifHeaderBytes + 4) & kGifColourTableFlag);
    picture.bytes = dropScreenTable ? WithoutScreenColourTable(bytes) : std::move(bytes);
    return picture;
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

} // namespace quelm::pictures
