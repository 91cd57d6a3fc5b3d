// Tests that run the real program: a private copy of it (which keeps its INI and wall
// files beside itself), processes that are killed if a test leaves them running, and
// looks at the X server's windows and pixels.
#pragma once
#include "platform/x11/screenshot.h"
#include "platform/x11/windows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRasterWindow>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace quelm::testing {

using x11::RootScreenshot;

// The share of the pixels of two pictures of one size that differ noticeably.
inline double Differing(const QImage& a, const QImage& b) {
    long long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            n += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)) > 30;
        }
    return double(n) / (double(a.width()) * a.height());
}

// The child windows of `parent`, with their sizes.
inline std::vector<QSize> ChildSizes(uint32_t parent) {
    std::vector<QSize> out;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr)) {
        xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            if (auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, kids[i]), nullptr)) {
                out.emplace_back(g->width, g->height);
                std::free(g);
            }
        std::free(tree);
    }
    xcb_disconnect(c);
    return out;
}

// Whether a window with exactly this title is shown within 10 s.
inline bool ShownSoon(const char* title) {
    return QTest::qWaitFor([&] { return x11::WindowWithTitleShown(QString::fromUtf8(title)); }, 10000);
}

// Whether the process `pid` shows a top-level window of its own (one a user could see).
inline bool ShowsAWindow(qint64 pid) {
    QProcess x;
    x.start("xdotool", {"search", "--maxdepth", "1", "--onlyvisible", "--pid", QString::number(pid)});
    return x.waitForFinished(5000) && x.exitCode() == 0;
}

// Does `end` and checks that `p` ends within a second of it.
inline ::testing::AssertionResult EndsWithinASecond(QProcess* p, const std::function<void()>& end) {
    QElapsedTimer t;
    t.start();
    end();
    if (!p->waitForFinished(3000)) return ::testing::AssertionFailure() << "still running after 3 s";
    if (t.elapsed() >= 1000) return ::testing::AssertionFailure() << "ended after " << t.elapsed() << " ms";
    return ::testing::AssertionSuccess();
}

// A screensaver daemon's or a settings program's window, or a desktop: a busy pattern, so
// that what the show captures has something on it; squares in `left`'s colour on its left
// half and in `right`'s on its right, each on a darker ground.
class HostWindow : public QRasterWindow {
public:
    explicit HostWindow(const QRect& r, QColor left = QColor(200, 40, 40), QColor right = QColor(30, 30, 160),
                        bool managed = false)
        : left_(left), right_(right) {
        setGeometry(r);
        setFlags(managed ? Qt::Window : Qt::Window | Qt::FramelessWindowHint);
        show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
    }
    uint32_t Id() { return static_cast<uint32_t>(winId()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int y = 0; y < height(); y += 40)
            for (int x = 0; x < width(); x += 40) {
                const QColor c = x < width() / 2 ? left_ : right_;
                p.fillRect(x, y, 40, 40, ((x + y) / 40) % 2 ? c : c.darker(300));
            }
    }
    QColor left_, right_;
};

class ProgramCopy : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString exe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> running;
    QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel;

    void SetUp() override {
        exe = dir.filePath("quelm");
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("QUELM_EXE"), exe));
    }
    void TearDown() override {
        for (auto& p : running)
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
    }
    QProcess* Start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(channels);
        p->start(exe, args);
        EXPECT_TRUE(p->waitForStarted(5000));
        running.push_back(std::move(p));
        return running.back().get();
    }
    // Runs to its end; the exit code, or -1 when it still ran after `ms`.
    int RunToEnd(const QStringList& args, int ms = 5000) {
        QProcess* p = Start(args);
        return p->waitForFinished(ms) ? p->exitCode() : -1;
    }
    bool IniWritten() const { return QFile::exists(dir.filePath("Quelm.ini")); }
    void WriteIni(const QByteArray& bytes) {
        QFile ini(dir.filePath("Quelm.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(bytes);
    }
};

} // namespace quelm::testing
