// The real program in real processes on a real X server: its modes, the single-instance
// test, the preview inside a host window, and the show's ending.
#include "platform/x11_windows.h"
#include "tests/startup/program_fixture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QRasterWindow>
#include <QScreen>

#include <cmath>

namespace {

using quelm::testing::ChildSizes;
using quelm::testing::ShowsAWindow;
using quelm::testing::WaitFor;
using quelm::x11::WindowWithTitleExists;

class Program : public quelm::testing::ProgramCopy {
protected:
    bool WallFilesPresent() const {
        for (int i = 1; i <= 6; ++i)
            if (QFile::exists(dir.filePath(QStringLiteral("Quib%1.bmp").arg(i)))) return true;
        return false;
    }
    // Walls left from elsewhere, and a picture kind that prepares none: the show must
    // still remove them when it ends.
    void PlantWallFiles() {
        for (int i = 1; i <= 6; ++i) {
            QFile f(dir.filePath(QStringLiteral("Quib%1.bmp").arg(i)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("BM");
        }
        WriteIni("[Section]\nPic\x8B\xE6\x95\xAA= 2\n");
    }
    QProcess* StartShow(const QStringList& args = {"/s"}) {
        QProcess* p = Start(args);
        EXPECT_TRUE(WaitFor([] { return quelm::x11::WindowWithTitleShown(QStringLiteral("Quib_Main")); }, 10000));
        return p;
    }
    static void XdoTool(const QStringList& args) {
        QProcess x;
        x.start(QStringLiteral("xdotool"), args);
        ASSERT_TRUE(x.waitForFinished(5000));
    }
};

TEST_F(Program, HelpAndVersionPrintAndEnd) {
    QByteArray out;
    EXPECT_EQ(RunToEnd({"--help"}, 5000, &out), 0);
    EXPECT_TRUE(out.contains("Usage: quelm")) << out.constData();
    EXPECT_EQ(RunToEnd({"--version"}, 5000, &out), 0);
    EXPECT_TRUE(out.startsWith("quelm ")) << out.constData();
}

TEST_F(Program, RecordingWritesTheChosenFramesAndEveryTicksEye) {
    const QString out = dir.filePath("rec");
    EXPECT_EQ(RunToEnd({"--record", out, "--size", "64x48", "--ticks", "5", "--frames", "2,5"}, 30000), 0);
    EXPECT_EQ(QImage(out + "/frame-000005.png").size(), QSize(64, 48));
    EXPECT_TRUE(QFile::exists(out + "/frame-000002.png"));
    EXPECT_FALSE(QFile::exists(out + "/frame-000003.png"));
    QFile eye(out + "/eye.txt");
    ASSERT_TRUE(eye.open(QIODevice::ReadOnly));
    EXPECT_EQ(eye.readAll().count('\n'), 6) << "ticks 0 to 5";
    EXPECT_EQ(RunToEnd({"--record"}), 2);
    EXPECT_EQ(RunToEnd({"--record", out, "--size", "0x0"}), 2);
}

TEST_F(Program, UnknownSwitchesEndAtOnceShowingNothing) {
    for (const QStringList& args : {QStringList{"/a"}, QStringList{"S"}, QStringList{"xyz"}}) {
        EXPECT_EQ(RunToEnd(args), 0) << args.join(' ').toStdString();
    }
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
    EXPECT_FALSE(QFile::exists(dir.filePath("Quelm.ini"))) << "nothing is written";
}

TEST_F(Program, ARunningShowMakesEveryNewStartEndAtOnce) {
    QProcess* show = StartShow();
    for (const QStringList& args : {QStringList{"/s"}, QStringList{"/c"}, QStringList{"/p", "1234"}, QStringList{}}) {
        EXPECT_EQ(RunToEnd(args, 5000), 0) << args.join(' ').toStdString();
    }
    EXPECT_EQ(show->state(), QProcess::Running);
}

TEST_F(Program, TheOpenSettingsDialogMakesNewStartsEndAtOnce) {
    QProcess* dialog = Start({"/c"});
    ASSERT_TRUE(WaitFor([] { return WindowWithTitleExists(QStringLiteral("<Quelm>")); }, 10000));
    EXPECT_EQ(RunToEnd({"/s"}), 0);
    EXPECT_EQ(RunToEnd({"/c"}), 0);
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
    dialog->terminate(); // closes the dialog as its close box would
    EXPECT_TRUE(dialog->waitForFinished(5000));
    EXPECT_FALSE(QFile::exists(dir.filePath("Quelm.ini"))) << "closing saves nothing";
}

TEST_F(Program, EscEndsTheShowButKeysThatTypeNothingAndMouseMovesDoNot) {
    PlantWallFiles();
    QProcess* show = StartShow();
    for (const char* key : {"shift", "Left", "F5", "Delete", "alt+a"}) XdoTool({"key", key});
    XdoTool({"mousemove", "100", "100"});
    XdoTool({"mousemove", "300", "200"});
    EXPECT_FALSE(show->waitForFinished(800)) << "the show ended without a character key";
    EXPECT_TRUE(WallFilesPresent());
    XdoTool({"key", "Escape"});
    EXPECT_TRUE(show->waitForFinished(5000));
    EXPECT_FALSE(WallFilesPresent());
}

TEST_F(Program, SpaceAClickAndTerminationEachEndTheShowAndRemoveTheWallFiles) {
    const std::vector<std::pair<QStringList, std::function<void(QProcess*)>>> endings{
        {{"/s"}, [](QProcess*) { XdoTool({"key", "space"}); }},
        {{}, [](QProcess*) { XdoTool({"click", "1"}); }},
        {{"/s"}, [](QProcess* p) { p->terminate(); }},
    };
    for (const auto& [args, end] : endings) {
        PlantWallFiles();
        QProcess* show = StartShow(args);
        end(show);
        EXPECT_TRUE(show->waitForFinished(5000));
        EXPECT_EQ(show->exitStatus(), QProcess::NormalExit);
        EXPECT_FALSE(WallFilesPresent());
    }
}

TEST_F(Program, WithoutOpenGLATerminationWhileTheDeviceMessageIsUpEndsTheShow) {
    PlantWallFiles();
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    QProcess* show = Start({"/s"});
    ASSERT_TRUE(WaitFor([&] { return ShowsAWindow(show->processId()); }, 10000)) << "no device message";
    QElapsedTimer t;
    t.start();
    show->terminate();
    EXPECT_TRUE(show->waitForFinished(3000));
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(WallFilesPresent());
}

TEST_F(Program, ATerminationDuringTheSettingsLoadEndsTheProgramSavingNothing) {
    QProcess* dialog = Start({"/c"});
    // The title exists from the start of the load, before the window is shown.
    ASSERT_TRUE(WaitFor([] { return WindowWithTitleExists(QStringLiteral("<Quelm>")); }, 10000));
    dialog->terminate();
    EXPECT_TRUE(dialog->waitForFinished(1000));
    EXPECT_FALSE(QFile::exists(dir.filePath("Quelm.ini")));
}

// The preview's picture at the host's size, as the preview draws it.
QImage PreviewPicture(QSize size) {
    QImage picture(qEnvironmentVariable("QUELM_SOURCE_DIR") + "/assets/preview.jpg");
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
}

// The mean difference of two pictures of one size, in levels of 255 a channel.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

TEST_F(Program, PreviewFillsTheHostWindowWithItsPictureAndEndsWhenTheHostGoes) {
    auto host = std::make_unique<QRasterWindow>();
    host->setGeometry(50, 50, 300, 220);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    const auto hostId = static_cast<uint32_t>(host->winId());
    QProcess* preview = Start({"/p", QString::number(hostId)});
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(hostId).empty(); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return ChildSizes(hostId).front() == QSize(300, 220); }, 5000));
    EXPECT_TRUE(WindowWithTitleExists(QStringLiteral("Preview Window")));
    EXPECT_FALSE(QFile::exists(dir.filePath("Quelm.ini")));
    const QImage expected = PreviewPicture(QSize(300, 220));
    ASSERT_FALSE(expected.isNull());
    auto shown = [&] { return QGuiApplication::primaryScreen()->grabWindow(hostId).toImage().convertToFormat(QImage::Format_RGB32); };
    EXPECT_TRUE(WaitFor([&] { return MeanDifference(shown(), expected) < 6; }, 5000))
        << "mean difference " << MeanDifference(shown(), expected);

    QElapsedTimer t;
    host.reset(); // the host goes away, and our child with it
    t.start();
    QGuiApplication::sync();
    EXPECT_TRUE(preview->waitForFinished(3000));
    EXPECT_LT(t.elapsed(), 1000) << "the preview outlived its host by " << t.elapsed() << " ms";
}

TEST_F(Program, PreviewEndsWhenTheHostDestroysItsWindowAndLivesOn) {
    QRasterWindow host;
    host.setGeometry(50, 50, 200, 150);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const auto hostId = static_cast<uint32_t>(host.winId());
    QProcess* preview = Start({"/p", QString::number(hostId)});
    ASSERT_TRUE(WaitFor([&] { return !ChildSizes(hostId).empty(); }, 10000));
    ChildSizes(hostId, true);
    EXPECT_TRUE(preview->waitForFinished(3000));
}

TEST_F(Program, PreviewWithAHandleThatIsNotAWindowEndsShowingNothing) {
    EXPECT_EQ(RunToEnd({"/p", "1234"}, 3000), 0);
    EXPECT_EQ(RunToEnd({"/p:abc"}, 3000), 0);
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Preview Window")));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
