// The rules that turn a compositor's shared-memory pixels into pictures, and the cutting of a
// portal's whole-desktop picture into outputs: no display needed.
#include "platform/wayland/portal_screenshot.h"
#include "platform/wayland/shm_pixels.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

using namespace quelm::wayland;

namespace {

// Channels that 565 keeps exactly (5 or 6 high bits repeated into the low ones), all different.
constexpr uint32_t kColours[] = {0xff2141c6, 0xffc68242, 0xff00ff00, 0xff0000ff, 0xffff0000, 0xff84c321};

// One pixel of rgb in `format`, as the bytes the compositor writes (little-endian layouts);
// alpha or padding bytes are zero, so a reader that keeps them shows it.
std::vector<uchar> Encode(uint32_t format, uint32_t rgb) {
    const uchar r = rgb >> 16, g = rgb >> 8, b = rgb;
    auto le32 = [](uint32_t w) { return std::vector<uchar>{uchar(w), uchar(w >> 8), uchar(w >> 16), uchar(w >> 24)}; };
    switch (format) {
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ARGB8888: return {b, g, r, 0};
    case WL_SHM_FORMAT_XBGR8888:
    case WL_SHM_FORMAT_ABGR8888: return {r, g, b, 0};
    case WL_SHM_FORMAT_RGBX8888: return {0, b, g, r};
    case WL_SHM_FORMAT_BGRX8888: return {0, r, g, b};
    case WL_SHM_FORMAT_XRGB2101010: return le32(uint32_t(r) << 22 | uint32_t(g) << 12 | uint32_t(b) << 2);
    case WL_SHM_FORMAT_ABGR2101010: return le32(uint32_t(b) << 22 | uint32_t(g) << 12 | uint32_t(r) << 2);
    case WL_SHM_FORMAT_RGB888: return {b, g, r};
    case WL_SHM_FORMAT_BGR888: return {r, g, b};
    case WL_SHM_FORMAT_RGB565: {
        const uint16_t w = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        return {uchar(w), uchar(w >> 8)};
    }
    }
    return {};
}

// A 3x2 buffer of kColours, rows padded past their pixels with 0xee bytes.
std::vector<uchar> Buffer(uint32_t format, int stride, bool bottomFirst) {
    std::vector<uchar> bytes(size_t(stride) * 2, 0xee);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const auto pixel = Encode(format, kColours[y * 3 + x]);
            std::copy(pixel.begin(), pixel.end(),
                      bytes.begin() + (bottomFirst ? 1 - y : y) * stride + x * pixel.size());
        }
    }
    return bytes;
}

} // namespace

TEST(ShmPixels, EveryFormatReadsToTheSameColoursWhateverTheStrideAndRowOrder) {
    for (uint32_t format :
         {WL_SHM_FORMAT_XRGB8888, WL_SHM_FORMAT_ARGB8888, WL_SHM_FORMAT_XBGR8888, WL_SHM_FORMAT_ABGR8888,
          WL_SHM_FORMAT_RGBX8888, WL_SHM_FORMAT_BGRX8888, WL_SHM_FORMAT_XRGB2101010, WL_SHM_FORMAT_ABGR2101010,
          WL_SHM_FORMAT_RGB888, WL_SHM_FORMAT_BGR888, WL_SHM_FORMAT_RGB565}) {
        const int bpp = ShmBytesPerPixel(format);
        ASSERT_EQ(size_t(bpp), Encode(format, 0).size()) << std::hex << format;
        for (bool yInvert : {false, true}) {
            const int stride = 3 * bpp + 7; // padded and odd, as a compositor may give
            const auto bytes = Buffer(format, stride, yInvert);
            const QImage image = ImageFromShm(bytes.data(), format, 3, 2, stride, yInvert);
            ASSERT_EQ(image.size(), QSize(3, 2));
            ASSERT_EQ(image.format(), QImage::Format_RGB32);
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(image.pixel(i % 3, i / 3), kColours[i]) << std::hex << "format " << format << " pixel " << i;
        }
    }
}

TEST(ShmPixels, UnknownFormatsAndShortStridesAreRefused) {
    const std::vector<uchar> bytes(64, 0);
    EXPECT_EQ(ShmBytesPerPixel(WL_SHM_FORMAT_YUYV), 0);
    EXPECT_TRUE(ImageFromShm(bytes.data(), WL_SHM_FORMAT_YUYV, 2, 2, 8, false).isNull());
    EXPECT_TRUE(ImageFromShm(bytes.data(), WL_SHM_FORMAT_XRGB8888, 4, 2, 15, false).isNull());
    EXPECT_TRUE(ImageFromShm(bytes.data(), WL_SHM_FORMAT_XRGB8888, 0, 2, 16, false).isNull());

    EXPECT_EQ(PreferredShmFormat({WL_SHM_FORMAT_RGB565, WL_SHM_FORMAT_YUYV, WL_SHM_FORMAT_XBGR8888}),
              WL_SHM_FORMAT_XBGR8888);
    EXPECT_EQ(PreferredShmFormat({WL_SHM_FORMAT_YUYV, WL_SHM_FORMAT_RGB565}), WL_SHM_FORMAT_RGB565);
    EXPECT_FALSE(PreferredShmFormat({WL_SHM_FORMAT_YUYV, WL_SHM_FORMAT_NV12}).has_value());
}

TEST(ShmPixels, OutputTransformsAreUndone) {
    // A buffer A B / C D. The compositor shows it flipped left to right (for the flipped
    // values), then turned counter-clockwise; the user sees the picture from before that.
    const QRgb a = 0xff0000ff, b = 0xffff0000, c = 0xff00ff00, d = 0xffffffff;
    QImage buffer(2, 2, QImage::Format_RGB32);
    buffer.setPixel(0, 0, a), buffer.setPixel(1, 0, b), buffer.setPixel(0, 1, c), buffer.setPixel(1, 1, d);
    const std::pair<QRgb, QRgb> topRow[] = {{a, b}, {c, a}, {d, c}, {b, d}, {b, a}, {a, c}, {c, d}, {d, b}};
    for (uint32_t t = WL_OUTPUT_TRANSFORM_NORMAL; t <= WL_OUTPUT_TRANSFORM_FLIPPED_270; ++t) {
        const QImage shown = ApplyOutputTransform(buffer, t);
        ASSERT_EQ(shown.size(), QSize(2, 2));
        EXPECT_EQ(std::pair(shown.pixel(0, 0), shown.pixel(1, 0)), topRow[t]) << "transform " << t;
    }
    QImage wide(3, 2, QImage::Format_RGB32);
    EXPECT_EQ(ApplyOutputTransform(wide, WL_OUTPUT_TRANSFORM_FLIPPED_270).size(), QSize(2, 3));
}

TEST(PortalCut, DesktopPictureIsCutByLogicalAreasAtItsOwnScale) {
    // Two outputs side by side, the second lower; the picture is in device pixels at 2x.
    const std::vector<OutputPicture> layout{{"A", QRect(0, 0, 100, 50), 1, {}}, {"B", QRect(100, 20, 50, 30), 1, {}}};
    QImage desktop(300, 100, QImage::Format_ARGB32);
    desktop.fill(Qt::black);
    for (int y = 0; y < 100; ++y) desktop.setPixel(199, y, 0xffff0000);  // A's last column
    for (int y = 40; y < 100; ++y) desktop.setPixel(200, y, 0xff00ff00); // B's first column

    const auto cut = CutIntoOutputs(desktop, layout);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].image.size(), QSize(200, 100));
    EXPECT_EQ(cut[0].image.pixel(199, 0), 0xffff0000);
    EXPECT_EQ(std::tuple(cut[1].name, cut[1].area, cut[1].scale), std::tuple("B", QRect(100, 20, 50, 30), 2.0));
    EXPECT_EQ(cut[1].image.size(), QSize(100, 60));
    EXPECT_EQ(cut[1].image.pixel(0, 0), 0xff00ff00);
    EXPECT_EQ(cut[1].image.format(), QImage::Format_RGB32);

    // A picture of another shape than the layout, or no layout: the whole picture, as is.
    for (const auto& other :
         {std::vector<OutputPicture>{{"A", QRect(0, 0, 100, 100), 1, {}}}, std::vector<OutputPicture>{}}) {
        const auto whole = CutIntoOutputs(desktop, other);
        ASSERT_EQ(whole.size(), 1u);
        EXPECT_EQ(std::tuple(whole[0].name, whole[0].area), std::tuple("", QRect(0, 0, 300, 100)));
        EXPECT_EQ(whole[0].image.size(), desktop.size());
    }
}

TEST(OutputOf, AScreenFindsItsOutputByNameElseByItsLogicalElseItsDevicePlace) {
    // A at 2x (its picture 200x100 pixels) left of B; an output without a picture is never one.
    const QImage a(200, 100, QImage::Format_RGB32), b(50, 30, QImage::Format_RGB32);
    DesktopCapture c;
    c.outputs = {{"A", QRect(0, 0, 100, 50), 2, a}, {"B", QRect(100, 0, 50, 30), 1, b}, {"", {}, 1, {}}};
    const QRect none(5000, 0, 1, 1);
    EXPECT_EQ(OutputOf(c, "B", none, none), &c.outputs[1]);
    EXPECT_EQ(OutputOf(c, "XWAYLAND0", QRect(100, 0, 50, 30), none), &c.outputs[1]); // Xwayland's names
    EXPECT_EQ(OutputOf(c, "", none, QRect(0, 0, 200, 100)), &c.outputs[0]);          // Qt's pixels at 2x
    EXPECT_EQ(OutputOf(c, "", QRect(0, 0, 200, 100), QRect(0, 0, 400, 200)), nullptr);
    EXPECT_EQ(OutputOf(c, "C", {}, {}), nullptr);
}
