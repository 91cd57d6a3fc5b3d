#include "platform/wayland/shm_pixels.h"

#include <QTransform>
#include <algorithm>
#include <wayland-client-protocol.h>

namespace quelm::wayland {
namespace {

// DRM fourcc codes (little-endian layouts) that wayland-client-protocol.h also names.
constexpr uint32_t kArgb8888 = WL_SHM_FORMAT_ARGB8888;
constexpr uint32_t kXrgb8888 = WL_SHM_FORMAT_XRGB8888;
constexpr uint32_t kAbgr8888 = WL_SHM_FORMAT_ABGR8888;
constexpr uint32_t kXbgr8888 = WL_SHM_FORMAT_XBGR8888;
constexpr uint32_t kRgba8888 = WL_SHM_FORMAT_RGBA8888;
constexpr uint32_t kRgbx8888 = WL_SHM_FORMAT_RGBX8888;
constexpr uint32_t kBgra8888 = WL_SHM_FORMAT_BGRA8888;
constexpr uint32_t kBgrx8888 = WL_SHM_FORMAT_BGRX8888;
constexpr uint32_t kXrgb2101010 = WL_SHM_FORMAT_XRGB2101010;
constexpr uint32_t kArgb2101010 = WL_SHM_FORMAT_ARGB2101010;
constexpr uint32_t kXbgr2101010 = WL_SHM_FORMAT_XBGR2101010;
constexpr uint32_t kAbgr2101010 = WL_SHM_FORMAT_ABGR2101010;
constexpr uint32_t kRgb888 = WL_SHM_FORMAT_RGB888;
constexpr uint32_t kBgr888 = WL_SHM_FORMAT_BGR888;
constexpr uint32_t kRgb565 = WL_SHM_FORMAT_RGB565;

// Asked for in this order: no conversion loss first.
constexpr uint32_t kPreference[] = {kXrgb8888,    kArgb8888,    kXbgr8888, kAbgr8888,    kBgrx8888,
                                    kBgra8888,    kRgbx8888,    kRgba8888, kXrgb2101010, kArgb2101010,
                                    kXbgr2101010, kAbgr2101010, kRgb888,   kBgr888,      kRgb565};

constexpr uint32_t kOpaque = 0xff000000u;

uint32_t Word32(const uchar* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return kOpaque | r << 16 | g << 8 | b; }

// One pixel of the format at p, as 0xffRRGGBB.
template <uint32_t F>
uint32_t PixelAt(const uchar* p) {
    if constexpr (F == kXrgb8888 || F == kArgb8888) return Word32(p) | kOpaque;
    if constexpr (F == kXbgr8888 || F == kAbgr8888) return Rgb(p[0], p[1], p[2]);
    if constexpr (F == kRgbx8888 || F == kRgba8888) return Rgb(p[3], p[2], p[1]);
    if constexpr (F == kBgrx8888 || F == kBgra8888) return Rgb(p[1], p[2], p[3]);
    if constexpr (F == kXrgb2101010 || F == kArgb2101010) {
        const uint32_t w = Word32(p);
        return Rgb(w >> 22 & 0xff, w >> 12 & 0xff, w >> 2 & 0xff);
    }
    if constexpr (F == kXbgr2101010 || F == kAbgr2101010) {
        const uint32_t w = Word32(p);
        return Rgb(w >> 2 & 0xff, w >> 12 & 0xff, w >> 22 & 0xff);
    }
    if constexpr (F == kRgb888) return Rgb(p[2], p[1], p[0]);
    if constexpr (F == kBgr888) return Rgb(p[0], p[1], p[2]);
    if constexpr (F == kRgb565) {
        const uint32_t w = p[0] | p[1] << 8;
        const uint32_t r = w >> 11, g = w >> 5 & 0x3f, b = w & 0x1f;
        return Rgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
    }
}

template <uint32_t F>
void ConvertRows(const uchar* data, int bytesPerPixel, int stride, bool yInvert, QImage& out) {
    for (int y = 0; y < out.height(); ++y) {
        const uchar* row = data + qsizetype(yInvert ? out.height() - 1 - y : y) * stride;
        auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) dst[x] = PixelAt<F>(row + x * bytesPerPixel);
    }
}

using RowConverter = void (*)(const uchar*, int, int, bool, QImage&);

// The reader of a format; null for one not read here.
RowConverter Converter(uint32_t format) {
    switch (format) {
    case kArgb8888: return ConvertRows<kArgb8888>;
    case kXrgb8888: return ConvertRows<kXrgb8888>;
    case kAbgr8888: return ConvertRows<kAbgr8888>;
    case kXbgr8888: return ConvertRows<kXbgr8888>;
    case kRgba8888: return ConvertRows<kRgba8888>;
    case kRgbx8888: return ConvertRows<kRgbx8888>;
    case kBgra8888: return ConvertRows<kBgra8888>;
    case kBgrx8888: return ConvertRows<kBgrx8888>;
    case kXrgb2101010: return ConvertRows<kXrgb2101010>;
    case kArgb2101010: return ConvertRows<kArgb2101010>;
    case kXbgr2101010: return ConvertRows<kXbgr2101010>;
    case kAbgr2101010: return ConvertRows<kAbgr2101010>;
    case kRgb888: return ConvertRows<kRgb888>;
    case kBgr888: return ConvertRows<kBgr888>;
    case kRgb565: return ConvertRows<kRgb565>;
    default: return nullptr;
    }
}

} // namespace

int ShmBytesPerPixel(uint32_t format) {
    switch (format) {
    case kArgb8888:
    case kXrgb8888:
    case kAbgr8888:
    case kXbgr8888:
    case kRgba8888:
    case kRgbx8888:
    case kBgra8888:
    case kBgrx8888:
    case kXrgb2101010:
    case kArgb2101010:
    case kXbgr2101010:
    case kAbgr2101010: return 4;
    case kRgb888:
    case kBgr888: return 3;
    case kRgb565: return 2;
    default: return 0;
    }
}

std::optional<uint32_t> PreferredShmFormat(const std::vector<uint32_t>& offered) {
    for (uint32_t f : kPreference) {
        if (std::find(offered.begin(), offered.end(), f) != offered.end()) return f;
    }
    return std::nullopt;
}

QImage ImageFromShm(const uchar* data, uint32_t format, int width, int height, int stride, bool yInvert) {
    const int bpp = ShmBytesPerPixel(format);
    const RowConverter convert = Converter(format);
    if (!convert || bpp == 0 || width <= 0 || height <= 0 || stride < qsizetype(width) * bpp) return {};
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull()) return {};
    convert(data, bpp, stride, yInvert, out);
    return out;
}

QImage ApplyOutputTransform(const QImage& buffer, uint32_t transform) {
    // The compositor flips (the flipped values) and then turns counter-clockwise to show the
    // picture; undoing it turns clockwise, then flips.
    constexpr uint32_t kFlipped = 4;
    const int quarterTurns = transform % 4;
    QImage shown = quarterTurns == 0 ? buffer : buffer.transformed(QTransform().rotate(90.0 * quarterTurns));
    if (transform & kFlipped) shown = shown.mirrored(true, false);
    return shown;
}

} // namespace quelm::wayland
