// The six wall files from the desktop and from the user's pictures, and picture loading's
// answer to bad input.
#include "platform/pictures/picture_decoding.h"
#include "platform/pictures/texture_fitting.h"
#include "platform/x11/screenshot.h"
#include "render/wall_pictures.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

namespace quelm {
namespace {
namespace fs = std::filesystem;

constexpr int kNoShrinking = 1 << 14; // a texture side no picture here reaches

QImage Pattern(int width, int height, int seed) { // no symmetry, different for each seed
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 40) & 255, (y * 3 + seed * 90) & 255, (x * y + seed) & 255));
    return image;
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A GIF of `width` x `height` whose first image (the whole by default) holds one pixel of
// data (Qt writes no GIF).
QByteArray Gif(int width, int height, int frameWidth = 0, int frameHeight = 0) {
    QByteArray gif("GIF89a\0\0\0\0\x80\0\0\xff\0\0\0\0\0\x2c\0\0\0\0\0\0\0\0\0\x02\x02\x44\x01\0\x3b", 35);
    const auto put = [&](int at, int value) { qToLittleEndian(uint16_t(value), gif.data() + at); };
    put(6, width), put(8, height);
    put(24, frameWidth ? frameWidth : width), put(26, frameHeight ? frameHeight : height); // the first image
    return gif;
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return file.fileName();
}

// The folder holds the six wall files and nothing else, each a Windows bitmap showing
// picture[source[wall]], wall 5 mirrored.
void ExpectSixBitmaps(const fs::path& folder, const QImage* picture, const std::array<int, kWallCount + 1>& source) {
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), kWallCount);
    for (int wall = 1; wall <= kWallCount; ++wall) {
        QFile file(WallFile(folder, wall));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.read(2) == "BM") << wall;
        EXPECT_EQ(QImage(WallFile(folder, wall).c_str()).convertToFormat(QImage::Format_RGB32),
                  picture[source[wall]].mirrored(wall == 5, false))
            << wall;
    }
}

TEST(CaptureDesktopWalls, WritesTheScreenFiveTimesAndItsMirrorOnce) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage pattern = Pattern(screen->size().width(), screen->size().height(), 3);
    struct Desktop : QRasterWindow { // a known picture over the whole screen
        QImage shown;
        void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, shown); }
    } desktop;
    desktop.shown = pattern;
    desktop.setFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    desktop.setGeometry(screen->geometry());
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
    QTRY_VERIFY_WITH_TIMEOUT(screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) == pattern, 10000);
    // Read over our own connection, through shared memory where the server offers it.
    EXPECT_EQ(x11::RootScreenshot(screen->geometry()), pattern);

    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    CaptureDesktopWalls(folder, nullptr, kNoShrinking, Settings{});
    ExpectSixBitmaps(folder, &pattern, {});
}

TEST(UserWalls, EachWallKeepsItsOwnPictureOrShowsThePreviousWalls) {
    // Damaged: wall 1 cut short (nothing before it: the surface's first content, one black pixel),
    // wall 3 not a picture (wall 2's), wall 5 declaring 30000 x 30000 (wall 6's: 5 loads last).
    for (const bool damaged : {false, true}) {
        QTemporaryDir walls, pictures;
        Settings settings;
        settings.PicKind = kPicFiles;
        std::array<QImage, kWallCount + 1> picture{QImage(1, 1, QImage::Format_RGB32)};
        picture[0].fill(Qt::black);
        for (int wall = 1; wall <= kWallCount; ++wall) {
            picture[wall] = Pattern(20 + 7 * wall, 10 + 3 * wall, wall);
            settings.PicPath[wall] =
                Write(pictures, QStringLiteral("p%1.bmp").arg(wall), Encoded(picture[wall], "BMP"));
        }
        // Walls 2 and 5 a colour JPEG, decoded by rows: its pixels are those of Qt's decoder.
        settings.PicPath[2] = settings.PicPath[5] = Write(pictures, "p2.jpg", Encoded(picture[2], "JPEG"));
        picture[2] = picture[5] = QImage(settings.PicPath[2]).convertToFormat(QImage::Format_RGB32);
        if (damaged) {
            settings.PicPath[1] = Write(pictures, "cut.bmp", Encoded(picture[1], "BMP").chopped(1));
            settings.PicPath[3] = Write(pictures, "letter.bmp", "BM this is a letter, not a bitmap");
            settings.PicPath[5] = Write(pictures, "huge.gif", Gif(30000, 30000));
        }
        Write(walls, "Quib4.bmp", "an older wall file");
        PrepareUserWalls(settings, walls.path().toStdString(), kNoShrinking);
        SCOPED_TRACE(damaged);
        ExpectSixBitmaps(walls.path().toStdString(), picture.data(),
                         damaged ? std::array{0, 0, 2, 2, 4, 6, 6} : std::array{0, 1, 2, 3, 4, 5, 6});
    }
}

// A capture that yields nothing (none, or one colour under a daemon) gives way to the user's
// six pictures when all are set, else to the picture the program carries; with no folder the
// walls are made in memory only.
TEST(DesktopWalls, ACaptureThatYieldsNothingGivesWayToTheChosenPicturesOrTheCarriedOne) {
    QImage black(64, 48, QImage::Format_RGB32), busy = Pattern(64, 48, 5);
    black.fill(Qt::black);
    EXPECT_TRUE(CaptureYieldsNothing(QImage(), false));
    EXPECT_FALSE(CaptureYieldsNothing(black, false)) << "a black desktop that was read is a desktop";
    EXPECT_TRUE(CaptureYieldsNothing(black, true));
    EXPECT_FALSE(CaptureYieldsNothing(busy, true));

    QTemporaryDir pictures;
    Settings six;
    for (int wall = 1; wall <= kWallCount; ++wall)
        six.PicPath[wall] = Write(pictures, QStringLiteral("p%1.bmp").arg(wall), Encoded(Pattern(8, 8, wall), "BMP"));
    Settings five = six;
    five.PicPath[4].clear();
    QFile carriedFile(":/preview.jpg");
    ASSERT_TRUE(carriedFile.open(QIODevice::ReadOnly));
    const QImage carried = pictures::LoadPicture(carriedFile.readAll());
    QTemporaryDir here; // where a wall file written without a folder would land
    ASSERT_TRUE(QDir::setCurrent(here.path()));
    for (const auto& [settings, expected] : {std::pair{&six, Pattern(8, 8, 3)}, std::pair{&five, carried}}) {
        QTemporaryDir walls;
        DesktopWalls(walls.path().toStdString(), black, black.size(), kNoShrinking, *settings, true);
        EXPECT_EQ(QImage(WallFile(walls.path().toStdString(), 3).c_str()).convertToFormat(QImage::Format_RGB32),
                  expected);
        const WallTextures inMemory = DesktopWalls({}, QImage(), black.size(), kNoShrinking, *settings, false);
        for (int wall = 1; wall <= kWallCount; ++wall) EXPECT_TRUE(inMemory.wall[wall].Made()) << wall;
    }
    EXPECT_TRUE(QDir(here.path()).isEmpty());
}

// An 8-bit run-length bitmap (RLE8) of `width` x `height` with colour table `palette`
// and pixel data `rle`.
QByteArray Rle8Bitmap(int width, int height, const std::vector<QRgb>& palette, const QByteArray& rle) {
    QByteArray bmp(54, '\0');
    for (QRgb c : palette) bmp.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    const int dataStart = int(bmp.size());
    bmp += rle;
    bmp[0] = 'B', bmp[1] = 'M';
    const auto put = [&](int at, int value) { qToLittleEndian(uint32_t(value), bmp.data() + at); };
    put(2, int(bmp.size())), put(10, dataStart), put(14, 40), put(18, width), put(22, height);
    put(26, 1 | 8 << 16), put(30, 1), put(34, int(rle.size())), put(46, int(palette.size())); // 26: 1 plane, 8 bits
    return bmp;
}

TEST(PictureLoading, IsMeasuredByItsDecoderAndRefusedWhenDamagedOrTooLarge) {
    QTemporaryDir dir;
    const QImage pattern = Pattern(64, 48, 4);
    const QByteArray bmp = Encoded(pattern, "BMP"), jpeg = Encoded(pattern, "JPEG"), gif = Gif(300, 200);
    const auto file = [&](const QByteArray& bytes) { return Write(dir, "p", bytes).toStdString(); };
    const auto read = [&](const QByteArray& bytes) { return pictures::ReadPictureFile(file(bytes)); };
    EXPECT_EQ(pictures::LoadPictureFile(file(bmp)), pattern);
    EXPECT_EQ(pictures::LoadPictureFile(file(jpeg)).size(), pattern.size());
    EXPECT_EQ(pictures::LoadPictureFile(file(gif)).size(), QSize(300, 200));
    QByteArray hugeJpeg = jpeg, lowPixels = bmp; // 30000 x 30000 in the frame header; pixels from byte 20
    const qsizetype frame = hugeJpeg.indexOf("\xFF\xC0"),
                    frameBytes = qFromBigEndian<uint16_t>(jpeg.constData() + frame + 2) + 2;
    for (int at : {5, 7}) qToBigEndian(uint16_t(30000), hugeJpeg.data() + frame + at);
    qToLittleEndian(uint32_t(20), lowPixels.data() + 10);
    for (const QByteArray& bad :
         {bmp.left(bmp.size() * 6 / 10), bmp.chopped(1), jpeg.chopped(2), gif.chopped(2), bmp.left(20),
          QByteArray("BM this is a letter, not a bitmap"), QByteArray(), Encoded(pattern, "PNG"), hugeJpeg,
          Gif(30000, 30000), Gif(10000, 10001), lowPixels, jpeg.left(2) + '\0' + jpeg.mid(2), Gif(9999, 9999, 16, 12),
          // An RLE8 bitmap that ends at once: 60 bytes that would decode to 3.6 GB.
          Rle8Bitmap(30000, 30000, {0}, QByteArray("\0\1", 2))})
        EXPECT_FALSE(read(bad)) << bad.left(16).toHex().toStdString();
    EXPECT_FALSE(pictures::ReadPictureFile(dir.filePath("missing.bmp").toStdString()));

    // 9999 x 9999 in a frame header that a walk taking FF 00 for a segment skips, while the
    // decoder skips the pair and reads it; an APP0 segment then hides the real 64 x 48 one.
    QByteArray big = hugeJpeg.mid(frame, frameBytes), hide("\xFF\0\0\0", 4), app0("\xFF\xE0\0\0", 4);
    for (int at : {5, 7}) qToBigEndian(uint16_t(9999), big.data() + at);
    qToBigEndian(uint16_t(2 + big.size() + app0.size()), hide.data() + 2);
    qToBigEndian(uint16_t(2 + frameBytes), app0.data() + 2);
    const auto disguised = read(jpeg.left(frame) + hide + big + app0 + jpeg.mid(frame));
    EXPECT_EQ(disguised ? disguised->size : QSize(), QSize(9999, 9999));
}

// The whole decoding (null when refused); the decoding by rows gives the same pixels and density.
QImage DecodedBothWays(const QByteArray& bytes) {
    const auto file = pictures::CheckPicture(bytes);
    if (!file) return {};
    QImage rows(file->size, QImage::Format_RGB32);
    pictures::PictureDensity density;
    EXPECT_TRUE(pictures::DecodePictureRows(
        *file, [&](pictures::PictureDensity d) { density = d; },
        [&](int y, const QRgb* row) { std::copy_n(row, rows.width(), reinterpret_cast<QRgb*>(rows.scanLine(y))); }));
    const QImage whole = pictures::DecodePicture(*file);
    EXPECT_EQ(rows, whole);
    EXPECT_EQ(std::pair(density.dotsPerMeterX, density.dotsPerMeterY),
              std::pair(whole.dotsPerMeterX(), whole.dotsPerMeterY()));
    return whole;
}

// A colour JPEG is decoded by rows with a decoder of its own: its density is Qt's, also where
// the JFIF header gives a density of 0 (Qt keeps a new image's).
TEST(PictureLoading, ARowDecodedJpegCarriesQtsDensity) {
    const QByteArray jpeg = Encoded(Pattern(16, 8, 5), "JPEG");
    ASSERT_TRUE(jpeg.mid(6, 4) == "JFIF");
    for (const auto& [unit, x, y] : {std::tuple{1, 0, 300}, {2, 40, 0}, {1, 72, 96}}) {
        QByteArray dense = jpeg;
        dense[13] = char(unit);
        qToBigEndian(uint16_t(x), dense.data() + 14);
        qToBigEndian(uint16_t(y), dense.data() + 16);
        SCOPED_TRACE(testing::Message() << unit << " " << x << " " << y);
        EXPECT_FALSE(DecodedBothWays(dense).isNull());
    }
}

// Pixels that a file leaves unwritten are black, whatever its colour tables hold, and the
// same in every decoding. A run-length stream may end early, end lines early or jump; a GIF's
// first image may cover only part of its screen.
TEST(PictureLoading, PixelsThatTheFileLeavesUnwrittenAreBlack) {
    const QRgb o = qRgb(0, 0, 0), r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), white = qRgb(255, 255, 255);
    // Bottom row: two pixels of colour 1; a jump one right and one up; one pixel of colour 2; the end.
    const QByteArray stream("\x02\x01\x00\x02\x01\x01\x01\x02\x00\x01", 10);
    std::vector<QRgb> full(256, qRgb(128, 128, 128));
    full[0] = white, full[1] = r, full[2] = g;
    const std::vector<QRgb> expected{o, o, o, o, o, o, o, g, r, r, o, o};
    for (const auto& palette : {std::vector<QRgb>{white, r, g}, full}) {
        SCOPED_TRACE(palette.size());
        const QImage whole = DecodedBothWays(Rle8Bitmap(4, 3, palette, stream));
        ASSERT_EQ(whole.size(), QSize(4, 3));
        for (int i = 0; i < 12; ++i) EXPECT_EQ(whole.pixel(i % 4, i / 4), expected[size_t(i)]) << i;
    }
    // RLE4, 4 x 12803, found by fuzzing: its stream writes only the bottom three rows.
    const QImage whole = DecodedBothWays(QByteArray::fromHex(
        "424d84000000000000007600000028000000040000000332000001000400020000000e0000039ef4ff00130b00001000000000"
        "00000000ff000010ef070020df0e0035cf150040bf1c1050af000000040000000300000001000400020000000e0000039ef485"
        "ff00130b0000100000000000000000ff2300609f2a00708f3200807f3800906f3f00a05f4600b04f4d00e01f6200f00f690004"
        "12000000043456474946383961000003770001"));
    ASSERT_EQ(whole.size(), QSize(4, 12803));
    QImage black(4, 12800, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(whole.copy(0, 0, 4, 12800), black);

    // A 4 x 2 screen with a white table; its first image, 2 x 1 at the top left, has a table of
    // its own (green, blue) and the pixels 0, 1.
    const QImage gif = DecodedBothWays(QByteArray("GIF89a\4\0\2\0\x80\0\0\xff\xff\xff\xff\xff\xff"
                                                  "\x2c\0\0\0\0\2\0\1\0\x80\0\xff\0\0\0\xff\x02\x02\x44\x0a\0\x3b",
                                                  41));
    ASSERT_EQ(gif.size(), QSize(4, 2));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(gif.pixel(i % 4, i / 4), i == 0 ? g : i == 1 ? qRgb(0, 0, 255) : o) << i;
}

TEST(PictureShrinking, AveragesWhatLiesUnderEachPixel) {
    // 3 x 3 into 2 x 2: the middle row and column lie half under each side.
    QImage picture(3, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) picture.setPixel(x, y, qRgb(90 * x, 90 * y, 200));
    const QImage shrunk = pictures::Shrink(picture, QSize(2, 2));
    for (const auto& [x, y, red, green] :
         {std::tuple{0, 0, 30, 30}, {1, 0, 150, 30}, {0, 1, 30, 150}, {1, 1, 150, 150}})
        EXPECT_EQ(shrunk.pixel(x, y), qRgb(red, green, 200)) << x << y;
    EXPECT_EQ(pictures::TextureSize(QSize(4000, 3000), 1024), QSize(1024, 1024));
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
