// The program started with /c on a real X server: the settings dialog appears under its
// title, a click on "設定" writes the INI file beside the program and ends it. A picture
// of the screen with the dialog is left in the test's working folder
// (settings_dialog.png) for a person to look at.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int kStartMs = 20000;
constexpr int kPollMs = 100;
// "設定" at 96 dots per inch: 5700, 5400 twips with 1155 x 375 twips, its middle.
constexpr int kSetButtonX = 380 + 38;
constexpr int kSetButtonY = 360 + 12;

QString RunTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(10000);
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The X window titled exactly "<Quelm>", or empty text; polled while the program starts.
QString WaitForDialogWindow(QProcess& program) {
    QDeadlineTimer deadline(kStartMs);
    while (!deadline.hasExpired() && program.state() == QProcess::Running) {
        const QString ids = RunTool(QStringLiteral("xdotool"),
                                {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^<Quelm>$")});
        if (!ids.isEmpty()) return ids.split(QLatin1Char('\n')).first();
        QThread::msleep(kPollMs);
    }
    return {};
}

TEST(SettingsMode, DialogAppearsUnderItsTitleAndSettingWritesTheIniAndEndsTheProgram) {
    const QString exe = qEnvironmentVariable("QUELM_EXE");
    ASSERT_FALSE(exe.isEmpty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("quelm"));
    ASSERT_TRUE(QFile::copy(exe, copy));
    const QString ini = dir.filePath(QStringLiteral("Quelm.ini"));

    QProcess program;
    program.start(copy, {QStringLiteral("/c")});
    ASSERT_TRUE(program.waitForStarted());
    const QString window = WaitForDialogWindow(program);
    ASSERT_FALSE(window.isEmpty()) << "no window titled <Quelm>; program "
                                   << (program.state() == QProcess::Running ? "running" : "ended");
    // Let the opening animation end and the dialog paint before the picture is taken.
    QThread::msleep(1500);
    EXPECT_FALSE(QFile::exists(ini));
    // The whole screen, as the X server shows it.
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    EXPECT_FALSE(screen.isNull());
    EXPECT_TRUE(screen.save(QDir::current().filePath(QStringLiteral("settings_dialog.png"))));

    int clickExit = -1;
    RunTool(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(kSetButtonX),
         QString::number(kSetButtonY), QStringLiteral("click"), QStringLiteral("1")},
        &clickExit);
    EXPECT_EQ(clickExit, 0);
    EXPECT_TRUE(program.waitForFinished(10000)) << "the program did not end after 設定";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    QFile written(ini);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << "no INI file beside the program";
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith("[Section]\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("Path6=\n"));
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
