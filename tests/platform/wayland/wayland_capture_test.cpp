// The desktop captured from real compositors. Runs under scripts/with-sway.sh (a headless
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

constexpr auto kProcessBoundMs = 10000;

QString TempPath(const QString& name) { return QDir(qEnvironmentVariable("TMPDIR", "/tmp")).filePath(name); }

QRgb Background() { return 0xff000000 | qEnvironmentVariable("QUELM_SWAY_BACKGROUND").toUInt(nullptr, 16); }

bool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(kProcessBoundMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// grim's picture of one output, at that output's own scale.
QImage Grim(const QString& output) {
    const QString file = TempPath("grim-" + output + ".png");
    if (!RunTool("grim", {"-o", output, file})) return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

qsizetype DifferingPixels(const QImage& a, const QImage& b) {
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) differing += a.pixel(x, y) != b.pixel(x, y);
    }
    return differing;
}

// A capture once the desktop has settled after a change of outputs (backgrounds and the
// terminal drawn again): `outputs` pictures, each like the one before, corners the background.
DesktopCapture SettledCapture(size_t outputs = 1) {
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

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray* value) : name_(name), had_(qEnvironmentVariableIsSet(name)) {
        old_ = qgetenv(name);
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

TEST(SwayCapture, OutputMatchesGrimPixelForPixel) {
    ASSERT_TRUE(SessionIsWayland());
    const auto start = Clock::now();
    const DesktopCapture capture = CaptureDesktop(3s);
    std::cout << "capture of one 1024x768 output: " << MillisecondsSince(start) << " ms\n";
    EXPECT_EQ(capture.route, "wlr-screencopy");
    EXPECT_EQ(capture.failure, "");
    ASSERT_EQ(capture.outputs.size(), 1u);
    const OutputPicture& picture = capture.outputs[0];
    EXPECT_EQ(picture.name, "HEADLESS-1");
    EXPECT_EQ(picture.area, QRect(0, 0, 1024, 768));
    EXPECT_EQ(picture.scale, 1.0);
    ASSERT_EQ(picture.image.size(), QSize(1024, 768));
    EXPECT_EQ(picture.image.format(), QImage::Format_RGB32);
    // The background around, the terminal at 50,50 (400x300), its title bar on top.
    EXPECT_EQ(picture.image.pixel(1000, 700), Background());
    EXPECT_NE(picture.image.pixel(250, 200), Background());
    EXPECT_NE(picture.image.pixel(250, 55), picture.image.pixel(250, 200));

    // The same pixels as grim's, exactly: both copy the same frame of a still desktop.
    const QImage grim = Grim("HEADLESS-1");
    ASSERT_EQ(grim.size(), picture.image.size());
    EXPECT_EQ(DifferingPixels(grim, picture.image), 0);
}

TEST(SwayCapture, TurnedAndScaledOutputsMatchGrim) {
    struct Case {
        const char* transform;
        const char* scale;
        QRect area;
        QSize pixels;
    };
    for (const Case& c : {Case{"90", "2", QRect(0, 0, 384, 512), QSize(768, 1024)},
                          Case{"flipped-270", "1", QRect(0, 0, 768, 1024), QSize(768, 1024)}}) {
        SCOPED_TRACE(c.transform);
        ASSERT_TRUE(RunTool("swaymsg", {"output", "HEADLESS-1", "transform", c.transform, "scale", c.scale}));
        const DesktopCapture capture = SettledCapture();
        const QImage grim = Grim("HEADLESS-1");
        ASSERT_TRUE(RunTool("swaymsg", {"output", "HEADLESS-1", "transform", "normal", "scale", "1"}));
        ASSERT_EQ(capture.outputs.size(), 1u) << capture.failure.toStdString();
        EXPECT_EQ(capture.outputs[0].area, c.area);
        EXPECT_EQ(capture.outputs[0].scale, c.area.width() == 384 ? 2.0 : 1.0);
        ASSERT_EQ(capture.outputs[0].image.size(), c.pixels);
        ASSERT_EQ(grim.size(), c.pixels);
        EXPECT_EQ(DifferingPixels(grim, capture.outputs[0].image), 0);
    }
}

TEST(SwayCapture, EveryOutputComesWithItsPlaceInTheLayout) {
    // A second output right of the first and lower, at twice the density.
    ASSERT_TRUE(RunTool("swaymsg", {"create_output"}));
    ASSERT_TRUE(
        RunTool("swaymsg", {"output", "HEADLESS-2", "resolution", "640x480", "position", "1024", "100", "scale", "2"}));
    const DesktopCapture capture = SettledCapture(2);
    const QImage grim1 = Grim("HEADLESS-1"), grim2 = Grim("HEADLESS-2");
    ASSERT_TRUE(RunTool("swaymsg", {"output", "HEADLESS-2", "disable"}));
    EXPECT_EQ(capture.failure, "");
    ASSERT_EQ(capture.outputs.size(), 2u);
    EXPECT_EQ(capture.outputs[0].name, "HEADLESS-1");
    EXPECT_EQ(capture.outputs[0].area, QRect(0, 0, 1024, 768));
    EXPECT_EQ(capture.outputs[1].name, "HEADLESS-2");
    EXPECT_EQ(capture.outputs[1].area, QRect(1024, 100, 320, 240));
    EXPECT_EQ(capture.outputs[1].scale, 2.0);
    ASSERT_EQ(capture.outputs[1].image.size(), QSize(640, 480));
    ASSERT_EQ(grim2.size(), QSize(640, 480));
    EXPECT_EQ(DifferingPixels(grim1, capture.outputs[0].image), 0);
    EXPECT_EQ(DifferingPixels(grim2, capture.outputs[1].image), 0);
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
    EXPECT_EQ(silent.route, "");
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

TEST(WestonCapture, CompositorWithoutCaptureProtocolGivesAReasonWithinTheBound) {
    const QByteArray socketName = "quelm-weston-" + QByteArray::number(getpid());
    QProcess weston;
    weston.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--no-config", "--idle-time=0",
                            "--socket=" + socketName});
    ASSERT_TRUE(weston.waitForStarted(kProcessBoundMs));
    const ScopedEnv display("WAYLAND_DISPLAY", &socketName);
    const ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", nullptr); // the portal would find sway's
    const auto ready = Clock::now() + 10s;
    while (!SessionIsWayland(200ms) && Clock::now() < ready) std::this_thread::sleep_for(20ms);

    const auto start = Clock::now();
    const DesktopCapture capture = CaptureDesktop(2s);
    const double ms = MillisecondsSince(start);
    weston.terminate();
    weston.waitForFinished(kProcessBoundMs);
    EXPECT_LT(ms, 2000);
    EXPECT_TRUE(capture.outputs.empty());
    EXPECT_EQ(capture.route, "");
    EXPECT_TRUE(capture.failure.contains("offers neither ext-image-copy-capture-v1 nor wlr-screencopy-unstable-v1"))
        << capture.failure.toStdString();
    EXPECT_TRUE(capture.failure.contains("no session bus")) << capture.failure.toStdString();
}

// Run with a session bus of its own (dbus-run-session) that starts xdg-desktop-portal and its
// wlroots backend, which takes the screenshot with grim.
TEST(Portal, ScreenshotIsCutIntoTheOutputsAndMatchesGrim) {
    const std::vector<OutputPicture> layout{{"HEADLESS-1", QRect(0, 0, 1024, 768), 1, {}}};
    const auto start = Clock::now();
    const DesktopCapture capture = CaptureThroughPortal(10s, layout); // the bus starts the portal first
    std::cout << "portal screenshot, portal started on demand: " << MillisecondsSince(start) << " ms\n";
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
