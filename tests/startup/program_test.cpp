// The real program in real processes on a real X server: its modes, the single-instance
// test, the preview inside a host window, and the show's ending.
#include "tests/startup/program_fixture.h"

#include <QApplication>
#include <QDir>

namespace {

using namespace quelm::testing;
using quelm::x11::WindowWithTitleExists;

class Program : public ProgramCopy {
protected:
    bool WallFilesPresent() const { return !QDir(dir.path()).entryList({"Quib?.bmp"}, QDir::Files).isEmpty(); }
    // Walls left from elsewhere, and a picture kind that prepares none: the show must
    // still remove them when it ends.
    void PlantWallFiles() {
        for (int i = 1; i <= 6; ++i)
            ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("Quib%1.bmp").arg(i))).open(QFile::WriteOnly));
        WriteIni("[Section]\nPic\x8B\xE6\x95\xAA= 2\n");
    }
    static void XdoTool(const QStringList& args) { ASSERT_EQ(QProcess::execute("xdotool", args), 0); }
};

// What it records is checked by render_pictures_test; here the sizes it cannot make.
TEST_F(Program, RecordingRefusesSizesItCannotMake) {
    for (const char* refused : {"0x0", "99999x10"})
        EXPECT_EQ(RunToEnd({"--record", dir.filePath("rec"), "--size", refused}), 2) << refused;
}

TEST_F(Program, UnknownSwitchesAndPreviewHandlesThatAreNoWindowEndAtOnceShowingNothing) {
    for (const QStringList& args :
         {QStringList{"/a"}, QStringList{"xyz"}, QStringList{"/p", "1234"}, QStringList{"/p:abc"}})
        EXPECT_EQ(RunToEnd(args, 3000), 0) << args.join(' ').toStdString();
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Preview Window")));
    EXPECT_FALSE(IniWritten());
}

TEST_F(Program, AnOpenShowOrSettingsDialogMakesEveryNewStartEndAtOnce) {
    for (const auto& [mode, title] : {std::pair{"/s", "Quib_Main"}, std::pair{"/c", "<Quelm>"}}) {
        QProcess* first = Start({mode});
        ASSERT_TRUE(ShownSoon(title)) << title;
        for (const QStringList& args : {QStringList{"/s"}, QStringList{"/c"}, QStringList{"/p", "1234"}, QStringList{}})
            EXPECT_EQ(RunToEnd(args), 0) << title << ": " << args.join(' ').toStdString();
        first->terminate(); // closes the dialog as its close box would
        EXPECT_TRUE(first->waitForFinished(5000)) << title;
    }
    EXPECT_FALSE(IniWritten()) << "closing saves nothing";
}

// A click on "設定" (its middle at 96 dots per inch, in the dialog) writes the INI file beside
// the program and ends it; clicks are repeated until the opening animation is over.
TEST_F(Program, SetInTheSettingsDialogWritesTheIniBesideTheProgramAndEndsIt) {
    constexpr int kSetButtonX = 380 + 38, kSetButtonY = 360 + 12;
    QProcess* dialog = Start({"/c"});
    ASSERT_TRUE(ShownSoon("<Quelm>"));
    // Not checked: the window may go between xdotool's search and its click; the end is checked.
    for (int i = 0; i < 20 && dialog->state() == QProcess::Running && !dialog->waitForFinished(500); ++i)
        QProcess::execute("xdotool", {"search", "--name", "^<Quelm>$", "mousemove", "--window", "%1",
                                      QString::number(kSetButtonX), QString::number(kSetButtonY), "click", "1"});
    ASSERT_EQ(dialog->state(), QProcess::NotRunning) << "no end after 設定";
    EXPECT_TRUE(dialog->exitStatus() == QProcess::NormalExit && dialog->exitCode() == 0);
    QFile written(dir.filePath("Quelm.ini"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << "no INI file beside the program";
    const QByteArray bytes = written.readAll(); // its bytes: the settings and dialog tests
    EXPECT_TRUE(bytes.startsWith("[Section]\n") && bytes.contains("Path6=\n")) << bytes.toStdString();
}

TEST_F(Program, ATerminationDuringTheSettingsLoadEndsTheProgramSavingNothing) {
    QProcess* dialog = Start({"/c"});
    // The title exists from the start of the load, before the window is shown.
    ASSERT_TRUE(QTest::qWaitFor([] { return WindowWithTitleExists(QStringLiteral("<Quelm>")); }, 10000));
    dialog->terminate();
    EXPECT_TRUE(dialog->waitForFinished(1000));
    EXPECT_FALSE(IniWritten());
}

// Keys that type nothing and mouse moves leave the show running; Esc, a click (on the show
// started without a switch) and a termination each end it and remove the wall files.
TEST_F(Program, KeysThatTypeNothingLeaveTheShowAndEveryEndingRemovesTheWallFiles) {
    for (const QString ending : {"key Escape", "click 1", "SIGTERM"}) {
        PlantWallFiles();
        QProcess* show = Start(ending == "click 1" ? QStringList{} : QStringList{"/s"});
        ASSERT_TRUE(ShownSoon("Quib_Main"));
        if (ending == "key Escape") {
            for (const char* key : {"shift", "Left", "F5", "Delete", "alt+a"}) XdoTool({"key", key});
            XdoTool({"mousemove", "100", "100"});
            XdoTool({"mousemove", "300", "200"});
            EXPECT_FALSE(show->waitForFinished(800)) << "the show ended without a character key";
            EXPECT_TRUE(WallFilesPresent());
        }
        if (ending == "SIGTERM")
            show->terminate();
        else
            XdoTool(ending.split(' '));
        EXPECT_TRUE(show->waitForFinished(5000)) << ending.toStdString();
        EXPECT_EQ(show->exitStatus(), QProcess::NormalExit);
        EXPECT_FALSE(WallFilesPresent());
    }
}

TEST_F(Program, WithoutOpenGLATerminationWhileTheDeviceMessageIsUpEndsTheShow) {
    PlantWallFiles();
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    QProcess* show = Start({"/s"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ShowsAWindow(show->processId()); }, 10000)) << "no device message";
    EXPECT_TRUE(EndsWithinASecond(show, [&] { show->terminate(); }));
    EXPECT_EQ(show->exitCode(), 0);
    EXPECT_FALSE(WallFilesPresent());
}

// The preview fills its host with its picture, and ends at once when the host goes away.
TEST_F(Program, PreviewFillsTheHostWindowWithItsPictureAndEndsWithTheHost) {
    const QRect area(50, 50, 300, 220);
    auto host = std::make_unique<HostWindow>(area);
    const uint32_t hostId = host->Id();
    QProcess* preview = Start({"/p", QString::number(hostId)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ChildSizes(hostId) == std::vector{area.size()}; }, 10000));
    EXPECT_TRUE(WindowWithTitleExists(QStringLiteral("Preview Window")));
    const QImage expected = QImage(qEnvironmentVariable("QUELM_SOURCE_DIR") + "/assets/preview.jpg")
                                .scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Differing(RootScreenshot(area), expected) < 0.02; }, 5000))
        << "differing " << Differing(RootScreenshot(area), expected);
    EXPECT_TRUE(EndsWithinASecond(preview, [&] {
        host.reset(); // and our child with it
        QGuiApplication::sync();
    })) << "the preview outlived its host";
    EXPECT_FALSE(IniWritten());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
