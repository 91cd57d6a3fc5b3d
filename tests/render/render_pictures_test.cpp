// The box as OpenGL draws it (Mesa llvmpipe under Xvfb), on six wall pictures with words and
// coloured marks. Two kinds of checks:
//  - a ray cast of our own through pixels of the frame: for each, the face the eye sees, the
//    point of the picture there (as the box's faces lay their pictures out), and the colour
//    the frame must show, black when the face is nearer than 1.0;
//  - comparison with reference pictures kept beside this test, within a tolerance.
// Set QUELM_UPDATE_REFERENCES=1 to rewrite the reference pictures (then look at them).
#include "platform/gl_direct3d.h"
#include "render/box_renderer.h"
#include "render/box_show.h"
#include "render/headless_recording.h"
#include "render/view_motion.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QtEndian>
#include <QMessageBox>
#include <QTimer>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>
#include <set>

namespace quelm {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// ---- The six pictures -------------------------------------------------------------------

// 32 picture pixels to a world unit on every face: upright walls 16 x 11, floor and ceiling
// 16 x 16.
constexpr int kPixelsPerUnit = 32;
const std::array<QColor, 7> kBackground = {QColor(),
                                           QColor(200, 200, 255),  // 1 ceiling
                                           QColor(150, 110, 70),   // 2 floor
                                           QColor(250, 230, 120),  // 3 front
                                           QColor(120, 200, 120),  // 4 right
                                           QColor(230, 150, 200),  // 5 left
                                           QColor(150, 220, 230)}; // 6 back
const std::array<const char*, 7> kWords = {"", "CEILING 1", "FLOOR 2", "FRONT 3", "RIGHT 4", "LEFT 5", "BACK 6"};
// Square marks at the picture's quarter points (well inside the view from the box's middle).
const QColor kMarkTopLeft(230, 0, 0), kMarkTopRight(0, 0, 230), kMarkBottomLeft(255, 255, 255),
    kMarkBottomRight(90, 0, 140), kMarkCentre(255, 0, 255);
constexpr double kMarkAt = 0.35;     // and 1 - kMarkAt
constexpr int kMarkSide = 41;        // pixels, about 1.3 world units
constexpr int kCentreSide = 64;      // pixels, 2 x 2 world units

// The picture of a wall as the user sees it (wall 5's file holds its mirror image).
QImage WallPicture(int wall) {
    const bool flat = wall == 1 || wall == 2;
    QImage image(16 * kPixelsPerUnit, (flat ? 16 : 11) * kPixelsPerUnit, QImage::Format_RGB32);
    image.fill(kBackground[size_t(wall)]);
    QPainter p(&image);
    const int w = image.width(), h = image.height();
    const auto mark = [&](double u, double v, int side, const QColor& colour) {
        p.fillRect(int(u * w) - side / 2, int(v * h) - side / 2, side, side, colour);
    };
    mark(kMarkAt, kMarkAt, kMarkSide, kMarkTopLeft);
    mark(1 - kMarkAt, kMarkAt, kMarkSide, kMarkTopRight);
    mark(kMarkAt, 1 - kMarkAt, kMarkSide, kMarkBottomLeft);
    mark(1 - kMarkAt, 1 - kMarkAt, kMarkSide, kMarkBottomRight);
    mark(0.5, 0.5, kCentreSide, kMarkCentre);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(int(h * 0.16));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, int(h * 0.04), w, int(h * 0.24)), Qt::AlignCenter, QString::fromLatin1(kWords[size_t(wall)]));
    return image;
}

struct Walls {
    QTemporaryDir dir;
    std::array<QImage, 7> pictures; // as seen
    std::filesystem::path Folder() const { return dir.path().toStdString(); }

    explicit Walls(std::optional<int> leaveOut = std::nullopt) {
        for (int wall = 1; wall <= 6; ++wall) {
            pictures[size_t(wall)] = WallPicture(wall);
            if (leaveOut == wall)
                continue;
            const QImage file = wall == 5 ? pictures[5].mirrored(true, false) : pictures[size_t(wall)];
            EXPECT_TRUE(file.save(dir.filePath(QStringLiteral("Quib%1.bmp").arg(wall)), "BMP"));
        }
    }
};

// ---- Our own ray cast -------------------------------------------------------------------

struct Eye {
    float x, y, z, pitch, yaw;
};

// Row-vector rotations as the camera composes them: view = rotX(pitch) then rotY(yaw).
glm::vec3 RotateX(glm::vec3 v, float a) {
    return {v.x, v.y * std::cos(a) - v.z * std::sin(a), v.y * std::sin(a) + v.z * std::cos(a)};
}
glm::vec3 RotateY(glm::vec3 v, float a) {
    return {v.x * std::cos(a) + v.z * std::sin(a), v.y, -v.x * std::sin(a) + v.z * std::cos(a)};
}

struct Hit {
    int wall = 0;
    double tu = 0, tv = 0; // on the wall's picture as seen (wall 5 unmirrored)
    double depth = 0;      // along the eye's view axis
    double edge = 0;       // world distance to the face's nearest edge
};

// The face seen through pixel (px, py) of a width x height frame.
std::optional<Hit> CastRay(const Eye& eye, int px, int py, int width, int height) {
    const double s = 1 / std::tan(double(static_cast<float>(3.14152768 / 4)) / 2);
    const double sx = (px + 0.5) / width * 2 - 1, sy = 1 - (py + 0.5) / height * 2;
    // View space: x across, y up, z ahead; the projection's aspect is 0.75, whatever the frame.
    glm::vec3 d(float(sx * 0.75 / s), float(sy / s), 1.0f);
    d = RotateX(RotateY(d, -eye.yaw), -eye.pitch);
    const glm::dvec3 o(eye.x, eye.y, eye.z), dir(d);
    std::optional<Hit> best;
    double bestT = 1e30;
    const auto consider = [&](int wall, int axis, double plane, auto uv) {
        if (std::abs(dir[axis]) < 1e-9)
            return;
        const double t = (plane - o[axis]) / dir[axis];
        if (t <= 0 || t >= bestT)
            return;
        const glm::dvec3 p = o + t * dir;
        Hit h;
        h.wall = wall;
        h.depth = t; // the view-space direction has z = 1
        if (!uv(p, h))
            return;
        bestT = t;
        best = h;
    };
    const auto inside = [](double a, double lo, double hi, double& edge) {
        edge = std::min(edge, std::min(a - lo, hi - a));
        return a >= lo && a <= hi;
    };
    const auto upright = [&](int wall, int axis, double plane, int acrossAxis, bool acrossGrowsWithCoordinate) {
        consider(wall, axis, plane, [&](const glm::dvec3& p, Hit& h) {
            h.edge = 1e9;
            if (!inside(p[acrossAxis], -8, 8, h.edge) || !inside(p.y, -1, 10, h.edge))
                return false;
            const double a = (p[acrossAxis] + 8) / 16;
            h.tu = acrossGrowsWithCoordinate ? a : 1 - a;
            h.tv = (10 - p.y) / 11; // upright: the picture's top at y = 10
            return true;
        });
    };
    // Seen from inside, each upright wall's picture runs from the viewer's left to right.
    upright(3, 2, 8, 0, true);    // z = 8, facing +z: right is +x
    upright(4, 0, 8, 2, false);   // x = 8, facing +x: right is -z
    upright(5, 0, -8, 2, true);   // x = -8, facing -x: right is +z (reads normally)
    upright(6, 2, -8, 0, false);  // z = -8, facing -z: right is -x
    // Floor: picture's top edge along x = 8, left edge along z = 8.
    consider(2, 1, -1.01, [&](const glm::dvec3& p, Hit& h) {
        h.edge = 1e9;
        if (!inside(p.x, -8, 8, h.edge) || !inside(p.z, -8, 8, h.edge))
            return false;
        h.tv = (8 - p.x) / 16;
        h.tu = (8 - p.z) / 16;
        return true;
    });
    // Ceiling: picture's top edge along z = -8, left edge along x = -8.
    consider(1, 1, 10, [&](const glm::dvec3& p, Hit& h) {
        h.edge = 1e9;
        if (!inside(p.x, -8, 8, h.edge) || !inside(p.z, -8, 8, h.edge))
            return false;
        h.tv = (p.z + 8) / 16;
        h.tu = (p.x + 8) / 16;
        return true;
    });
    return best;
}

// The picture's colour at (tu, tv) when the picture is one colour all around that point.
std::optional<QRgb> UniformColourAt(const QImage& picture, double tu, double tv, int radius) {
    const int cx = int(tu * picture.width()), cy = int(tv * picture.height());
    if (cx - radius < 0 || cy - radius < 0 || cx + radius >= picture.width() || cy + radius >= picture.height())
        return std::nullopt;
    const QRgb c = picture.pixel(cx, cy);
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x)
            if (picture.pixel(x, y) != c)
                return std::nullopt;
    return c;
}

bool Close(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct RayCheck {
    int checked = 0;
    int wrong = 0;
    int clipped = 0;                       // pixels expected black: face nearer than 1.0
    std::array<int, 7> perWall{};          // pixels checked on each wall
    std::set<QRgb> marksSeen;              // mark colours among the checked pixels
    std::string firstWrong;
};

// Compares the frame with the ray cast on a grid of pixels, leaving out pixels near a face's
// edge, near the near plane or near a change of colour in the picture.
RayCheck CheckFrame(const QImage& frame, const Eye& eye, const Walls& walls, int step = 8) {
    RayCheck r;
    const std::set<QRgb> marks = {kMarkTopLeft.rgb(), kMarkTopRight.rgb(), kMarkBottomLeft.rgb(),
                                  kMarkBottomRight.rgb(), kMarkCentre.rgb()};
    for (int py = step / 2; py < frame.height(); py += step) {
        for (int px = step / 2; px < frame.width(); px += step) {
            const auto hit = CastRay(eye, px, py, frame.width(), frame.height());
            if (!hit || hit->edge < 0.05 || std::abs(hit->depth - 1.0) < 0.01)
                continue;
            std::optional<QRgb> expected;
            if (hit->depth < 1.0) {
                expected = qRgb(0, 0, 0);
                ++r.clipped;
            } else {
                expected = UniformColourAt(walls.pictures[size_t(hit->wall)], hit->tu, hit->tv, 3);
            }
            if (!expected)
                continue;
            ++r.checked;
            if (hit->depth >= 1.0) {
                ++r.perWall[size_t(hit->wall)];
                if (marks.contains(*expected))
                    r.marksSeen.insert(*expected);
            }
            const QRgb got = frame.pixel(px, py);
            if (!Close(got, *expected, 16)) {
                if (r.wrong++ == 0)
                    r.firstWrong = "pixel (" + std::to_string(px) + "," + std::to_string(py) + ") wall " +
                                   std::to_string(hit->wall) + " expected " + QColor(*expected).name().toStdString() +
                                   " got " + QColor(got).name().toStdString();
            }
        }
    }
    return r;
}

// ---- Frames -------------------------------------------------------------------------------

// The show's scene drawn off screen from a chosen eye, through the same frame code.
QImage DrawFrom(const Walls& walls, QSize size, const Eye& eye) {
    Settings settings;
    BoxRenderer renderer(settings, walls.Folder(), [size] { return d3d::CreateOffscreenGlDirect3D(size); },
                         [](const std::string& text) { ADD_FAILURE() << text; });
    EXPECT_TRUE(renderer.InitDevice(nullptr));
    renderer.BuildBoxVertices();
    renderer.InitScene();
    EyeState state;
    state.EyeX = eye.x;
    state.EyeY = eye.y;
    state.EyeZ = eye.z;
    state.EyePitch = eye.pitch;
    state.EyeYaw = eye.yaw;
    renderer.Scene().RenderFrame(state);
    QImage frame;
    EXPECT_FALSE(d3d::Failed(renderer.Device()->GetFrontBuffer(frame)));
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
    return frame;
}

std::filesystem::path ReferenceFolder() {
    return std::filesystem::path(qEnvironmentVariable("QUELM_SOURCE_DIR").toStdString()) / "tests/render/reference";
}

// Within tolerance: at most 1% of pixels differ by more than 48 in a channel, and the mean
// difference is under 3.
void ExpectLikeReference(const QImage& frame, const std::string& name) {
    const std::filesystem::path file = ReferenceFolder() / (name + ".png");
    const QString path = QString::fromStdString(file.string());
    if (qEnvironmentVariable("QUELM_UPDATE_REFERENCES") == QLatin1String("1")) {
        std::filesystem::create_directories(file.parent_path());
        ASSERT_TRUE(frame.save(path));
        return;
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(reference.isNull()) << "no reference picture " << file;
    ASSERT_EQ(reference.size(), frame.size());
    long long far = 0;
    double sum = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb a = frame.pixel(x, y), b = reference.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            far += d > 48;
            sum += d;
        }
    const double pixels = double(frame.width()) * frame.height();
    EXPECT_LE(far / pixels, 0.01) << name;
    EXPECT_LT(sum / pixels, 3.0) << name;
}

std::vector<std::array<double, 9>> ReadEyeFile(const std::filesystem::path& file) {
    std::vector<std::array<double, 9>> rows;
    std::ifstream in(file);
    std::array<double, 9> row{};
    while (in >> row[0] >> row[1] >> row[2] >> row[3] >> row[4] >> row[5] >> row[6] >> row[7] >> row[8])
        rows.push_back(row);
    return rows;
}

QImage ReadFrame(const std::filesystem::path& folder, int tick) {
    return QImage(QString::fromStdString(RecordedFramePath(folder, tick).string())).convertToFormat(QImage::Format_RGB32);
}

int CountNonBlack(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return n;
}

// ---- Tests --------------------------------------------------------------------------------

TEST(RenderedShow, StartsFacingWallThreeAndClipsWhatIsNearerThanOne) {
    Walls walls;
    QTemporaryDir out;
    RecordingOptions options;
    options.outputFolder = out.path().toStdString();
    options.size = QSize(1024, 768);
    options.ticks = 200;
    options.frames = {1, 40, 200};
    options.wallFolder = walls.Folder();
    Settings settings;
    ASSERT_EQ(RecordShow(options, settings), 0);
    const auto eyes = ReadEyeFile(RecordedEyePath(options.outputFolder));
    ASSERT_EQ(eyes.size(), 201u);

    // Tick 1: the eye stands less than 1.0 before wall 3, which fills the whole view and is
    // clipped away: the frame is black.
    const QImage first = ReadFrame(options.outputFolder, 1);
    const Eye eye1{float(eyes[1][1]), float(eyes[1][2]), float(eyes[1][3]), 0, float(eyes[1][4])};
    ASSERT_GT(eye1.z, 7.0f);
    EXPECT_EQ(first.pixel(512, 384) & 0xFFFFFF, 0u) << "wall 3 is nearer than the near plane";
    const RayCheck r1 = CheckFrame(first, eye1, walls);
    EXPECT_EQ(r1.wrong, 0) << r1.firstWrong;
    EXPECT_GT(r1.clipped, 1000);
    EXPECT_EQ(CountNonBlack(first), 0);

    // Tick 40: the eye has drawn back; wall 3 fills the middle of the screen.
    const QImage later = ReadFrame(options.outputFolder, 40);
    const Eye eye40{float(eyes[40][1]), float(eyes[40][2]), float(eyes[40][3]), 0, float(eyes[40][4])};
    const auto middle = CastRay(eye40, 512, 384, 1024, 768);
    ASSERT_TRUE(middle && middle->wall == 3 && middle->depth > 1.5);
    const RayCheck r40 = CheckFrame(later, eye40, walls);
    EXPECT_EQ(r40.wrong, 0) << r40.firstWrong;
    EXPECT_GT(r40.perWall[3], 500);

    // Tick 200: the eye has drifted and turned; whatever it sees is where the box puts it.
    const QImage drifted = ReadFrame(options.outputFolder, 200);
    const Eye eye200{float(eyes[200][1]), float(eyes[200][2]), float(eyes[200][3]), 0, float(eyes[200][4])};
    const RayCheck r200 = CheckFrame(drifted, eye200, walls);
    EXPECT_EQ(r200.wrong, 0) << r200.firstWrong;
    EXPECT_GT(r200.checked, 1000);
    ExpectLikeReference(drifted.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "show-tick200");

    // The eye's path is the motion's own, tick by tick.
    ViewMotion motion;
    motion.Start();
    for (int tick = 1; tick <= 200; ++tick) {
        motion.Step();
        ASSERT_EQ(float(eyes[size_t(tick)][3]), motion.eye.EyeZ) << tick;
        ASSERT_EQ(float(eyes[size_t(tick)][4]), motion.eye.EyeYaw) << tick;
    }
}

TEST(RenderedShow, NearPlaneClipsAtOneNotAtHalf) {
    Walls walls;
    // Wall 3 at 0.75 ahead: not drawn (a plain OpenGL depth range would still draw it).
    const QImage nearFrame = DrawFrom(walls, QSize(400, 300), Eye{0, 4, 7.25f, 0, 0});
    EXPECT_EQ(nearFrame.pixel(200, 150) & 0xFFFFFF, 0u);
    // At 1.25 ahead it is.
    const QImage farFrame = DrawFrom(walls, QSize(400, 300), Eye{0, 4, 6.75f, 0, 0});
    EXPECT_TRUE(Close(farFrame.pixel(200, 150), kMarkCentre.rgb(), 16));
    const RayCheck r = CheckFrame(nearFrame, Eye{0, 4, 7.25f, 0, 0}, walls, 4);
    EXPECT_EQ(r.wrong, 0) << r.firstWrong;
    EXPECT_GT(r.clipped, 500);
}

TEST(RenderedShow, BoxIsStretchedSidewaysByTheFixedAspect) {
    Walls walls;
    const Eye eye{0, 4.5f, -7, 0, 0}; // 15 before wall 3's middle
    for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
        const QImage frame = DrawFrom(walls, size, eye);
        const RayCheck r = CheckFrame(frame, eye, walls, 12);
        EXPECT_EQ(r.wrong, 0) << size.width() << "x" << size.height() << ": " << r.firstWrong;
        EXPECT_GT(r.perWall[3], 1000);
        // The centre mark is a 2 x 2 square on the wall; on the screen it is wider than
        // high by width / (0.75 height).
        int left = frame.width(), right = -1, top = frame.height(), bottom = -1;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                if (Close(frame.pixel(x, y), kMarkCentre.rgb(), 24)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GT(right, left);
        const double ratio = double(right - left + 1) / double(bottom - top + 1);
        const double expected = size.width() / (0.75 * size.height());
        EXPECT_NEAR(ratio, expected, expected * 0.03) << size.width() << "x" << size.height();
        if (size.width() == 1024)
            ExpectLikeReference(frame.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                                "front-from-back");
    }
}

TEST(RenderedShow, WallFiveReadsNormally) {
    Walls walls;
    const Eye eye{7, 4.5f, 0, 0, kPi / 2}; // facing x = -8 from 15 away
    const QImage frame = DrawFrom(walls, QSize(640, 480), eye);
    const RayCheck r = CheckFrame(frame, eye, walls, 6);
    EXPECT_EQ(r.wrong, 0) << r.firstWrong;
    EXPECT_GT(r.perWall[5], 1000);
    EXPECT_TRUE(r.marksSeen.contains(kMarkTopLeft.rgb()) && r.marksSeen.contains(kMarkTopRight.rgb()))
        << "left and right marks were compared";
    ExpectLikeReference(frame.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "left-wall5");
}

TEST(RenderedShow, FloorAndCeilingLieAsTheirPicturesRun) {
    Walls walls;
    const Eye down{0, 9.5f, 0, -kPi / 2, 0};
    const QImage floor = DrawFrom(walls, QSize(640, 480), down);
    const RayCheck rf = CheckFrame(floor, down, walls, 6);
    EXPECT_EQ(rf.wrong, 0) << rf.firstWrong;
    EXPECT_GT(rf.perWall[2], 1000);
    EXPECT_EQ(rf.marksSeen.size(), 5u) << "all four corner marks and the centre were compared";
    ExpectLikeReference(floor.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "floor");

    const Eye up{0, 0, 0, kPi / 2, 0};
    const QImage ceiling = DrawFrom(walls, QSize(640, 480), up);
    const RayCheck rc = CheckFrame(ceiling, up, walls, 6);
    EXPECT_EQ(rc.wrong, 0) << rc.firstWrong;
    EXPECT_GT(rc.perWall[1], 1000);
    EXPECT_EQ(rc.marksSeen.size(), 5u);
    ExpectLikeReference(ceiling.scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "ceiling");
}

TEST(RenderedShow, MissingWallFileThreeShowsNoBoxWhileTheEyeMoves) {
    Walls walls(3);
    QTemporaryDir out;
    RecordingOptions options;
    options.outputFolder = out.path().toStdString();
    options.size = QSize(320, 240);
    options.ticks = 30;
    options.frames = {1, 2, 30};
    options.wallFolder = walls.Folder();
    Settings settings;
    ASSERT_EQ(RecordShow(options, settings), 0);
    for (int tick : options.frames)
        EXPECT_EQ(CountNonBlack(ReadFrame(options.outputFolder, tick)), 0) << tick;
    const auto eyes = ReadEyeFile(RecordedEyePath(options.outputFolder));
    ASSERT_EQ(eyes.size(), 31u);
    EXPECT_NE(eyes[30][1], eyes[0][1]) << "the eye moved on";
}

// A wall file is read by its content: top-down and bottom-up 24-bit bitmaps, indexed
// bitmaps and other formats all become the same picture; a damaged file makes no texture.
TEST(RenderedShow, WallFilesOfAnyReadableFormatShowTheSamePicture) {
    Walls walls;
    const QString front = walls.dir.filePath(QStringLiteral("Quib3.bmp"));
    QFile file(front);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bottomUp = file.readAll();
    file.close();
    // The same bitmap stored top-down: negative height, rows in reverse order.
    const int32_t height = qFromLittleEndian<int32_t>(bottomUp.constData() + 22);
    const uint32_t offset = qFromLittleEndian<uint32_t>(bottomUp.constData() + 10);
    const int stride = int((bottomUp.size() - offset) / height);
    QByteArray topDown = bottomUp.left(int(offset));
    qToLittleEndian<int32_t>(-height, topDown.data() + 22);
    for (int row = height - 1; row >= 0; --row)
        topDown += bottomUp.mid(int(offset) + row * stride, stride);
    const Eye eye{0, 4.5f, -7, 0, 0};
    const auto check = [&](const QByteArray& content, const char* what) {
        QFile out(front);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        out.close();
        const QImage frame = DrawFrom(walls, QSize(320, 240), eye);
        const RayCheck r = CheckFrame(frame, eye, walls, 4);
        EXPECT_EQ(r.wrong, 0) << what << ": " << r.firstWrong;
        EXPECT_GT(r.perWall[3], 500) << what;
    };
    check(topDown, "top-down bitmap");
    QByteArray indexed;
    QBuffer indexedBuffer(&indexed);
    indexedBuffer.open(QIODevice::WriteOnly);
    walls.pictures[3].convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither).save(&indexedBuffer, "BMP");
    check(indexed, "8-bit bitmap");
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    walls.pictures[3].save(&pngBuffer, "PNG");
    check(png, "PNG content");

    // Cut short, or empty: no texture, no crash.
    Settings settings;
    for (const QByteArray& damaged : {bottomUp.left(bottomUp.size() / 2), QByteArray()}) {
        QFile out(front);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(damaged);
        out.close();
        BoxRenderer renderer(settings, walls.Folder(), [] { return d3d::CreateOffscreenGlDirect3D(QSize(64, 48)); },
                             [](const std::string& text) { ADD_FAILURE() << text; });
        ASSERT_TRUE(renderer.InitDevice(nullptr));
        d3d::TextureHandle texture = 99;
        EXPECT_TRUE(d3d::Failed(renderer.Device()->CreateTextureFromFile(front.toStdString(), texture)));
        EXPECT_EQ(texture, 0u);
    }
}

// The device on a full-screen window, as the show makes it: the window was created before
// the device (without a depth buffer), the frames are presented to the screen.
TEST(RenderedShow, DrawsOnTheWholeScreenThroughAWindow) {
    Walls walls;
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setSurfaceType(QSurface::OpenGLSurface);
    window.setGeometry(screen->geometry());
    window.create();
    Settings settings;
    int messages = 0;
    BoxRenderer renderer(settings, walls.Folder(), [] { return d3d::CreateGlDirect3D(); },
                         [&](const std::string&) { ++messages; });
    ASSERT_TRUE(renderer.InitDevice(window));
    EXPECT_EQ(messages, 0);
    EXPECT_GE(window.format().depthBufferSize(), 16);
    renderer.BuildBoxVertices();
    renderer.InitScene();
    renderer.StartMotion();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int tick = 0; tick < 40; ++tick)
        renderer.Tick();
    QCoreApplication::processEvents();
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), screen->size());
    const EyeState& e = renderer.Motion().eye;
    const RayCheck r = CheckFrame(shot, Eye{e.EyeX, e.EyeY, e.EyeZ, 0, e.EyeYaw}, walls, 16);
    EXPECT_EQ(r.wrong, 0) << r.firstWrong;
    EXPECT_GT(r.perWall[3], 500);
    renderer.ReleaseVertexBuffer();
    renderer.ReleaseDevice();
}

// The message of a failed device creation: one box, OK only, the text as given.
TEST(DeviceMessage, ShowsOneBoxWithTheTextAndOnlyOk) {
    int boxes = 0;
    QString text;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ++boxes;
        text = box->text();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        box->button(QMessageBox::Ok)->click();
    });
    ShowDeviceError("-2005530518 " + d3d::Describe(d3d::kErrNotAvailable));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(text, QString::fromStdString("-2005530518 " + d3d::Describe(d3d::kErrNotAvailable)));
    EXPECT_EQ(buttons.size(), 1);
}

TEST(RecordingArguments, ParseTheDocumentedSyntaxAndRefuseBadValues) {
    EXPECT_FALSE(ParseRecordingArguments({"/s"}).has_value());
    const auto full = ParseRecordingArguments(
        {"--record", "out", "--size", "640x480", "--ticks", "90", "--frames", "1,45,90", "--walls", "w"});
    ASSERT_TRUE(full.has_value());
    EXPECT_TRUE(full->error.empty()) << full->error;
    EXPECT_EQ(full->outputFolder, "out");
    EXPECT_EQ(full->size, QSize(640, 480));
    EXPECT_EQ(full->ticks, 90);
    EXPECT_EQ(full->frames, (std::set<int>{1, 45, 90}));
    EXPECT_EQ(full->wallFolder, std::filesystem::path("w"));
    const auto plain = ParseRecordingArguments({"--record", "out"});
    ASSERT_TRUE(plain && plain->error.empty());
    EXPECT_EQ(plain->size, QSize(1024, 768));
    EXPECT_EQ(plain->frames, (std::set<int>{600}));
    for (const QStringList& bad : {QStringList{"--record"}, QStringList{"--record", "o", "--size", "0x10"},
                                   QStringList{"--record", "o", "--size", "99999x10"},
                                   QStringList{"--record", "o", "--ticks", "-3"},
                                   QStringList{"--record", "o", "--ticks", "5", "--frames", "6"},
                                   QStringList{"--record", "o", "--frames", "1,x"},
                                   QStringList{"--record", "o", "--colour", "red"}}) {
        const auto parsed = ParseRecordingArguments(bad);
        ASSERT_TRUE(parsed.has_value()) << bad.join(' ').toStdString();
        EXPECT_FALSE(parsed->error.empty()) << bad.join(' ').toStdString();
        Settings settings;
        EXPECT_EQ(RecordShow(*parsed, settings), 2);
    }
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    // Keep Mesa's software driver mapped until the end, so that the leak checker of the
    // sanitizer builds can name it (and apply the suppressions for system libraries) rather
    // than report allocations of an unloaded module.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
