#include "platform/pictures/bitmap_writer.h"

#include <QSysInfo>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

namespace quelm::pictures {
namespace {

constexpr int kBitmapFileHeaderBytes = 14, kBitmapInfoHeaderBytes = 40;
constexpr int kBitmapHeaderBytes = kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes;
constexpr int kBitmapBitsPerPixel = 24;
constexpr uint32_t kBitmapUncompressed = 0; // BI_RGB

void PutLe(char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = char(value >> (8 * i) & 0xFF);
}

int64_t BitmapRowBytes(int width) { return (int64_t(width) * 3 + 3) / 4 * 4; }

// BITMAPFILEHEADER and BITMAPINFOHEADER of a bottom-up 24-bit bitmap.
void PutBitmapHeaders(char* h, int width, int height, PictureDensity density) {
    const int64_t pixelBytes = BitmapRowBytes(width) * height;
    std::memset(h, 0, kBitmapHeaderBytes);
    h[0] = 'B';
    h[1] = 'M';
    PutLe(h + 2, uint32_t(kBitmapHeaderBytes + pixelBytes), 4);
    PutLe(h + 10, kBitmapHeaderBytes, 4);
    PutLe(h + 14, kBitmapInfoHeaderBytes, 4);
    PutLe(h + 18, uint32_t(width), 4);
    PutLe(h + 22, uint32_t(height), 4);
    PutLe(h + 26, 1, 2); // planes
    PutLe(h + 28, kBitmapBitsPerPixel, 2);
    PutLe(h + 30, kBitmapUncompressed, 4);
    PutLe(h + 34, uint32_t(pixelBytes), 4);
    PutLe(h + 38, uint32_t(density.dotsPerMeterX), 4);
    PutLe(h + 42, uint32_t(density.dotsPerMeterY), 4);
}

// A row of 32-bit RGB pixels as the bitmap stores it: blue, green, red, zero padding.
void PutBitmapRow(char* out, const QRgb* in, int width) {
    auto* o = reinterpret_cast<unsigned char*>(out);
    int x = 0;
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // A QRgb's first three bytes in memory are blue, green, red: four pixels make
        // three 32-bit words.
        for (; x + 4 <= width; x += 4, o += 12) {
            const uint32_t p0 = in[x], p1 = in[x + 1], p2 = in[x + 2], p3 = in[x + 3];
            const uint32_t words[3] = {(p0 & 0xFFFFFF) | p1 << 24, (p1 >> 8 & 0xFFFF) | p2 << 16,
                                       (p2 >> 16 & 0xFF) | p3 << 8};
            std::memcpy(o, words, sizeof words);
        }
    }
    for (; x < width; ++x, o += 3) {
        const QRgb p = in[x];
        o[0] = uchar(qBlue(p));
        o[1] = uchar(qGreen(p));
        o[2] = uchar(qRed(p));
    }
    std::memset(o, 0, size_t(BitmapRowBytes(width) - int64_t(width) * 3));
}

bool BitmapFits(int width, int height) {
    return kBitmapHeaderBytes + BitmapRowBytes(width) * height <= std::numeric_limits<uint32_t>::max();
}

constexpr int64_t kSliceBytes = 256 << 10; // rows converted and written at a time

std::filesystem::path PartOf(const std::filesystem::path& file) {
    std::filesystem::path part = file;
    part += ".part";
    return part;
}

bool WriteAt(int fd, const char* data, int64_t bytes, int64_t offset) {
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(bytes), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= n;
        offset += n;
    }
    return true;
}
} // namespace

BitmapWriter::BitmapWriter(std::filesystem::path file, QSize size, PictureDensity density)
    : file_(std::move(file)), part_(PartOf(file_)), width_(std::max(size.width(), 0)),
      height_(std::max(size.height(), 0)), rowBytes_(BitmapRowBytes(width_)),
      sliceRows_(int(std::clamp<int64_t>(kSliceBytes / std::max<int64_t>(rowBytes_, 1), 1, std::max(height_, 1)))) {
    failed_ = width_ == 0 || height_ == 0 || !BitmapFits(width_, height_);
    if (failed_) return;
    fd_ = ::open(part_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    char header[kBitmapHeaderBytes];
    PutBitmapHeaders(header, width_, height_, density);
    failed_ = fd_ < 0 || !WriteAt(fd_, header, kBitmapHeaderBytes, 0);
    if (!failed_) slice_.resize(size_t(rowBytes_ * sliceRows_));
}

BitmapWriter::~BitmapWriter() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(part_.c_str());
}

void BitmapWriter::AddRow(const QRgb* pixels) {
    if (failed_ || nextRow_ >= height_) return;
    // Within a slice the rows lie bottom up, as in the file.
    const int rows = std::min(sliceRows_, height_ - sliceFirst_);
    PutBitmapRow(slice_.data() + rowBytes_ * (sliceFirst_ + rows - 1 - nextRow_), pixels, width_);
    if (++nextRow_ == sliceFirst_ + rows) WriteSlice();
}

void BitmapWriter::WriteSlice() {
    const int rows = nextRow_ - sliceFirst_;
    const int64_t offset = kBitmapHeaderBytes + rowBytes_ * (height_ - sliceFirst_ - rows);
    failed_ = !WriteAt(fd_, slice_.data(), rowBytes_ * rows, offset);
    sliceFirst_ = nextRow_;
}

bool BitmapWriter::Finish() {
    if (failed_ || fd_ < 0 || nextRow_ != height_) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    std::error_code error;
    if (closed) std::filesystem::rename(part_, file_, error);
    if (!closed || error) {
        std::filesystem::remove(part_, error);
        return false;
    }
    return true;
}

bool CopyFileWhole(const std::filesystem::path& from, const std::filesystem::path& to) {
    const std::filesystem::path part = PartOf(to);
    std::error_code error;
    std::filesystem::copy_file(from, part, std::filesystem::copy_options::overwrite_existing, error);
    if (!error) std::filesystem::rename(part, to, error);
    if (error) {
        std::filesystem::remove(part, error);
        return false;
    }
    return true;
}

} // namespace quelm::pictures
