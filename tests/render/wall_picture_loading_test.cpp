// Picture loading refuses what it cannot load safely; the picture surface draws as a
// picture box does.
#include "platform/picture_loading.h"
#include "platform/picture_surface.h"
#include "wall_test_pictures.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace quelm {
namespace {
namespace fs = std::filesystem;
using test::Encoded;

class PictureLoading : public ::testing::Test {
protected:
    fs::path Write(const std::string& name, const QByteArray& bytes) {
        const fs::path file = fs::path(dir_.path().toStdString()) / name;
        test::WriteBytes(file, bytes);
        return file;
    }
    QTemporaryDir dir_;
};

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void PutU32(QByteArray& bytes, int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i) & 255);
}

TEST_F(PictureLoading, ReadsBmpJpegAndGifAsTheyAre) {
    const QImage pattern = test::WallPattern(37, 23, 1);
    EXPECT_EQ(picture::LoadPictureFile(Write("a.bmp", Encoded(pattern, "BMP"))), pattern);

    const QImage indexed = test::IndexedPattern(41, 19, 2);
    EXPECT_EQ(picture::LoadPictureFile(Write("b.gif", test::GifBytes(indexed))),
              indexed.convertToFormat(QImage::Format_RGB32));

    const QByteArray jpeg = Encoded(pattern, "JPEG");
    const QImage jpegPixels = picture::LoadPictureFile(Write("c.jpg", jpeg));
    EXPECT_EQ(jpegPixels, QImage::fromData(jpeg).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(jpegPixels.size(), pattern.size());
}

TEST_F(PictureLoading, FormatIsToldByContentNotByName) {
    const QImage pattern = test::WallPattern(8, 8, 3);
    EXPECT_EQ(picture::LoadPictureFile(Write("really-a-bmp.jpg", Encoded(pattern, "BMP"))), pattern);
    EXPECT_TRUE(picture::LoadPictureFile(Write("a-png.bmp", Encoded(pattern, "PNG"))).isNull());
}

TEST_F(PictureLoading, FilesCutShortCannotBeLoaded) {
    const QImage pattern = test::WallPattern(64, 48, 4);
    const QByteArray bmp = Encoded(pattern, "BMP");
    const QByteArray jpeg = Encoded(pattern, "JPEG");
    const QByteArray gif = test::GifBytes(test::IndexedPattern(64, 48, 4));
    for (const QByteArray* whole : {&bmp, &jpeg, &gif}) {
        EXPECT_FALSE(picture::LoadPictureFile(Write("whole", *whole)).isNull());
        EXPECT_TRUE(picture::LoadPictureFile(Write("half", whole->left(whole->size() * 6 / 10))).isNull());
        EXPECT_TRUE(picture::LoadPictureFile(Write("header", whole->left(20))).isNull());
    }
    EXPECT_TRUE(picture::LoadPictureFile(Write("bmp-1", bmp.chopped(1))).isNull());
    EXPECT_TRUE(picture::LoadPictureFile(Write("jpeg-no-end", jpeg.chopped(2))).isNull());
    EXPECT_TRUE(picture::LoadPictureFile(Write("gif-no-end", gif.chopped(2))).isNull());
    // Past the first image's last block only the trailer is missing: the picture is whole.
    EXPECT_FALSE(picture::LoadPictureFile(Write("gif-no-trailer", gif.chopped(1))).isNull());
}

TEST_F(PictureLoading, FilesThatAreNoPictureCannotBeLoaded) {
    EXPECT_TRUE(picture::LoadPictureFile(Write("text.bmp", "BM this is a letter, not a bitmap")).isNull());
    EXPECT_TRUE(picture::LoadPictureFile(Write("empty.gif", "")).isNull());
    EXPECT_TRUE(picture::LoadPictureFile(Write("noise.jpg", QByteArray(5000, '\xFF'))).isNull());
    EXPECT_TRUE(picture::LoadPictureFile(fs::path(dir_.path().toStdString()) / "missing.bmp").isNull());
    EXPECT_TRUE(picture::LoadPictureFile(fs::path(dir_.path().toStdString())).isNull());
    EXPECT_TRUE(picture::LoadPictureFile("/dev/zero").isNull());
}

TEST_F(PictureLoading, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    const long peakBefore = PeakResidentKiB();
    const QImage pattern = test::WallPattern(16, 16, 5);

    QByteArray bmp = Encoded(pattern, "BMP");
    PutU32(bmp, 18, 30000);
    PutU32(bmp, 22, 30000);
    EXPECT_TRUE(picture::LoadPictureFile(Write("huge.bmp", bmp)).isNull());

    // An RLE8 bitmap of 30000 × 30000 that ends at once: 60 bytes that would decode to 3.6 GB.
    QByteArray rle = Encoded(test::IndexedPattern(16, 16, 5), "BMP");
    PutU32(rle, 18, 30000);
    PutU32(rle, 22, 30000);
    PutU32(rle, 30, 1);
    rle.truncate(int(qFromLittleEndian<uint32_t>(rle.constData() + 10)));
    rle.append("\0\1", 2);
    PutU32(rle, 2, uint32_t(rle.size()));
    EXPECT_TRUE(picture::LoadPictureFile(Write("bomb.bmp", rle)).isNull());

    QByteArray jpeg = Encoded(pattern, "JPEG"); // the frame header's height and width
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    for (int at : {5, 7}) { jpeg[sof + at] = char(30000 >> 8); jpeg[sof + at + 1] = char(30000 & 255); }
    EXPECT_TRUE(picture::LoadPictureFile(Write("huge.jpg", jpeg)).isNull());

    EXPECT_TRUE(picture::LoadPictureFile(Write("huge.gif", test::GifDeclaring(30000, 30000))).isNull());
    // Just above the limit, and just inside it in the same form.
    EXPECT_TRUE(picture::LoadPictureFile(Write("over.gif", test::GifDeclaring(10000, 10001))).isNull());
    EXPECT_FALSE(picture::LoadPictureFile(Write("small.gif", test::GifDeclaring(300, 200))).isNull());

    EXPECT_LT(PeakResidentKiB() - peakBefore, 64 * 1024) << "KiB more at peak";
}

// Damaged files of every kind: each either loads within the limits or cannot be loaded.
TEST_F(PictureLoading, DamagedFilesNeverCrashTheLoader) {
    const QImage pattern = test::WallPattern(64, 48, 6);
    const QByteArray seeds[] = {Encoded(pattern, "BMP"), Encoded(test::IndexedPattern(64, 48, 6), "BMP"),
                                Encoded(pattern, "JPEG"), test::GifBytes(test::IndexedPattern(64, 48, 6))};
    std::mt19937 random(7);
    int loaded = 0;
    constexpr int kVariants = 1200;
    for (int i = 0; i < kVariants; ++i) {
        QByteArray bytes = seeds[i % 4];
        for (int flips = int(random() % 8); flips > 0; --flips) bytes[random() % bytes.size()] = char(random());
        if (random() % 3 == 0) bytes.truncate(random() % bytes.size());
        const QImage image = picture::LoadPictureFile(Write("damaged", bytes));
        if (image.isNull()) continue;
        ++loaded;
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_LE(int64_t(image.width()) * image.height(), picture::kMaxPicturePixels);
    }
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, kVariants);
}

class Surface : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    fs::path Path(const char* name) { return fs::path(dir_.path().toStdString()) / name; }
};

TEST_F(Surface, StartsAsOneBlackPixel) {
    PictureSurface surface;
    EXPECT_EQ(surface.Width(), 1);
    EXPECT_EQ(surface.Height(), 1);
    EXPECT_EQ(surface.Image().pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(Surface, NegativeWidthMirrorsAndShrinkingDropsColumns) {
    const QImage source = test::WallPattern(8, 3, 6);
    PictureSurface surface;
    surface.SetSize(8, 3);
    surface.StretchBlt(8, 0, -8, 3, source, 0, 0, 8, 3);
    EXPECT_EQ(surface.Image(), source.mirrored(true, false));

    PictureSurface half;
    half.SetSize(4, 3);
    half.StretchBlt(4, 0, -4, 3, source, 0, 0, 8, 3); // every other column, mirrored
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(half.Image().pixel(x, y), source.pixel(7 - 2 * x, y)) << x << "," << y;

    PictureSurface upsideDown;
    upsideDown.SetSize(8, 3);
    upsideDown.StretchBlt(0, 3, 8, -3, source, 0, 0, 8, 3);
    EXPECT_EQ(upsideDown.Image(), source.mirrored(false, true));
}

TEST_F(Surface, LoadingWithoutAutoSizeDrawsAtTheCornerClipped) {
    const QImage tall = test::WallPattern(2, 6, 7);
    test::WriteBytes(Path("tall.bmp"), Encoded(tall, "BMP"));
    PictureSurface surface;
    surface.SetSize(4, 4);
    ASSERT_TRUE(surface.LoadPicture(Path("tall.bmp")));
    EXPECT_EQ(surface.Width(), 4);
    EXPECT_EQ(surface.Height(), 4);
    EXPECT_EQ(surface.Image().copy(0, 0, 2, 4), tall.copy(0, 0, 2, 4));
    EXPECT_EQ(surface.Image().pixel(3, 3), qRgb(0, 0, 0));

    surface.SetAutoSize(true);
    ASSERT_TRUE(surface.LoadPicture(Path("tall.bmp")));
    EXPECT_EQ(surface.Image(), tall);
}

TEST_F(Surface, PictureThatCannotBeLoadedLeavesTheSurfaceAsItWas) {
    const QImage before = test::WallPattern(5, 5, 8);
    test::WriteBytes(Path("p.bmp"), Encoded(before, "BMP"));
    test::WriteBytes(Path("cut.bmp"), Encoded(test::WallPattern(9, 9, 8), "BMP").left(100));
    PictureSurface surface;
    surface.SetAutoSize(true);
    ASSERT_TRUE(surface.LoadPicture(Path("p.bmp")));
    EXPECT_FALSE(surface.LoadPicture(Path("cut.bmp")));
    EXPECT_EQ(surface.Image(), before);
}

TEST_F(Surface, SavesA24BitWindowsBitmapWholeOrNotAtAll) {
    const QImage picture = test::WallPattern(13, 7, 9);
    PictureSurface surface;
    surface.SetAutoSize(true);
    surface.ShowPicture(picture);
    ASSERT_TRUE(surface.SaveBitmap(Path("out.bmp")));
    const QByteArray bytes = test::FileBytes(Path("out.bmp"));
    ASSERT_GE(bytes.size(), 54);
    EXPECT_TRUE(bytes.startsWith("BM"));
    EXPECT_EQ(qFromLittleEndian<uint16_t>(bytes.constData() + 28), 24);
    EXPECT_EQ(qFromLittleEndian<uint32_t>(bytes.constData() + 30), 0u); // uncompressed
    EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32), picture);

    EXPECT_FALSE(surface.SaveBitmap(Path("no-such-folder") / "out.bmp"));
    EXPECT_FALSE(fs::exists(Path("no-such-folder")));
}

} // namespace
} // namespace quelm
