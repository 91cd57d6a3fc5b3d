// The real program started as a screensaver daemon starts it: inside host windows of the
// test's own, ended by SIGTERM.
#include "platform/x11_windows.h"
#include "tests/startup/program_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

using quelm::testing::ChildSizes;
using quelm::testing::WaitFor;

// A daemon's window: a busy pattern, so that the desktop the show captures has something on it.
class HostWindow : public QRasterWindow {
public:
    explicit HostWindow(const QRect& r) { setGeometry(r); setFlags(Qt::Window | Qt::FramelessWindowHint); }
    uint32_t Id() { return static_cast<uint32_t>(winId()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int y = 0; y < height(); y += 32)
            for (int x = 0; x < width(); x += 32)
                p.fillRect(x, y, 32, 32, ((x + y) / 32) % 2 ? QColor(200, 40, 40) : QColor(30, 30, 160));
        p.setPen(Qt::white);
        p.setFont(QFont("DejaVu Sans", 40));
        p.drawText(QRect(QPoint(0, 0), size()), Qt::AlignCenter, "HOST");
    }
};

QImage Grab(const QRect& screenRect) {
    return QGuiApplication::primaryScreen()->grabWindow(0, screenRect.x(), screenRect.y(), screenRect.width(),
                                                        screenRect.height()).toImage();
}

// How many pixels of two pictures of the same size differ noticeably.
int Differing(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); y += 2)
        for (int x = 0; x < a.width(); x += 2) {
            QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 30;
        }
    return n;
}

// A one-second 440 Hz WAV file.
void WriteWav(const QString& path) {
    const int rate = 44100, frames = rate;
    QByteArray pcm;
    for (int i = 0; i < frames; ++i) {
        int16_t s = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
        pcm.append(reinterpret_cast<const char*>(&s), 2).append(reinterpret_cast<const char*>(&s), 2);
    }
    auto le32 = [](uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [](uint16_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    QByteArray wav = "RIFF" + le32(36 + pcm.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(rate) +
                     le32(rate * 4) + le16(4) + le16(16) + "data" + le32(pcm.size()) + pcm;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(wav);
}

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
    int WallFoldersLeft() {
        return QDir(runtime.path()).entryList({"quelm-walls-*"}, QDir::Dirs).size();
    }
    // The box moves: two looks at the area some frames apart differ.
    static bool Drawing(const QRect& area) {
        const QImage first = Grab(area);
        return WaitFor([&] { return Differing(first, Grab(area)) > 200; }, 5000);
    }
    void UseMusic(const QString& wav) {
        WriteIni("[Section]\nBGM\x8B\xE6\x95\xAA= 2\nBGM\xCC\xA7\xB2\xD9=" + wav.toUtf8() + "\n");
    }
};

TEST_F(Daemon, WindowIdDrawsTheBoxInThatWindowAndFollowsItsSize) {
    HostWindow host(QRect(100, 80, 480, 360));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QProcess* show = Start({"-window-id", QStringLiteral("0x%1").arg(host.Id(), 0, 16)});
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(host.Id()).empty(); }, 10000));
    EXPECT_EQ(ChildSizes(host.Id()).front(), QSize(480, 360));
    EXPECT_TRUE(Drawing(QRect(100, 80, 480, 360)));

    host.resize(640, 400);
    EXPECT_TRUE(WaitFor([&] { return ChildSizes(host.Id()).front() == QSize(640, 400); }, 3000));
    EXPECT_TRUE(Drawing(QRect(100, 80, 640, 400))) << "still drawing after the resize";

    QTest::keyClick(&host, Qt::Key_Space);
    EXPECT_FALSE(show->waitForFinished(500)) << "keys do not end a show in a daemon's window";
    EXPECT_EQ(WallFoldersLeft(), 1);
    QElapsedTimer t;
    t.start();
    show->terminate();
    ASSERT_TRUE(show->waitForFinished(3000));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(show->exitCode(), 0);
    EXPECT_EQ(WallFoldersLeft(), 0) << "wall files left behind";
}

TEST_F(Daemon, RootDrawsInTheDaemonsWindowAndEndsWhenItGoes) {
    auto host = std::make_unique<HostWindow>(QRect(0, 0, 1024, 768));
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    QProcess* show = Start({"-root"}, QString::number(host->Id()));
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(host->Id()).empty(); }, 10000));
    EXPECT_EQ(ChildSizes(host->Id()).front(), QSize(1024, 768));
    EXPECT_TRUE(Drawing(QRect(0, 0, 1024, 768)));
    host.reset();
    QGuiApplication::sync(); // the window's destruction reaches the X server now
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(show->waitForFinished(3000)) << "the show outlived its window";
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(WallFoldersLeft(), 0);
}

TEST_F(Daemon, TwoMonitorsShowsBothDrawAndOnlyOneIsHeard) {
    const QString wav = dir.filePath("loop.wav");
    WriteWav(wav);
    UseMusic(wav);
    HostWindow left(QRect(0, 0, 512, 420)), right(QRect(512, 0, 512, 420));
    left.show();
    right.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&left));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&right));
    QProcess* a = Start({"-root"}, QString::number(left.Id()));
    QProcess* b = Start({"-root"}, QString::number(right.Id()));
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(left.Id()).empty() && !ChildSizes(right.Id()).empty(); }, 10000));
    EXPECT_TRUE(Drawing(QRect(0, 0, 512, 420)));
    EXPECT_TRUE(Drawing(QRect(512, 0, 512, 420)));
    const std::vector<qint64> pids{a->processId(), b->processId()};
    EXPECT_TRUE(WaitFor([&] { return StreamsOf(pids) >= 1; }, 5000)) << "nobody plays the music";
    QTest::qWait(500);
    EXPECT_EQ(StreamsOf(pids), 1);
    EXPECT_EQ(WallFoldersLeft(), 2) << "each show has its own wall files";
    a->terminate();
    ASSERT_TRUE(a->waitForFinished(3000));
    EXPECT_EQ(b->state(), QProcess::Running) << "one show's end ends the other";
    EXPECT_TRUE(Drawing(QRect(512, 0, 512, 420)));
    b->terminate();
    ASSERT_TRUE(b->waitForFinished(3000));
    EXPECT_EQ(WallFoldersLeft(), 0);
}

TEST_F(Daemon, ASmallPreviewWindowPlaysNoMusic) {
    const QString wav = dir.filePath("loop.wav");
    WriteWav(wav);
    UseMusic(wav);
    HostWindow host(QRect(10, 10, 320, 240));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QProcess* show = Start({"-window-id", QString::number(host.Id())});
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(host.Id()).empty(); }, 10000));
    EXPECT_TRUE(Drawing(QRect(10, 10, 320, 240)));
    EXPECT_EQ(StreamsOf({show->processId()}), 0);
}

// A screenshot as XScreenSaver leaves it: a pixmap named by _SCREENSAVER_SCREENSHOT on
// its window. The pixmap lives as long as this connection.
class StoredScreenshot {
public:
    StoredScreenshot(uint32_t window, const QImage& picture) : c_(xcb_connect(nullptr, nullptr)) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        const QImage img = picture.convertToFormat(QImage::Format_RGB32);
        pixmap_ = xcb_generate_id(c_);
        xcb_create_pixmap(c_, 24, pixmap_, screen->root, img.width(), img.height());
        xcb_gcontext_t gc = xcb_generate_id(c_);
        xcb_create_gc(c_, gc, pixmap_, 0, nullptr);
        for (int y = 0; y < img.height(); ++y)
            xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap_, gc, img.width(), 1, 0, y, 0, 24,
                          img.width() * 4, img.constScanLine(y));
        const char* name = "_SCREENSAVER_SCREENSHOT";
        auto* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::strlen(name), name), nullptr);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_PIXMAP, 32, 1, &pixmap_);
        std::free(atom);
        xcb_aux_sync();
    }
    ~StoredScreenshot() { xcb_disconnect(c_); }

private:
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    xcb_connection_t* c_;
    xcb_pixmap_t pixmap_ = 0;
};

TEST_F(Daemon, TheDaemonsScreenshotIsTheDesktopOnTheWalls) {
    HostWindow host(QRect(0, 0, 1024, 768));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QImage desktop(1024, 768, QImage::Format_RGB32);
    desktop.fill(QColor(10, 200, 90));
    QPainter(&desktop).fillRect(0, 0, 100, 50, QColor(250, 250, 0));
    StoredScreenshot shot(host.Id(), desktop);
    Start({"-root"}, QString::number(host.Id()));
    QString wall1, wall5;
    ASSERT_TRUE(WaitFor([&] {
        const QStringList folders = QDir(runtime.path()).entryList({"quelm-walls-*"}, QDir::Dirs);
        if (folders.isEmpty()) return false;
        wall1 = runtime.filePath(folders.front() + "/Quib1.bmp");
        wall5 = runtime.filePath(folders.front() + "/Quib5.bmp");
        return QFile::exists(wall5);
    }, 10000));
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(host.Id()).empty(); }, 10000)) << "the walls are written by now";
    const QImage one(wall1), five(wall5);
    ASSERT_EQ(one.size(), QSize(1024, 768));
    EXPECT_EQ(one.pixelColor(10, 10), QColor(250, 250, 0));
    EXPECT_EQ(one.pixelColor(500, 500), QColor(10, 200, 90));
    EXPECT_EQ(five.pixelColor(1013, 10), QColor(250, 250, 0)) << "wall 5 is the mirror";
}

TEST_F(Daemon, WithoutOpenGLTheMessageGoesToStandardErrorAndTerminationEndsTheShow) {
    HostWindow host(QRect(100, 80, 320, 240));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    env.insert("QT_XCB_GL_INTEGRATION", "none");
    channels = QProcess::SeparateChannels;
    QProcess* show = Start({"-window-id", QString::number(host.Id())});
    QByteArray err;
    ASSERT_TRUE(WaitFor([&] { return (err += show->readAllStandardError()).contains("quelm: -2005530518 "); }, 10000)) << err.constData();
    EXPECT_FALSE(quelm::testing::ShowsAWindow(show->processId())) << "a window nobody can click";
    QElapsedTimer t;
    t.start();
    show->terminate();
    EXPECT_TRUE(show->waitForFinished(3000));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(WallFoldersLeft(), 0);
}

TEST_F(Daemon, TheSettingsOpenBesideADaemonsShow) {
    HostWindow host(QRect(100, 80, 320, 240));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    Start({"-window-id", QString::number(host.Id())});
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(host.Id()).empty(); }, 10000));
    ASSERT_TRUE(quelm::x11::WindowWithTitleExists(QStringLiteral("Quib_Main")));
    QProcess* dialog = Start({"/c"});
    EXPECT_TRUE(WaitFor([] { return quelm::x11::WindowWithTitleShown(QStringLiteral("<Quelm>")); }, 10000));
    EXPECT_EQ(dialog->state(), QProcess::Running);
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
