// The show's window with recorders in place of the renderer and the music: the order of
// its load step, its timers, what ends it and its close request.
#include "platform/cursor.h"
#include "saver/load_rules.h"
#include "saver/saver_window.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace quelm;

namespace {

using Log = std::vector<std::string>;

// Stands in for the renderer and the music, logging their calls in order. A call named in
// `failOn` throws, as a failing step would; "Tick" fails every frame from the second on.
class Show : public ::testing::Test, public ShowRenderer, public ShowMusic {
protected:
    Log log;
    std::string failOn;
    int ticks = 0, polls = 0, keeps = 0;
    bool keepPolling = true;
    Settings settings;
    QTemporaryDir dir;
    int ended = 0;
    std::unique_ptr<SaverWindow> window;

    void Note(const std::string& call) {
        log.push_back(call);
        if (call == failOn) throw std::runtime_error(call);
    }
    void CaptureDesktopWalls() override { Note("CaptureDesktopWalls"); }
    void PrepareUserWalls() override { Note("PrepareUserWalls"); }
    bool InitDevice(QWindow&) override {
        Note("InitDevice");
        return true;
    }
    void BuildBoxVertices() override { Note("BuildBoxVertices"); }
    void InitScene() override { Note("InitScene"); }
    void StartMotion() override { Note("StartMotion"); }
    void Tick() override {
        if (++ticks > 1 && failOn == "Tick") throw std::runtime_error("no frame");
    }
    void ReleaseVertexBuffer() override { Note("ReleaseVertexBuffer"); }
    void ReleaseDevice() override { Note("ReleaseDevice"); }
    void CDOpen() override { Note("CDOpen"); }
    bool CDPoll() override {
        ++polls;
        return keepPolling;
    }
    void CDClose() override { Note("CDClose"); }
    void MP3Open() override { Note("MP3Open"); }
    void MP3Keep() override { ++keeps; }
    void MP3Close() override { Note("MP3Close"); }
    void WAVStart() override { Note("WAVStart"); }
    void WAVStop() override { Note("WAVStop"); }

    SaverWindow& Make(bool cursorHidden = false) {
        SaverOptions options;
        options.wallFolder = dir.path().toStdString();
        options.cursorHiddenAtStart = cursorHidden;
        options.grabInput = false;
        options.endProgram = [this] { ++ended; };
        window = std::make_unique<SaverWindow>(settings, *this, *this, options);
        return *window;
    }
    SaverWindow& Loaded(bool cursorHidden = false, bool clearLog = true) {
        SaverWindow& w = Make(cursorHidden);
        w.Load();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        if (clearLog) log.clear();
        return w;
    }
    QString Wall(int i) const { return QString::fromStdString(WallFile(dir.path().toStdString(), i).string()); }
    void PlantWallFiles() {
        for (int i = 1; i <= 6; ++i) ASSERT_TRUE(QFile(Wall(i)).open(QIODevice::WriteOnly));
    }
    int WallFilesLeft() {
        int n = 0;
        for (int i = 1; i <= 6; ++i) n += QFile::exists(Wall(i));
        return n;
    }
};

} // namespace

TEST_F(Show, LoadRunsItsStepsInOrderShowsTheWindowLastAndStartsItsTimers) {
    settings.BGMKind = kBgmCd;
    SaverWindow& w = Make();
    EXPECT_EQ(w.title(), "Quib_Main");
    EXPECT_FALSE(w.Timer1Active() || w.Timer2Active() || w.Timer3Active()) << "timers start disabled";
    w.Load();
    EXPECT_EQ(log,
              (Log{"CaptureDesktopWalls", "CDOpen", "InitDevice", "BuildBoxVertices", "InitScene", "StartMotion"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_FALSE(w.Timer1Active());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3 && polls >= 2; }, 2000)) << "frames, CD polls";
    EXPECT_TRUE(w.Timer2Active() && w.Timer3Active());
}

// Six picture files, or the desktop when a path is empty; kind 2 prepares no walls.
TEST_F(Show, PictureSourceIsTheFilesTheDesktopOrNeither) {
    const std::tuple<int, bool, const char*, int> rows[] = {{kPicFiles, true, "PrepareUserWalls", kPicFiles},
                                                            {kPicFiles, false, "CaptureDesktopWalls", kPicDesktop},
                                                            {2, true, "InitDevice", 2}};
    for (const auto& [kind, allPaths, first, kindAfter] : rows) {
        settings.PicKind = kind;
        for (int i = 1; i <= 6; ++i) settings.PicPath[i] = QStringLiteral("/p%1.jpg").arg(i);
        if (!allPaths) settings.PicPath[3].clear();
        log.clear();
        Make().Load();
        EXPECT_EQ(log.front(), first);
        EXPECT_EQ(settings.PicKind, kindAfter);
    }
}

// The music file's type is told by its extension, whatever its case; MP3 is kept alive. A
// close from the system skips the renderer's release, stops the music and removes the walls.
TEST_F(Show, MusicFileTypeIsToldByItsExtensionAndACloseStopsThatMusic) {
    settings.BGMKind = kBgmFile;
    const std::tuple<const char*, const char*, bool, Log> rows[] = {{"/m/song.Mp3", "MP3Open", true, {"MP3Close"}},
                                                                    {"mp3", "MP3Open", true, {"MP3Close"}},
                                                                    {"/m/loop.WAV", "WAVStart", false, {"WAVStop"}},
                                                                    {"/m/song.wma", "InitDevice", false, {}},
                                                                    {"p3", "InitDevice", false, {}},
                                                                    {"", "InitDevice", false, {}}};
    for (const auto& [file, call, mp3, closing] : rows) {
        settings.BGMFile = file;
        PlantWallFiles();
        log.clear();
        keeps = 0;
        SaverWindow& w = Loaded(false, false);
        EXPECT_EQ(log[1], call) << file;
        EXPECT_EQ(w.Timer1Active(), mp3) << file;
        EXPECT_FALSE(w.Timer2Active()) << file;
        EXPECT_TRUE(!mp3 || QTest::qWaitFor([&] { return keeps >= 1; }, 3000)) << file;
        log.clear();
        w.close();
        EXPECT_EQ(log, closing) << file;
        EXPECT_EQ(WallFilesLeft(), 0) << file;
    }
}

TEST_F(Show, AFailingStepIsReportedOnceAndTheNextOnesRun) {
    failOn = "InitDevice";
    SaverWindow& w = Make();
    testing::internal::CaptureStderr();
    w.Load();
    EXPECT_EQ(log, (Log{"CaptureDesktopWalls", "InitDevice", "BuildBoxVertices", "InitScene", "StartMotion"}));
    EXPECT_TRUE(w.Timer3Active());
    failOn = "Tick"; // every frame fails from the second on: one report
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 5000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quelm: making the 3D device: InitDevice\nquelm: drawing a frame: no frame\n");
}

TEST_F(Show, CdPollingStopsForGoodWhenAPollFailsAndThenTheCloseLeavesTheCdAlone) {
    settings.BGMKind = kBgmCd;
    keepPolling = false;
    SaverWindow& w = Loaded();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Timer2Active(); }, 2000));
    EXPECT_EQ(polls, 1);
    w.close();
    EXPECT_EQ(log, Log{}) << "no CDClose";
    EXPECT_EQ(ended, 1);
}

TEST_F(Show, AClickReleasesTheRendererThenTheCloseStopsMusicAndRemovesWalls) {
    settings.BGMKind = kBgmCd;
    PlantWallFiles();
    SaverWindow& w = Loaded();
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(log, (Log{"ReleaseVertexBuffer", "ReleaseDevice", "CDClose"}));
    EXPECT_EQ(WallFilesLeft(), 0);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.Timer2Active() || w.Timer3Active());
    w.close(); // the close request runs once
    w.EndShow();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(ended, 1);
}

TEST_F(Show, CharacterKeysEndTheShowAndOtherKeysAndMouseMovesDoNot) {
    const std::pair<Qt::Key, Qt::KeyboardModifiers> enders[] = {{Qt::Key_Space, {}},
                                                                {Qt::Key_Escape, {}},
                                                                {Qt::Key_A, {}},
                                                                {Qt::Key_Return, {}},
                                                                {Qt::Key_Tab, {}},
                                                                {Qt::Key_Backspace, {}},
                                                                {Qt::Key_C, Qt::ControlModifier}};
    // With the text the X server gives for each.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, QString> quiet[] = {{Qt::Key_Shift, {}, ""},
                                                                         {Qt::Key_Control, {}, ""},
                                                                         {Qt::Key_Alt, {}, ""},
                                                                         {Qt::Key_Left, {}, ""},
                                                                         {Qt::Key_F1, {}, ""},
                                                                         {Qt::Key_Delete, {}, "\x7f"},
                                                                         {Qt::Key_A, Qt::AltModifier, "a"},
                                                                         {Qt::Key_Dead_Acute, {}, ""}};
    for (auto [key, modifiers] : enders) {
        ended = 0;
        SaverWindow& w = Loaded();
        QTest::mouseMove(&w, QPoint(5, 5));
        QTest::mouseMove(&w, QPoint(300, 200));
        for (const auto& [q, m, text] : quiet) QTest::sendKeyEvent(QTest::Press, &w, q, text, m);
        EXPECT_EQ(ended, 0) << "ended before key " << key;
        QTest::keyClick(&w, key, modifiers);
        EXPECT_EQ(ended, 1) << "key " << key;
    }
}

TEST_F(Show, ThePointerIsShownAgainOnlyWhenItWasHiddenAtStart) {
    const int before = platform::CursorCounter();
    Loaded(false).close();
    EXPECT_EQ(platform::CursorCounter(), before);
    platform::ShowCursor(false);
    Loaded(true).close();
    EXPECT_EQ(platform::CursorCounter(), before);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
