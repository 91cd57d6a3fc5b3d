// The box as OpenGL draws it (Mesa llvmpipe under Xvfb), on six wall pictures with words and
// coloured marks, compared with reference pictures kept beside this test within a tolerance.
// Set QUELM_UPDATE_REFERENCES=1 to rewrite the reference pictures (then look at them).
#include "platform/d3d/gl_direct3d.h"
#include "render/box_renderer.h"
#include "render/headless_recording.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <QtEndian>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <numbers>

namespace quelm {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
const EyeState kFacingWallThree{0, 4.5f, -7}, kFacingWallFive{7, 4.5f, 0, kPi / 2, 0}; // 15 before their middles
const EyeState kFloorView{0, 9.5f, 0, 0, -kPi / 2}, kCeilingView{0, 0, 0, 0, kPi / 2};
const QColor kRed(230, 0, 0), kBlue(0, 0, 230), kMagenta(255, 0, 255); // top-left, top-right and centre marks

// The picture of a wall as the user sees it (wall 5's file holds its mirror image): 32 pixels
// to a world unit, a background of its own, words at the top and marks at the quarter points.
QImage WallPicture(int wall) {
    static const QColor background[] = {
        {}, {200, 200, 255}, {150, 110, 70}, {250, 230, 120}, {120, 200, 120}, {230, 150, 200}, {150, 220, 230}};
    static const char* words[] = {"", "CEILING 1", "FLOOR 2", "FRONT 3", "RIGHT 4", "LEFT 5", "BACK 6"};
    QImage image(16 * 32, (wall <= 2 ? 16 : 11) * 32, QImage::Format_RGB32);
    image.fill(background[wall]);
    QPainter p(&image);
    const int w = image.width(), h = image.height();
    const auto mark = [&](double u, double v, int side, const QColor& colour) {
        p.fillRect(int(u * w) - side / 2, int(v * h) - side / 2, side, side, colour);
    };
    mark(0.35, 0.35, 41, kRed);
    mark(0.65, 0.35, 41, kBlue);
    mark(0.35, 0.65, 41, Qt::white);
    mark(0.65, 0.65, 41, QColor(90, 0, 140));
    mark(0.5, 0.5, 64, kMagenta);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(int(h * 0.16));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, int(h * 0.04), w, int(h * 0.24)), Qt::AlignCenter, QString::fromLatin1(words[wall]));
    return image;
}

struct Walls {
    QTemporaryDir dir;
    std::filesystem::path Folder() const { return dir.path().toStdString(); }
    QString File(int wall) const { return dir.filePath(QStringLiteral("Quib%1.bmp").arg(wall)); }
    Walls() {
        for (int wall = 1; wall <= 6; ++wall)
            EXPECT_TRUE(WallPicture(wall).mirrored(wall == 5, false).save(File(wall), "BMP"));
    }
};

Direct3DCreator Offscreen(QSize size) {
    return [size] { return d3d::CreateOffscreenGlDirect3D(size); };
}

void NoMessage(const std::string& text) { ADD_FAILURE() << text; }

// One frame of a renderer whose scene is set up.
QImage FrameOf(BoxRenderer& renderer, EyeState eye) {
    renderer.Scene().RenderFrame(eye);
    QImage frame;
    EXPECT_FALSE(d3d::Failed(renderer.Device()->GetFrontBuffer(frame)));
    return frame.convertToFormat(QImage::Format_RGB32);
}

// The show's scene drawn off screen from a chosen eye, through the same frame code, with the
// wall files of `folder`.
QImage DrawFrom(const std::filesystem::path& folder, QSize size, EyeState eye) {
    Settings settings;
    BoxRenderer renderer(settings, folder, Offscreen(size), NoMessage);
    EXPECT_TRUE(renderer.InitDevice(nullptr));
    renderer.BuildBoxVertices();
    renderer.InitScene();
    const QImage frame = FrameOf(renderer, eye);
    for (int twice = 0; twice < 2; ++twice) { // released objects are marked absent
        renderer.ReleaseVertexBuffer();
        renderer.ReleaseDevice();
    }
    renderer.Tick(); // a tick without a device draws nothing and goes on
    return frame;
}

QImage DrawFrom(const Walls& walls, QSize size, EyeState eye) { return DrawFrom(walls.Folder(), size, eye); }

int Distance(QRgb a, QRgb b) { // the largest difference of a channel
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Alike within tolerance: at most 1% of pixels differ by more than 48 in a channel, and the
// mean difference is under 3.
void ExpectAlike(const QImage& frame, const QImage& reference, const std::string& what) {
    ASSERT_EQ(reference.size(), frame.size()) << what;
    long long far = 0, sum = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const int d = Distance(frame.pixel(x, y), reference.pixel(x, y));
            far += d > 48;
            sum += d;
        }
    const double pixels = double(frame.width()) * frame.height();
    EXPECT_LE(far / pixels, 0.01) << what;
    EXPECT_LT(sum / pixels, 3.0) << what;
}

void ExpectLikeReference(const QImage& frame, const std::string& name) {
    const QString file = qEnvironmentVariable("QUELM_SOURCE_DIR") + "/tests/render/reference/" + name.c_str() + ".png";
    const QImage small = frame.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (qEnvironmentVariable("QUELM_UPDATE_REFERENCES") == QLatin1String("1")) {
        ASSERT_TRUE(small.save(file));
    }
    ExpectAlike(small, QImage(file).convertToFormat(QImage::Format_RGB32), name);
}

// The bounding box of the pixels of one colour.
QRect Extent(const QImage& frame, QColor colour) {
    QRect r;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (Distance(frame.pixel(x, y), colour.rgb()) <= 24) r |= QRect(x, y, 1, 1);
    return r;
}

bool AllBlack(const QImage& image) { return Extent(image, Qt::black) == image.rect(); }

TEST(RenderedShow, StartsFacingWallThreeAndDrawsNothingNearerThanOne) {
    Walls walls;
    QTemporaryDir out;
    RecordingOptions options{out.path().toStdString(), QSize(1024, 768), 200, {1, 200}, walls.Folder()};
    Settings settings;
    ASSERT_EQ(RecordShow(options, settings), 0);
    const auto frame = [&](int tick) {
        return QImage(RecordedFramePath(options.outputFolder, tick).c_str()).convertToFormat(QImage::Format_RGB32);
    };
    // Tick 1: the eye stands less than 1.0 before wall 3, which fills the whole view.
    EXPECT_TRUE(AllBlack(frame(1)));
    ExpectLikeReference(frame(200), "show-tick200");
    EXPECT_FALSE(QFile::exists(RecordedFramePath(options.outputFolder, 2).c_str())) << "only the chosen frames";
    QFile eye(out.filePath("eye.txt"));
    ASSERT_TRUE(eye.open(QIODevice::ReadOnly));
    EXPECT_EQ(eye.readAll().count('\n'), 201) << "ticks 0 to 200";

    // Wall 3 at 0.75 ahead is not drawn (a plain OpenGL depth range would draw it); at 1.25 it is.
    EXPECT_TRUE(AllBlack(DrawFrom(walls, QSize(400, 300), EyeState{0, 4, 7.25f})));
    EXPECT_LE(Distance(DrawFrom(walls, QSize(400, 300), EyeState{0, 4, 6.75f}).pixel(200, 150), kMagenta.rgb()), 24);
}

// The box is stretched sideways by the fixed aspect: the centre mark, a 2 x 2 square on the
// wall, is wider than high by width / (0.75 height) on the screen, whatever the screen. Wall 5
// reads normally (its file holds the mirror image); the floor and the ceiling lie as their
// pictures run.
TEST(RenderedShow, ViewsFromInsideTheBoxLookLikeTheirReferences) {
    Walls walls;
    for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
        const QImage frame = DrawFrom(walls, size, kFacingWallThree);
        const QRect mark = Extent(frame, kMagenta);
        const double expected = size.width() / (0.75 * size.height());
        EXPECT_NEAR(double(mark.width()) / mark.height(), expected, expected * 0.03) << size.width();
        if (size.width() == 1024) ExpectLikeReference(frame, "front-from-back");
    }
    const QImage left = DrawFrom(walls, QSize(640, 480), kFacingWallFive);
    EXPECT_LT(Extent(left, kRed).right(), Extent(left, kBlue).left());
    ExpectLikeReference(left, "left-wall5");
    ExpectLikeReference(DrawFrom(walls, QSize(640, 480), kFloorView), "floor");
    ExpectLikeReference(DrawFrom(walls, QSize(640, 480), kCeilingView), "ceiling");
}

// A wall file is read by its content: a top-down bitmap shows the same; when wall file 3 is
// cut short, empty or missing it makes no texture, and no box is drawn.
TEST(RenderedShow, WallFilesAreReadByContentAndWithoutWallThreeNoBoxIsDrawn) {
    Walls walls;
    const QImage expected = DrawFrom(walls, QSize(320, 240), kFacingWallThree);
    QFile file(walls.File(3));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray bottomUp = file.readAll();
    const int32_t height = qFromLittleEndian<int32_t>(bottomUp.constData() + 22);
    const uint32_t offset = qFromLittleEndian<uint32_t>(bottomUp.constData() + 10);
    const int stride = int((bottomUp.size() - offset) / height);
    QByteArray topDown = bottomUp.left(int(offset)); // negative height, rows in reverse order
    qToLittleEndian<int32_t>(-height, topDown.data() + 22);
    for (int row = height - 1; row >= 0; --row) topDown += bottomUp.mid(int(offset) + row * stride, stride);
    const auto drawWith = [&](const QByteArray& content) {
        EXPECT_TRUE(file.resize(0) && file.seek(0) && file.write(content) == content.size() && file.flush());
        return DrawFrom(walls, QSize(320, 240), kFacingWallThree);
    };
    ExpectAlike(drawWith(topDown), expected, "top-down bitmap");
    EXPECT_TRUE(AllBlack(drawWith(bottomUp.left(bottomUp.size() / 2))));
    EXPECT_TRUE(AllBlack(drawWith({})));
    ASSERT_TRUE(file.remove());
    EXPECT_TRUE(AllBlack(DrawFrom(walls, QSize(320, 240), kFacingWallThree)));
}

// The textures kept from the making of the walls (shrunk to the device, mirrored, shared by
// identical files) draw exactly what the wall files draw when read back.
TEST(RenderedShow, TexturesKeptFromTheWallsDrawWhatTheFilesDraw) {
    const QSize size(320, 240); // textures at most 320 texels a side: the pictures are shrunk
    const EyeState eyes[] = {kFacingWallThree, kFacingWallFive, kFloorView, kCeilingView};
    QTemporaryDir pictures;
    Settings settings;
    settings.PicKind = kPicFiles;
    for (int wall = 1; wall <= 6; ++wall) {
        settings.PicPath[wall] = pictures.filePath(QStringLiteral("p%1.jpg").arg(wall));
        ASSERT_TRUE(WallPicture(wall).save(settings.PicPath[wall], "JPEG"));
    }
    settings.PicPath[4] = settings.PicPath[3]; // one texture
    settings.PicPath[6] = settings.PicPath[5]; // one texture and its mirror
    for (const bool desktop : {false, true}) {
        QTemporaryDir walls;
        BoxRenderer renderer(settings, walls.path().toStdString(), Offscreen(size), NoMessage);
        if (desktop)
            renderer.CaptureDesktopWallsFrom(WallPicture(3).scaled(300, 200)); // fits as it is
        else
            renderer.PrepareUserWalls();
        ASSERT_TRUE(renderer.InitDevice(nullptr));
        renderer.BuildBoxVertices();
        renderer.InitScene();
        for (const EyeState& eye : eyes)
            EXPECT_EQ(FrameOf(renderer, eye), DrawFrom(walls.path().toStdString(), size, eye)) << desktop << eye.EyeYaw;
    }
}

// The device on a full-screen window, as the show makes it (the window is created before the
// device, without a depth buffer): the screen shows what the off-screen device draws.
TEST(RenderedShow, DrawsOnTheWholeScreenThroughAWindow) {
    Walls walls;
    QScreen* screen = QGuiApplication::primaryScreen();
    QWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.setGeometry(screen->geometry());
    window.create();
    Settings settings;
    BoxRenderer renderer(
        settings, walls.Folder(), [] { return d3d::CreateGlDirect3D(); }, NoMessage);
    ASSERT_TRUE(renderer.InitDevice(window));
    renderer.BuildBoxVertices();
    renderer.InitScene();
    renderer.StartMotion();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int tick = 0; tick < 40; ++tick) renderer.Tick();
    QCoreApplication::processEvents();
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    ExpectAlike(shot, DrawFrom(walls, screen->size(), renderer.Motion().eye), "window");
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    // Keep Mesa's software driver mapped until the end, so that the leak checker of the
    // sanitizer builds can name it rather than report allocations of an unloaded module.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
