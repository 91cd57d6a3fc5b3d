// The six wall files from the desktop and from the user's pictures.
#include "render/wall_pictures.h"
#include "wall_test_pictures.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace quelm {
namespace {
namespace fs = std::filesystem;
using test::Encoded;

QImage WallImage(const fs::path& folder, int wall) {
    return QImage(QString::fromStdString(WallFile(folder, wall).string())).convertToFormat(QImage::Format_RGB32);
}

QByteArray WallBytes(const fs::path& folder, int wall) { return test::FileBytes(WallFile(folder, wall)); }

bool Is24BitBitmap(const QByteArray& bytes) {
    return bytes.size() > 54 && bytes.startsWith("BM") && bytes[28] == 24 && bytes[29] == 0;
}

TEST(WallPictureSources, FailedLoadsShowThePictureLoadedBefore) {
    using Loaded = std::array<bool, kWallCount + 1>;
    using Sources = std::array<int, kWallCount + 1>;
    EXPECT_EQ(WallPictureSources(Loaded{false, true, true, true, true, true, true}), (Sources{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(WallPictureSources(Loaded{false, false, true, false, true, true, true}), (Sources{0, 0, 2, 2, 4, 5, 6}));
    // Wall 5 comes after wall 6.
    EXPECT_EQ(WallPictureSources(Loaded{false, true, true, true, true, false, true}), (Sources{0, 1, 2, 3, 4, 6, 6}));
    EXPECT_EQ(WallPictureSources(Loaded{false, true, true, true, true, false, false}), (Sources{0, 1, 2, 3, 4, 4, 4}));
    EXPECT_EQ(WallPictureSources(Loaded{}), (Sources{}));
}

// A window over the whole screen showing a known picture: the desktop the test captures.
class DesktopPattern : public QRasterWindow {
public:
    explicit DesktopPattern(QScreen* screen) : pattern_(test::WallPattern(screen->size().width(), screen->size().height(), 3)) {
        setFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
        setGeometry(screen->geometry());
    }
    const QImage& Pattern() const { return pattern_; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, pattern_); }

private:
    QImage pattern_;
};

TEST(CaptureDesktopWalls, WritesTheScreenFiveTimesAndItsMirrorOnce) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    DesktopPattern desktop(screen);
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
    // The X server shows the pattern once our painting has reached it.
    QElapsedTimer waited;
    waited.start();
    while (screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) != desktop.Pattern()) {
        ASSERT_LT(waited.elapsed(), 10000) << "the pattern never reached the screen";
        QTest::qWait(20);
    }

    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    test::WriteBytes(WallFile(folder, 2), "an older wall file");
    WallSurfaces surfaces;
    CaptureDesktopWalls(surfaces, folder);

    const QByteArray first = WallBytes(folder, 1);
    EXPECT_TRUE(Is24BitBitmap(first));
    for (int wall : {2, 3, 4, 6}) EXPECT_EQ(WallBytes(folder, wall), first) << "wall " << wall;
    EXPECT_EQ(WallImage(folder, 1).size(), screen->size());
    EXPECT_EQ(WallImage(folder, 1), desktop.Pattern());
    EXPECT_TRUE(Is24BitBitmap(WallBytes(folder, 5)));
    EXPECT_EQ(WallImage(folder, 5), desktop.Pattern().mirrored(true, false));
    EXPECT_EQ(surfaces.master.Image(), desktop.Pattern().mirrored(true, false)); // Master ends mirrored
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), kWallCount);
}

class UserWalls : public ::testing::Test {
protected:
    fs::path Folder() const { return dir_.path().toStdString(); }
    QString Picture(const std::string& name, const QByteArray& bytes) {
        const fs::path file = fs::path(pictures_.path().toStdString()) / name;
        test::WriteBytes(file, bytes);
        return QString::fromStdString(file.string());
    }
    void Prepare() { PrepareUserWalls(surfaces_, settings_, Folder()); }
    void ExpectOnlyTheSixWallFiles() {
        EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), kWallCount);
        for (int wall = 1; wall <= kWallCount; ++wall) EXPECT_TRUE(Is24BitBitmap(WallBytes(Folder(), wall))) << wall;
    }

    QTemporaryDir dir_, pictures_;
    Settings settings_ = [] { Settings s; s.PicKind = kPicFiles; return s; }();
    WallSurfaces surfaces_;
};

TEST_F(UserWalls, EachWallKeepsItsOwnPictureAndSizeWallFiveMirrored) {
    std::array<QImage, kWallCount + 1> expected;
    for (int wall = 1; wall <= kWallCount; ++wall) {
        const QImage pattern = test::WallPattern(40 + 13 * wall, 30 + 7 * wall, wall);
        QByteArray bytes;
        if (wall % 3 == 1) { // 1, 4: BMP
            bytes = Encoded(pattern, "BMP");
            expected[wall] = pattern;
        } else if (wall % 3 == 2) { // 2, 5: JPEG
            bytes = Encoded(pattern, "JPEG");
            expected[wall] = QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32);
        } else { // 3, 6: GIF
            const QImage indexed = test::IndexedPattern(pattern.width(), pattern.height(), wall);
            bytes = test::GifBytes(indexed);
            expected[wall] = indexed.convertToFormat(QImage::Format_RGB32);
        }
        settings_.PicPath[wall] = Picture("wall" + std::to_string(wall), bytes);
    }
    test::WriteBytes(WallFile(Folder(), 4), "an older wall file");
    Prepare();
    ExpectOnlyTheSixWallFiles();
    for (int wall : {1, 2, 3, 4, 6}) EXPECT_EQ(WallImage(Folder(), wall), expected[wall]) << "wall " << wall;
    EXPECT_EQ(WallImage(Folder(), 5), expected[5].mirrored(true, false));
    EXPECT_EQ(surfaces_.master.Image(), expected[5]);
    EXPECT_EQ(surfaces_.display.Image(), expected[5].mirrored(true, false));
}

TEST_F(UserWalls, OnePictureForAllWallsGivesFiveCopiesAndOneMirror) {
    const QImage pattern = test::WallPattern(300, 200, 11);
    const QString file = Picture("same.bmp", Encoded(pattern, "BMP"));
    for (int wall = 1; wall <= kWallCount; ++wall) settings_.PicPath[wall] = file;
    Prepare();
    ExpectOnlyTheSixWallFiles();
    for (int wall : {2, 3, 4, 6}) EXPECT_EQ(WallBytes(Folder(), wall), WallBytes(Folder(), 1)) << wall;
    EXPECT_EQ(WallImage(Folder(), 1), pattern);
    EXPECT_EQ(WallImage(Folder(), 5), pattern.mirrored(true, false));
}

TEST_F(UserWalls, PictureThatCannotBeLoadedGivesThePreviousWallsPicture) {
    for (int wall = 1; wall <= kWallCount; ++wall)
        settings_.PicPath[wall] = Picture("p" + std::to_string(wall) + ".bmp", Encoded(test::WallPattern(20 + wall, 10, wall), "BMP"));
    settings_.PicPath[1] = Picture("cut.bmp", Encoded(test::WallPattern(50, 50, 0), "BMP").left(300));
    settings_.PicPath[3] = Picture("letter.gif", "GIF89a but then only words");
    settings_.PicPath[5] = Picture("huge.gif", test::GifDeclaring(30000, 30000));
    Prepare();
    ExpectOnlyTheSixWallFiles();
    // Wall 1 has nothing before it: Master's first content, one black pixel.
    const QImage first = WallImage(Folder(), 1);
    EXPECT_EQ(first.size(), QSize(1, 1));
    EXPECT_EQ(first.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(WallBytes(Folder(), 3), WallBytes(Folder(), 2));
    EXPECT_EQ(WallImage(Folder(), 2), test::WallPattern(22, 10, 2));
    // Wall 5 is loaded after wall 6, so it gets wall 6's picture, mirrored.
    EXPECT_EQ(WallImage(Folder(), 5), test::WallPattern(26, 10, 6).mirrored(true, false));
    EXPECT_EQ(surfaces_.master.Image(), test::WallPattern(26, 10, 6));
}

TEST_F(UserWalls, WallsSixAndFiveFailingBothShowWallFour) {
    for (int wall = 1; wall <= 4; ++wall)
        settings_.PicPath[wall] = Picture("p" + std::to_string(wall) + ".bmp", Encoded(test::WallPattern(20 + wall, 10, wall), "BMP"));
    settings_.PicPath[6] = Picture("six.jpg", Encoded(test::WallPattern(30, 30, 6), "JPEG").chopped(2));
    settings_.PicPath[5] = QString::fromStdString((Folder() / "vanished.bmp").string());
    Prepare();
    ExpectOnlyTheSixWallFiles();
    EXPECT_EQ(WallBytes(Folder(), 6), WallBytes(Folder(), 4));
    EXPECT_EQ(WallImage(Folder(), 5), test::WallPattern(24, 10, 4).mirrored(true, false));
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
