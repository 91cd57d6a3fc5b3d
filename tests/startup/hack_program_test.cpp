// The real program started as a screensaver daemon starts it: inside host windows of the
// test's own, ended by SIGTERM.
#include "platform/x11/windows.h"
#include "tests/startup/program_fixture.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>

namespace {

using quelm::testing::ChildSizes;
using quelm::testing::Differing;
using quelm::testing::EndsWithinASecond;
using quelm::testing::Grab;
using quelm::testing::HostWindow;
using quelm::x11::WindowWithTitleShown;

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

// Processes whose environment holds `entry`: one the test gave the show, which whatever the
// show starts inherits.
std::vector<qint64> ProcessesWith(const QByteArray& entry) {
    std::vector<qint64> out;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = name.toLongLong(&isPid);
        QFile environment(QStringLiteral("/proc/%1/environ").arg(name));
        if (isPid && environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains(entry))
            out.push_back(pid);
    }
    return out;
}

// Whether process `pid` holds a connection to the bus at `address`.
bool ConnectedToBus(const QString& address, qint64 pid) {
    const auto ask = [&](const QStringList& call) {
        QProcess send;
        send.start("dbus-send", QStringList{"--bus=" + address, "--print-reply", "--dest=org.freedesktop.DBus",
                                            "/org/freedesktop/DBus"} +
                                    call);
        send.waitForFinished(5000);
        return QString::fromUtf8(send.readAllStandardOutput());
    };
    static const QRegularExpression uniqueName(QStringLiteral("string \"(:[0-9.]+)\"")),
        processId(QStringLiteral("uint32 ([0-9]+)"));
    for (auto names = uniqueName.globalMatch(ask({"org.freedesktop.DBus.ListNames"})); names.hasNext();) {
        const auto owner = processId.match(
            ask({"org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + names.next().captured(1)}));
        if (owner.hasMatch() && owner.captured(1).toLongLong() == pid) return true;
    }
    return false;
}

class Daemon : public quelm::testing::ProgramCopy {
protected:
    QTemporaryDir runtime;

    void SetUp() override {
        ProgramCopy::SetUp();
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", runtime.path());
    }
    QProcess* Start(const QStringList& args, const QString& xscreensaverWindow = {}) {
        env.remove("XSCREENSAVER_WINDOW");
        if (!xscreensaverWindow.isEmpty()) env.insert("XSCREENSAVER_WINDOW", xscreensaverWindow);
        return ProgramCopy::Start(args);
    }
    int WallFoldersLeft() { return QDir(runtime.path()).entryList({"quelm-walls-*"}, QDir::Dirs).size(); }
    // The box moves: two looks at the area in a row differ, and the later is not all black
    // (as the first frames are, the eye starting close to a wall).
    static bool Drawing(const QRect& area) {
        QImage black(area.size(), QImage::Format_RGB32), last = Grab(0, area);
        black.fill(Qt::black);
        return QTest::qWaitFor(
            [&] {
                const QImage now = Grab(0, area);
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ChildSizes(host.Id()).empty(); }, 10000));
    EXPECT_EQ(ChildSizes(host.Id()).front(), QSize(480, 360));
    EXPECT_TRUE(Drawing(QRect(100, 80, 480, 360)));
    EXPECT_EQ(StreamsOf({show->processId()}), 0) << "a preview plays music";

    host.resize(640, 400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ChildSizes(host.Id()).front() == QSize(640, 400); }, 3000));
    EXPECT_TRUE(Drawing(QRect(100, 80, 640, 400))) << "still drawing after the resize";

    QProcess* dialog = Start({"/c"});
    EXPECT_TRUE(QTest::qWaitFor([] { return WindowWithTitleShown(QStringLiteral("<Quelm>")); }, 10000));
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
    HostWindow left(QRect(0, 0, 512, 420));
    auto right = std::make_unique<HostWindow>(QRect(512, 0, 512, 420));
    QProcess* a = Start({"-root"}, QString::number(left.Id()));
    QProcess* b = Start({"-root"}, QString::number(right->Id()));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !ChildSizes(left.Id()).empty() && !ChildSizes(right->Id()).empty(); }, 10000));
    EXPECT_TRUE(Drawing(QRect(0, 0, 512, 420)));
    EXPECT_TRUE(Drawing(QRect(512, 0, 512, 420)));
    const std::vector<qint64> pids{a->processId(), b->processId()};
    EXPECT_TRUE(QTest::qWaitFor([&] { return StreamsOf(pids) >= 1; }, 5000)) << "nobody plays the music";
    QTest::qWait(500);
    EXPECT_EQ(StreamsOf(pids), 1);
    EXPECT_EQ(WallFoldersLeft(), 2) << "each show has its own wall files";
    a->terminate();
    ASSERT_TRUE(a->waitForFinished(3000));
    EXPECT_EQ(b->state(), QProcess::Running) << "one show's end ends the other";
    EXPECT_TRUE(Drawing(QRect(512, 0, 512, 420)));
    EXPECT_TRUE(EndsWithinASecond(b, [&] {
        right.reset();
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
    EXPECT_FALSE(quelm::testing::ShowsAWindow(show->processId())) << "a window nobody can click";
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
    const QString run = QString::number(QCoreApplication::applicationPid());
    const QByteArray mark = "QUELM_TEST_SHOW=" + run.toUtf8();
    env.insert("QUELM_TEST_SHOW", run);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    QProcess* show = Start({"-root"}, QString::number(host.Id()));
    ASSERT_TRUE(Drawing(area)) << "no frames: the bridge's moment never came";
    EXPECT_EQ(ProcessesWith(mark), std::vector<qint64>{show->processId()}) << "the show started processes";
    ASSERT_TRUE(EndsWithinASecond(show, [&] { show->terminate(); }));
    EXPECT_TRUE(ProcessesWith(mark).empty()) << "processes outlived the show";

    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(5000)) << "no dbus-daemon";
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    QProcess* connected = Start({"-root"}, QString::number(host.Id()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ConnectedToBus(address, connected->processId()); }, 10000));
    EXPECT_TRUE(EndsWithinASecond(connected, [&] { connected->terminate(); }));
    bus.terminate();
    bus.waitForFinished(3000);
}

TEST_F(Daemon, AWindowIdThatIsNoWindowEndsAtOnce) {
    QProcess* show = Start({"-window-id", "0x7ffffff"});
    ASSERT_TRUE(show->waitForFinished(5000));
    EXPECT_EQ(show->exitCode(), 0);
    EXPECT_EQ(WallFoldersLeft(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
