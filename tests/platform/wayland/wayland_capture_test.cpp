// The desktop captured from a real compositor. Runs under scripts/with-sway.sh (a headless
// sway with an orange background and, for this test, a foot terminal), as its unprivileged
// user; grim, the wlroots screenshot tool, gives the pictures to compare with.
#include "platform/wayland/desktop_capture.h"
#include "platform/wayland/portal_screenshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace quelm::wayland;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

QString TempPath(const QString& name) { return QDir(qEnvironmentVariable("TMPDIR", "/tmp")).filePath(name); }

QRgb Background() { return 0xff000000 | qEnvironmentVariable("QUELM_SWAY_BACKGROUND").toUInt(nullptr, 16); }

bool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// grim's picture of one output, at that output's own scale.
QImage Grim(const QString& output) {
    const QString file = TempPath("grim-" + output + ".png");
    return RunTool("grim", {"-o", output, file}) ? QImage(file).convertToFormat(QImage::Format_RGB32) : QImage();
}

qsizetype DifferingPixels(const QImage& a, const QImage& b) {
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
    return differing;
}

// A capture once the desktop has settled after a change of outputs (backgrounds and the
// terminal drawn again): `outputs` pictures, each like the one before, corners the background.
DesktopCapture SettledCapture(size_t outputs) {
    const auto giveUp = Clock::now() + 5s;
    DesktopCapture last = CaptureDesktop(3s);
    for (;;) {
        DesktopCapture next = CaptureDesktop(3s);
        bool settled = next.outputs.size() == outputs && last.outputs.size() == outputs;
        for (size_t i = 0; settled && i < outputs; ++i) {
            const QImage& image = next.outputs[i].image;
            const QRect r = image.rect();
            settled = last.outputs[i].image == image;
            for (QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
                settled = settled && image.pixel(corner) == Background();
        }
        if (settled || Clock::now() > giveUp) return next;
        last = std::move(next);
    }
}

// Sets an environment variable (nullptr: unsets it) for one scope.
struct ScopedEnv {
    ScopedEnv(const char* name, const QByteArray* value) : name(name), had(qEnvironmentVariableIsSet(name)) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedEnv() { had ? qputenv(name, old) : qunsetenv(name); }
    const char* name;
    QByteArray old = qgetenv(name);
    bool had;
};

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

// Each output in its place in the layout, at its density, turned as the user sees it, and
// with grim's pixels exactly: both copy the same frame of a still desktop.
TEST(SwayCapture, EveryOutputMatchesGrimInItsPlaceScaleAndTurn) {
    ASSERT_TRUE(SessionIsWayland());
    const QRect first(0, 0, 1024, 768);
    const struct {
        QStringList change, undo; // swaymsg commands
        std::vector<OutputPicture> outputs;
    } cases[] = {
        {{}, {}, {{"HEADLESS-1", first, 1, QImage(1024, 768, QImage::Format_RGB32)}}},
        {{"output HEADLESS-1 transform 90 scale 2"},
         {"output HEADLESS-1 transform normal scale 1"},
         {{"HEADLESS-1", QRect(0, 0, 384, 512), 2, QImage(768, 1024, QImage::Format_RGB32)}}},
        {{"output HEADLESS-1 transform flipped-270"},
         {"output HEADLESS-1 transform normal"},
         {{"HEADLESS-1", QRect(0, 0, 768, 1024), 1, QImage(768, 1024, QImage::Format_RGB32)}}},
        // A second output right of the first and lower, at twice the density.
        {{"create_output", "output HEADLESS-2 resolution 640x480 position 1024 100 scale 2"},
         {"output HEADLESS-2 disable"},
         {{"HEADLESS-1", first, 1, QImage(1024, 768, QImage::Format_RGB32)},
          {"HEADLESS-2", QRect(1024, 100, 320, 240), 2, QImage(640, 480, QImage::Format_RGB32)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change.join(", ").toStdString());
        for (const QString& command : c.change) ASSERT_TRUE(RunTool("swaymsg", {command}));
        const DesktopCapture capture = SettledCapture(c.outputs.size());
        std::vector<QImage> grim;
        for (const OutputPicture& want : c.outputs) grim.push_back(Grim(want.name));
        for (const QString& command : c.undo) ASSERT_TRUE(RunTool("swaymsg", {command}));
        EXPECT_EQ(capture.route, "wlr-screencopy");
        EXPECT_EQ(capture.failure, "");
        ASSERT_EQ(capture.outputs.size(), c.outputs.size());
        for (size_t i = 0; i < c.outputs.size(); ++i) {
            const OutputPicture &got = capture.outputs[i], &want = c.outputs[i];
            EXPECT_EQ(got.name, want.name);
            EXPECT_EQ(got.area, want.area);
            EXPECT_EQ(got.scale, want.scale);
            EXPECT_EQ(got.image.format(), QImage::Format_RGB32);
            ASSERT_EQ(got.image.size(), want.image.size());
            ASSERT_EQ(grim[i].size(), want.image.size());
            EXPECT_EQ(DifferingPixels(grim[i], got.image), 0) << got.name.toStdString();
        }
        // The terminal (50,50, 400x300) shows on the first: not a picture of the background only.
        EXPECT_NE(capture.outputs[0].image.pixel(250, 200), Background());
    }
}

TEST(SwayCapture, CompositorThatNeverAnswersOrHangsUpCostsAtMostTheBound) {
    // A socket that takes connections and never answers, then one that hangs up at once.
    const QByteArray path = TempPath("silent-compositor").toLocal8Bit();
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    unlink(path.constData());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    const ScopedEnv display("WAYLAND_DISPLAY", &path);

    auto start = Clock::now();
    EXPECT_FALSE(SessionIsWayland(200ms));
    const DesktopCapture silent = CaptureDesktop(300ms);
    const double silentMs = MillisecondsSince(start);
    EXPECT_GE(silentMs, 500);
    EXPECT_LT(silentMs, 500 + 150); // both bounds, plus scheduling on a busy machine
    EXPECT_TRUE(silent.outputs.empty());
    EXPECT_TRUE(silent.failure.contains("did not answer")) << silent.failure.toStdString();

    std::array<int, 2> silentPeers{}; // waiting in the backlog: SessionIsWayland's and CaptureDesktop's
    for (int& fd : silentPeers) fd = accept(listener, nullptr, nullptr);
    std::thread hangUp([&] {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 3000) == 1) close(accept(listener, nullptr, nullptr));
    });
    start = Clock::now();
    const DesktopCapture hungUp = CaptureDesktop(3s);
    hangUp.join();
    EXPECT_LT(MillisecondsSince(start), 500);
    EXPECT_TRUE(hungUp.outputs.empty());
    EXPECT_TRUE(hungUp.failure.contains("broke")) << hungUp.failure.toStdString();
    for (int fd : silentPeers) close(fd);
    close(listener);
}

TEST(SwayCapture, NoCompositorReturnsAtOnce) {
    const QByteArray nowhere = "quelm-no-compositor-here";
    {
        const ScopedEnv display("WAYLAND_DISPLAY", &nowhere);
        const auto start = Clock::now();
        EXPECT_FALSE(SessionIsWayland());
        const DesktopCapture capture = CaptureDesktop(3s);
        EXPECT_LT(MillisecondsSince(start), 50);
        EXPECT_TRUE(capture.outputs.empty());
        EXPECT_TRUE(capture.failure.contains("no compositor at")) << capture.failure.toStdString();
    }
    const ScopedEnv noDisplay("WAYLAND_DISPLAY", nullptr);
    EXPECT_FALSE(SessionIsWayland());
    EXPECT_TRUE(CaptureDesktop(3s).failure.contains("not a Wayland session"));
}

// Run with a session bus of its own (dbus-run-session) that starts xdg-desktop-portal and its
// wlroots backend, which takes the screenshot with grim.
TEST(Portal, ScreenshotIsCutIntoTheOutputsAndMatchesGrim) {
    const std::vector<OutputPicture> layout{{"HEADLESS-1", QRect(0, 0, 1024, 768), 1, {}}};
    const DesktopCapture capture = CaptureThroughPortal(10s, layout); // the bus starts the portal first
    EXPECT_EQ(capture.route, "portal");
    ASSERT_EQ(capture.outputs.size(), 1u) << capture.failure.toStdString();
    EXPECT_EQ(capture.outputs[0].name, "HEADLESS-1");
    const QImage grim = Grim("HEADLESS-1");
    ASSERT_EQ(capture.outputs[0].image.size(), grim.size());
    EXPECT_EQ(DifferingPixels(grim, capture.outputs[0].image), 0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the portal's answer comes through Qt's event loop
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
