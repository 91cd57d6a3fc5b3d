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
    for (auto [at, value] : {std::pair{6, width},
                             {8, height},
                             {24, frameWidth ? frameWidth : width},
                             {26, frameHeight ? frameHeight : height}})
        qToLittleEndian(uint16_t(value), gif.data() + at);
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

TEST(PictureLoading, IsMeasuredByItsDecoderAndRefusedWhenDamagedOrTooLarge) {
    QTemporaryDir dir;
    const QImage pattern = Pattern(64, 48, 4);
    const QByteArray bmp = Encoded(pattern, "BMP"), jpeg = Encoded(pattern, "JPEG"), gif = Gif(300, 200);
    const auto read = [&](const QByteArray& bytes) {
        return pictures::ReadPictureFile(Write(dir, "p", bytes).toStdString());
    };
    const auto load = [&](const QByteArray& bytes) {
        return pictures::LoadPictureFile(Write(dir, "p", bytes).toStdString());
    };
    EXPECT_EQ(load(bmp), pattern);
    EXPECT_TRUE(load(jpeg).size() == pattern.size() && load(gif).size() == QSize(300, 200));
    // An RLE8 bitmap of 30000 x 30000 that ends at once: 60 bytes that would decode to 3.6 GB.
    QByteArray bomb = Encoded(QImage(16, 16, QImage::Format_Indexed8), "BMP");
    for (int at : {18, 22}) qToLittleEndian(uint32_t(30000), bomb.data() + at); // width, height
    qToLittleEndian(uint32_t(1), bomb.data() + 30);                             // RLE8
    bomb = bomb.left(qFromLittleEndian<uint32_t>(bomb.constData() + 10)) + QByteArray("\0\1", 2);
    qToLittleEndian(uint32_t(bomb.size()), bomb.data() + 2);
    QByteArray hugeJpeg = jpeg, lowPixels = bmp; // 30000 x 30000 in the frame header; pixels from byte 20
    const qsizetype frame = hugeJpeg.indexOf("\xFF\xC0"),
                    frameBytes = qFromBigEndian<uint16_t>(jpeg.constData() + frame + 2) + 2;
    for (int at : {5, 7}) qToBigEndian(uint16_t(30000), hugeJpeg.data() + frame + at);
    qToLittleEndian(uint32_t(20), lowPixels.data() + 10);
    for (const QByteArray& bad : {bmp.left(bmp.size() * 6 / 10), bmp.chopped(1), jpeg.chopped(2), gif.chopped(2),
                                  bmp.left(20), QByteArray("BM this is a letter, not a bitmap"), QByteArray(),
                                  Encoded(pattern, "PNG"), hugeJpeg, Gif(30000, 30000), Gif(10000, 10001), bomb,
                                  lowPixels, jpeg.left(2) + '\0' + jpeg.mid(2), Gif(9999, 9999, 16, 12)})
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
