// libFuzzer harness for the picture reader through which both the user's wall pictures and
// the textures load (platform/pictures/): any bytes are refused, or decode (if at all) to a
// picture of exactly the size measured before decoding, which the callers budget for, and
// the decoding by rows gives the same pixels and density as the whole decoding: a pixel
// that a decoder left as the memory held it would differ between the two.
#include "fuzz_check.h"
#include "platform/pictures/picture_decoding.h"

#include <QByteArray>
#include <QImage>
#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures larger than this are checked and measured but not decoded: a decode's time grows
// with the pixels, not with the input, and a few slow decodes would starve the search.
constexpr int64_t kMaxDecodedBytes = 16LL * 1024 * 1024;

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {} // the decoders' warnings

// Leaves other bytes in the memory that the next decoding will be given: blocks of the sizes
// a decoding allocates (the picture at 1 and at 4 bytes a pixel, rows padded to 4 bytes) are
// filled and freed, and without the sanitizer's quarantine (below) the next allocations of
// those sizes reuse them. Pixels a decoder leaves unwritten then differ between decodings
// (filled with 0, then 1: two entries of a colour table, which seldom hold one colour).
void Scribble(const quelm::pictures::PictureFile& picture, unsigned char fill) {
    const int64_t width = picture.size.width(), height = picture.size.height();
    for (const int64_t bytes : {width * height, (width + 3) / 4 * 4 * height, picture.DecodedBytes()}) {
        void* block = std::malloc(size_t(bytes));
        std::memset(block, fill, size_t(bytes));
        std::free(block);
    }
}

} // namespace

extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=0:thread_local_quarantine_size_kb=0:max_malloc_fill_size=0";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(Quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quelm::pictures;
    // Raw data: a read past the input's end is a read past libFuzzer's buffer, which the
    // address sanitizer reports.
    const auto picture = CheckPicture(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!picture || picture->DecodedBytes() > kMaxDecodedBytes) return 0;
    Scribble(*picture, 0x00);
    const QImage image = DecodePicture(*picture);
    FUZZ_CHECK(image.isNull() || image.size() == picture->size);
    Scribble(*picture, 0x01);

    QImage rows(picture->size, QImage::Format_RGB32);
    PictureDensity density;
    int next = 0; // rows come top first, each once
    const bool decoded = DecodePictureRows(
        *picture, [&](PictureDensity d) { density = d; },
        [&](int y, const QRgb* row) {
            FUZZ_CHECK(y == next && y < rows.height());
            ++next;
            std::copy_n(row, rows.width(), reinterpret_cast<QRgb*>(rows.scanLine(y)));
        });
    FUZZ_CHECK(decoded == !image.isNull());
    if (!decoded) return 0;
    FUZZ_CHECK(next == rows.height());
    FUZZ_CHECK(density.dotsPerMeterX == image.dotsPerMeterX() && density.dotsPerMeterY == image.dotsPerMeterY());
    for (int y = 0; y < rows.height(); ++y)
        FUZZ_CHECK(std::equal(rows.constScanLine(y), rows.constScanLine(y) + rows.width() * sizeof(QRgb),
                              image.constScanLine(y)));
    return 0;
}
