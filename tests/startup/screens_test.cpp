// The show on the desktops people run, looked at in the pixels of the whole screen: under a
// window manager with a bar (i3), on two monitors of one screen, and on a screen whose size
// changes during the show. Each case needs its own X server: QUELM_TEST_DESKTOP says which
// (see main), and CTest runs each case on a server of its own.
#include "tests/startup/program_fixture.h"

#include <QApplication>
#include <QDir>
#include <QThread>

namespace {

using namespace quelm::testing;

constexpr QRect kSmall(0, 0, 800, 600), kBig(0, 0, 1280, 1024);

QString DesktopKind() { return qEnvironmentVariable("QUELM_TEST_DESKTOP"); }

int Execute(const QString& program, const QStringList& args) { return QProcess::execute(program, args); }

class Screens : public ProgramCopy {
protected:
    QProcess* show = nullptr;

    // Starts the show and waits until the screen no longer looks like `desktop`.
    void StartShowOver(const QImage& desktop) {
        show = Start({"/s"});
        ASSERT_TRUE(ShownSoon("Quib_Main"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Differing(RootScreenshot(desktop.rect()), desktop) > 0.5; }, 10000))
            << "the desktop still shows";
    }
    // A character key ends the show, which leaves no wall file.
    void EndShow() {
        ASSERT_EQ(Execute("xdotool", {"key", "q"}), 0);
        ASSERT_TRUE(show->waitForFinished(5000));
        EXPECT_EQ(show->exitCode(), 0);
        EXPECT_TRUE(QDir(dir.path()).entryList({"Quib*"}, QDir::Files).isEmpty());
    }
    // The rectangles of the show's windows on the desktop.
    static std::vector<QRect> ShowWindows() {
        QProcess search;
        search.start("xdotool", {"search", "--onlyvisible", "--name", "^Quib_Main$"});
        search.waitForFinished(5000);
        std::vector<QRect> rects;
        for (const QByteArray& id : search.readAllStandardOutput().split('\n'))
            if (auto r = quelm::x11::WindowRect(id.toUInt())) rects.push_back(*r);
        return rects;
    }
};

// i3 tiles every window that does not ask for full screen, and keeps its bar over tiles.
TEST_F(Screens, UnderAWindowManagerTheShowIsTheWholeScreenAboveItsBar) {
    ASSERT_EQ(DesktopKind(), "i3");
    HostWindow terminal(QRect(0, 0, 600, 400), Qt::green, Qt::green, true); // tiled by i3 to the workspace
    QTest::qWait(300);                                                      // i3 settles the tiling
    const QImage desktop = RootScreenshot(kSmall);
    const QRect barArea(0, kSmall.height() - 18, kSmall.width(), 18);
    const QImage bar = desktop.copy(barArea);
    ASSERT_GT(Differing(bar, QImage(bar.size(), QImage::Format_RGB32)), 0.0) << "no bar to hide";
    StartShowOver(desktop);
    EXPECT_EQ(ShowWindows(), std::vector{kSmall});
    EXPECT_GT(Differing(RootScreenshot(barArea), bar), 0.3) << "the bar shows";
    EndShow();
}

// Each monitor shows a box with the walls of its own part of the desktop: green on the
// left, orange on the right.
TEST_F(Screens, EveryMonitorShowsABoxOfItsOwn) {
    ASSERT_EQ(DesktopKind(), "monitors");
    const QRect whole(0, 0, 2048, 768), left(0, 0, 1024, 768), right(1024, 0, 1024, 768);
    HostWindow desktopWindow(whole, QColor(0, 150, 0), QColor(255, 150, 0));
    const QImage desktop = RootScreenshot(whole);
    StartShowOver(desktop);
    EXPECT_EQ(ShowWindows().size(), 2u);
    const QImage shown = RootScreenshot(whole);
    for (const QRect& half : {left, right}) {
        SCOPED_TRACE(half.x());
        EXPECT_GT(Differing(shown.copy(half), desktop.copy(half)), 0.3) << "this monitor shows the desktop";
        const QColor mean =
            shown.copy(half).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
        const bool own = half == left ? mean.green() > 2 * mean.red() && mean.green() > 2 * mean.blue()
                                      : mean.red() > mean.green() && mean.green() > 2 * mean.blue();
        EXPECT_TRUE(own) << mean.name().toStdString();
    }
    EndShow();
}

// Grown during the show, the whole new screen is the show; shrunk, the window follows.
TEST_F(Screens, TheShowFollowsTheScreenWhenItsSizeChanges) {
    ASSERT_EQ(DesktopKind(), "resize");
    HostWindow desktopWindow(kBig); // the whole screen once it has grown
    StartShowOver(RootScreenshot(kSmall));
    ASSERT_EQ(Execute("xrandr", {"--output", "screen", "--mode", "big"}), 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return ShowWindows() == std::vector{kBig}; }, 10000)) << "no window of 1280x1024";
    const QRect grown(kSmall.width(), 0, kBig.width() - kSmall.width(), kBig.height());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QImage now = RootScreenshot(grown), later = RootScreenshot(grown);
            return !now.isNull() && Differing(now, later) > 0.01; // the box moves there
        },
        10000))
        << "the grown part does not show the box";
    ASSERT_EQ(Execute("xrandr", {"--output", "screen", "--mode", "small"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return ShowWindows() == std::vector{kSmall}; }, 10000)) << "no window of 800x600";
    EndShow();
}

} // namespace

int main(int argc, char** argv) {
    // The desktop of the case, made before the application sees the screens.
    const QString desktop = DesktopKind();
    if (desktop == "monitors") {
        Execute("xrandr", {"--setmonitor", "A", "1024/270x768/203+0+0", "screen"});
        Execute("xrandr", {"--setmonitor", "B", "1024/270x768/203+1024+0", "none"});
    } else if (desktop == "resize") {
        Execute("xrandr", {"--newmode", "small", "40.00", "800", "840", "968", "1056", "600", "601", "605", "628"});
        Execute("xrandr",
                {"--newmode", "big", "108.00", "1280", "1328", "1440", "1688", "1024", "1025", "1028", "1066"});
        for (const char* mode : {"small", "big"}) Execute("xrandr", {"--addmode", "screen", mode});
        Execute("xrandr", {"--output", "screen", "--mode", "small"});
    } else if (desktop == "i3") {
        const QString config = QDir::temp().filePath("quelm-screens-i3.conf");
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) file.write("font pango:DejaVu Sans 8\nbar { status_command true }\n");
        file.close();
        QProcess::startDetached("i3", {"-c", config}); // ends with its X server
        // Running once it has claimed the window manager's selection; its bar a moment later.
        Execute("timeout", {"5", "sh", "-c",
                            "until xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; do sleep 0.05; done"});
        QThread::msleep(300);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
