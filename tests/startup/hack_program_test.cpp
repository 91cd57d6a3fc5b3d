// The real program started as a screensaver daemon starts it: inside host windows of the
// test's own, ended by SIGTERM.
#include "tests/startup/program_fixture.h"

#include <QApplication>
#include <QDir>

namespace {

using namespace quelm::testing;

// Sound streams that these processes have open on the sound server.
int StreamsOf(const std::vector<qint64>& pids) {
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    pactl.waitForFinished(5000);
    const QString out = QString::fromUtf8(pactl.readAllStandardOutput());
    int n = 0;
    for (qint64 pid : pids) n += out.count(QStringLiteral("application.process.id = \"%1\"").arg(pid));
    return n;
}

// The output of a shell command, run within 10 s.
QByteArray Shell(const QString& command) {
    QProcess sh;
    sh.start("sh", {"-c", command});
    sh.waitForFinished(10000);
    return sh.readAllStandardOutput();
}

// Processes whose environment holds `entry`: one the test gave the show, which whatever the
// show starts inherits.
std::vector<qint64> ProcessesWith(const QString& entry) {
    std::vector<qint64> out;
    for (const QByteArray& file : Shell("grep -lsxzF '" + entry + "' /proc/[0-9]*/environ").split('\n'))
        if (!file.isEmpty()) out.push_back(file.split('/')[2].toLongLong());
    return out;
}

// Whether process `pid` holds a connection to the bus at `address`: the owner of one of its names.
bool ConnectedToBus(const QString& address, qint64 pid) {
    const QString ask = "dbus-send --bus=" + address +
                        " --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.";
    return Shell(QStringLiteral("for n in $(%1ListNames | sed -n 's/.*string \"\\(:.*\\)\"/\\1/p'); do "
                                "%1GetConnectionUnixProcessID string:$n | tail -n 1; done")
                     .arg(ask))
        .contains(QStringLiteral("uint32 %1\n").arg(pid).toUtf8());
}

class Daemon : public ProgramCopy {
protected:
    QTemporaryDir runtime;

    void SetUp() override {
        ProgramCopy::SetUp();
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", runtime.path());
    }
    // As XScreenSaver and MATE start it: -root, their window in XSCREENSAVER_WINDOW.
    QProcess* StartRoot(uint32_t window) {
        env.insert("XSCREENSAVER_WINDOW", QString::number(window));
        return Start({"-root"});
    }
    int WallFoldersLeft() { return QDir(runtime.path()).entryList({"quelm-walls-*"}, QDir::Dirs).size(); }
    // The box moves: two looks at the area in a row differ, and the later is not all black
    // (as the first frames are, the eye starting close to a wall).
    static bool Drawing(const QRect& area) {
        QImage black(area.size(), QImage::Format_RGB32), last = RootScreenshot(area);
        black.fill(Qt::black);
        return QTest::qWaitFor(
            [&] {
                const QImage now = RootScreenshot(area);
                return Differing(std::exchange(last, now), now) > 0.01 && Differing(now, black) > 0.25;
            },
            10000);
    }
    // A second of silence in a WAV file as the music: its stream is what counts, not its sound.
    void UseMusic() {
        const QString wav = dir.filePath("loop.wav");
        ASSERT_EQ(QProcess::execute("sox", {"-n", "-r", "44100", "-c", "2", wav, "trim", "0", "1"}), 0);
        WriteIni("[Section]\nBGM\x8B\xE6\x95\xAA= 2\nBGM\xCC\xA7\xB2\xD9=" + wav.toUtf8() + "\n");
    }
};

// A window much smaller than the screen is a preview: it plays no music. The settings
// open beside a daemon's show; keys do not end it, SIGTERM does.
TEST_F(Daemon, WindowIdDrawsTheBoxInThatWindowAndFollowsItsSize) {
    UseMusic();
    HostWindow host(QRect(100, 80, 480, 360));
    QProcess* show = Start({"-window-id", QStringLiteral("0x%1").arg(host.Id(), 0, 16)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ChildSizes(host.Id()) == std::vector{QSize(480, 360)}; }, 10000));
    EXPECT_TRUE(Drawing(QRect(100, 80, 480, 360)));
    EXPECT_EQ(StreamsOf({show->processId()}), 0) << "a preview plays music";

    host.resize(640, 400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ChildSizes(host.Id()) == std::vector{QSize(640, 400)}; }, 3000));
    EXPECT_TRUE(Drawing(QRect(100, 80, 640, 400))) << "still drawing after the resize";

    QProcess* dialog = Start({"/c"});
    EXPECT_TRUE(ShownSoon("<Quelm>"));
    EXPECT_EQ(dialog->state(), QProcess::Running);
    QTest::keyClick(&host, Qt::Key_Space);
    EXPECT_FALSE(show->waitForFinished(500)) << "keys do not end a show in a daemon's window";
    EXPECT_EQ(WallFoldersLeft(), 1);
    ASSERT_TRUE(EndsWithinASecond(show, [&] { show->terminate(); }));
    EXPECT_EQ(show->exitCode(), 0);
    EXPECT_EQ(WallFoldersLeft(), 0) << "wall files left behind";
}

// -root with two daemon windows, one a monitor: both draw, one plays the music, each has
// its own walls; one's end leaves the other, which ends when its window goes.
TEST_F(Daemon, TwoMonitorsShowsBothDrawAndOnlyOneIsHeard) {
    UseMusic();
    const QRect left(0, 0, 512, 420), right(512, 0, 512, 420);
    HostWindow leftHost(left);
    auto rightHost = std::make_unique<HostWindow>(right);
    QProcess* a = StartRoot(leftHost.Id());
    QProcess* b = StartRoot(rightHost->Id());
    EXPECT_TRUE(Drawing(left));
    EXPECT_TRUE(Drawing(right));
    const std::vector<qint64> pids{a->processId(), b->processId()};
    EXPECT_TRUE(QTest::qWaitFor([&] { return StreamsOf(pids) >= 1; }, 5000)) << "nobody plays the music";
    QTest::qWait(500);
    EXPECT_EQ(StreamsOf(pids), 1);
    EXPECT_EQ(WallFoldersLeft(), 2) << "each show has its own wall files";
    a->terminate();
    ASSERT_TRUE(a->waitForFinished(3000));
    EXPECT_EQ(b->state(), QProcess::Running) << "one show's end ends the other";
    EXPECT_TRUE(Drawing(right));
    EXPECT_TRUE(EndsWithinASecond(b, [&] {
        rightHost.reset();
        QGuiApplication::sync(); // the window's destruction reaches the X server now
    })) << "the show outlived its window";
    EXPECT_EQ(WallFoldersLeft(), 0);
}

TEST_F(Daemon, WithoutOpenGLTheMessageGoesToStandardErrorAndTerminationEndsTheShow) {
    HostWindow host(QRect(100, 80, 320, 240));
    env.insert("QT_XCB_GL_INTEGRATION", "none");
    channels = QProcess::SeparateChannels;
    QProcess* show = Start({"-window-id", QString::number(host.Id())});
    QByteArray err;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (err += show->readAllStandardError()).contains("quelm: -2005530518 "); }, 10000))
        << err.constData();
    EXPECT_FALSE(ShowsAWindow(show->processId())) << "a window nobody can click";
    EXPECT_TRUE(EndsWithinASecond(show, [&] { show->terminate(); }));
    EXPECT_EQ(show->exitCode(), 0) << "the show ran on without a device until it was ended";
    EXPECT_EQ((err + show->readAllStandardError()).count("quelm: -2005530518 "), 1) << "one message";
    EXPECT_EQ(WallFoldersLeft(), 0);
}

// A daemon run without D-Bus (XScreenSaver from .xinitrc) starts the show with no session bus:
// the show starts none (D-Bus's library would launch one through the X server, outliving
// the show) and leaves no process behind. Given a bus, the show's accessibility bridge,
// made after the first frame, connects to it.
TEST_F(Daemon, WithoutASessionBusTheShowStartsNoneAndGivenOneItConnects) {
    const QRect area(100, 80, 320, 240);
    HostWindow host(area);
    const QString mark = "QUELM_TEST_SHOW=" + QString::number(QCoreApplication::applicationPid());
    env.insert(mark.section('=', 0, 0), mark.section('=', 1));
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    QProcess* show = StartRoot(host.Id());
    ASSERT_TRUE(Drawing(area)) << "no frames: the bridge's moment never came";
    EXPECT_EQ(ProcessesWith(mark), std::vector<qint64>{show->processId()}) << "the show started processes";
    ASSERT_TRUE(EndsWithinASecond(show, [&] { show->terminate(); }));
    EXPECT_TRUE(ProcessesWith(mark).empty()) << "processes outlived the show";

    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "no dbus-daemon";
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    QProcess* connected = StartRoot(host.Id());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectedToBus(address, connected->processId()); }, 10000));
    EXPECT_TRUE(EndsWithinASecond(connected, [&] { connected->terminate(); }));
    bus.terminate();
    bus.waitForFinished(3000);
}

TEST_F(Daemon, AWindowIdThatIsNoWindowEndsAtOnce) {
    EXPECT_EQ(RunToEnd({"-window-id", "0x7ffffff"}), 0);
    EXPECT_EQ(WallFoldersLeft(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
