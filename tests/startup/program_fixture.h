// Tests that run the real program: a private copy of it (which keeps its INI and wall
// files beside itself), processes that are killed if a test leaves them running, and
// looks at the X server's windows.
#pragma once
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace quelm::testing {

// Polls an outside process's doing until `cond` holds or `ms` pass.
inline bool WaitFor(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (cond()) return true;
        QTest::qWait(20);
    }
    return cond();
}

// The sizes of the child windows of `parent`.
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

class ProgramCopy : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString exe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> running;

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
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(exe, args);
        EXPECT_TRUE(p->waitForStarted(5000));
        running.push_back(std::move(p));
        return running.back().get();
    }
    // Runs to its end; the exit code, or -1 when it still ran after `ms`.
    int RunToEnd(const QStringList& args, int ms = 5000, QByteArray* out = nullptr) {
        QProcess* p = Start(args);
        if (!p->waitForFinished(ms)) return -1;
        if (out) *out = p->readAllStandardOutput();
        return p->exitCode();
    }
    void WriteIni(const QByteArray& bytes) {
        QFile ini(dir.filePath("Quelm.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(bytes);
    }
};

} // namespace quelm::testing
