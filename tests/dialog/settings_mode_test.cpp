// The program started with /c on a real X server: the settings dialog appears under its
// title, and a click on "設定" writes the INI file beside the program and ends it.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The middle of "設定" at 96 dots per inch, in the window.
constexpr int kSetButtonX = 380 + 38;
constexpr int kSetButtonY = 360 + 12;

QString Xdotool(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

TEST(SettingsMode, DialogAppearsUnderItsTitleAndSettingWritesTheIniAndEndsTheProgram) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("quelm"));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("QUELM_EXE"), copy));
    QProcess program;
    program.start(copy, {QStringLiteral("/c")});
    ASSERT_TRUE(program.waitForStarted());
    QString window; // the X window titled exactly "<Quelm>", polled while the program starts
    for (QDeadlineTimer deadline(20000); window.isEmpty() && !deadline.hasExpired(); QThread::msleep(100))
        window = Xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^<Quelm>$")})
                     .section(QLatin1Char('\n'), 0, 0);
    ASSERT_FALSE(window.isEmpty()) << "no window titled <Quelm>";
    QThread::msleep(1500); // the opening animation ends before the dialog takes clicks
    QFile written(dir.filePath(QStringLiteral("Quelm.ini")));
    EXPECT_FALSE(written.exists());
    Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(kSetButtonX),
             QString::number(kSetButtonY), QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_TRUE(program.waitForFinished(10000)) << "the program did not end after 設定";
    EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << "no INI file beside the program";
    const QByteArray bytes = written.readAll(); // its bytes: the settings and dialog tests
    EXPECT_TRUE(bytes.startsWith("[Section]\n") && bytes.contains("Path6=\n")) << bytes.toStdString();
    if (program.state() != QProcess::NotRunning) program.kill();
}

} // namespace
