// The show's window with recorders in place of the renderer and the music: the order of
// its load step, its timers, what ends it and its close request.
#include "platform/cursor.h"
#include "saver/load_rules.h"
#include "saver/saver_window.h"

#include <QFile>
#include <QApplication>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace quelm;

namespace {

using Log = std::vector<std::string>;

class RecordingRenderer : public ShowRenderer {
public:
    explicit RecordingRenderer(Log& log) : log_(log) {}
    std::string failOn; // a call that throws, as a failing step would
    int ticks = 0;
    void CaptureDesktopWalls() override { Note("CaptureDesktopWalls"); }
    void PrepareUserWalls() override { Note("PrepareUserWalls"); }
    bool InitDevice(QWindow&) override { Note("InitDevice"); return true; }
    void BuildBoxVertices() override { Note("BuildBoxVertices"); }
    void InitScene() override { Note("InitScene"); }
    void StartMotion() override { Note("StartMotion"); }
    void Tick() override {
        if (++ticks > 1 && failOn == "Tick") throw std::runtime_error("no frame");
    }
    void ReleaseVertexBuffer() override { Note("ReleaseVertexBuffer"); }
    void ReleaseDevice() override { Note("ReleaseDevice"); }

private:
    void Note(const std::string& call) {
        log_.push_back(call);
        if (call == failOn) throw std::runtime_error(call);
    }
    Log& log_;
};

class RecordingMusic : public ShowMusic {
public:
    explicit RecordingMusic(Log& log) : log_(log) {}
    bool keepPolling = true;
    int polls = 0, keeps = 0;
    void CDOpen() override { log_.push_back("CDOpen"); }
    bool CDPoll() override { ++polls; return keepPolling; }
    void CDClose() override { log_.push_back("CDClose"); }
    void MP3Open() override { log_.push_back("MP3Open"); }
    void MP3Keep() override { ++keeps; }
    void MP3Close() override { log_.push_back("MP3Close"); }
    void WAVStart() override { log_.push_back("WAVStart"); }
    void WAVStop() override { log_.push_back("WAVStop"); }

private:
    Log& log_;
};

class Show : public ::testing::Test {
protected:
    Log log;
    Settings settings;
    RecordingRenderer renderer{log};
    RecordingMusic music{log};
    QTemporaryDir dir;
    int ended = 0;
    std::unique_ptr<SaverWindow> window;

    SaverWindow& Make(bool cursorHidden = false) {
        SaverOptions options;
        options.wallFolder = dir.path().toStdString();
        options.cursorHiddenAtStart = cursorHidden;
        options.grabInput = false;
        options.endProgram = [this] { ++ended; };
        window = std::make_unique<SaverWindow>(settings, renderer, music, options);
        return *window;
    }
    SaverWindow& Loaded(bool cursorHidden = false) {
        SaverWindow& w = Make(cursorHidden);
        w.Load();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        log.clear();
        return w;
    }
    void SetAllPaths() {
        for (int i = 1; i <= 6; ++i) settings.PicPath[i] = QStringLiteral("/p%1.jpg").arg(i);
    }
    void PlantWallFiles() {
        for (int i = 1; i <= 6; ++i) {
            QFile f(QString::fromStdString(WallFile(dir.path().toStdString(), i).string()));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
    int WallFilesLeft() {
        int n = 0;
        for (int i = 1; i <= 6; ++i) n += QFile::exists(QString::fromStdString(WallFile(dir.path().toStdString(), i).string()));
        return n;
    }
};

} // namespace

TEST_F(Show, LoadRunsItsStepsInOrderAndShowsTheWindowLast) {
    settings.BGMKind = kBgmCd;
    SaverWindow& w = Make();
    EXPECT_EQ(w.title(), "Quib_Main");
    EXPECT_FALSE(w.Timer1Active() || w.Timer2Active() || w.Timer3Active()) << "timers start disabled";
    w.Load();
    EXPECT_EQ(log, (Log{"CaptureDesktopWalls", "CDOpen", "InitDevice", "BuildBoxVertices", "InitScene", "StartMotion"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Timer2Active());
    EXPECT_FALSE(w.Timer1Active());
    EXPECT_TRUE(w.Timer3Active());
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderer.ticks >= 3; }, 2000)) << "the frame timer ticks";
    EXPECT_EQ(w.geometry(), QGuiApplication::primaryScreen()->geometry());
}

TEST_F(Show, PictureSourceFallsBackToTheDesktopWhenAPathIsEmpty) {
    settings.PicKind = kPicFiles;
    SetAllPaths();
    settings.PicPath[3].clear();
    Make().Load();
    EXPECT_EQ(log.front(), "CaptureDesktopWalls");
    EXPECT_EQ(settings.PicKind, kPicDesktop);
}

TEST_F(Show, PictureSourceOfSixFilesOrOfNeither) {
    settings.PicKind = kPicFiles;
    SetAllPaths();
    Make().Load();
    EXPECT_EQ(log.front(), "PrepareUserWalls");
    EXPECT_EQ(settings.PicKind, kPicFiles);
    log.clear();
    settings.PicKind = 2;
    Make().Load();
    EXPECT_EQ(log.front(), "InitDevice") << "kind 2 prepares no walls";
}

TEST_F(Show, MusicFileTypeIsToldByItsExtensionWhateverItsCase) {
    settings.BGMKind = kBgmFile;
    settings.BGMFile = "/m/song.Mp3";
    SaverWindow& mp3 = Make();
    mp3.Load();
    EXPECT_EQ(log[1], "MP3Open");
    EXPECT_TRUE(mp3.Timer1Active());
    EXPECT_FALSE(mp3.Timer2Active());

    log.clear();
    settings.BGMFile = "/m/loop.WAV";
    SaverWindow& wav = Make();
    wav.Load();
    EXPECT_EQ(log[1], "WAVStart");
    EXPECT_FALSE(wav.Timer1Active());

    log.clear();
    settings.BGMFile = "/m/song.wma";
    SaverWindow& wma = Make();
    wma.Load();
    EXPECT_EQ(log[1], "InitDevice");
    EXPECT_FALSE(wma.Timer1Active() || wma.Timer2Active());

    EXPECT_EQ(MusicFileTypeOf("x.mp3"), MusicFileType::Mp3);
    EXPECT_EQ(MusicFileTypeOf("mp3"), MusicFileType::Mp3);
    EXPECT_EQ(MusicFileTypeOf("p3"), MusicFileType::None);
    EXPECT_EQ(MusicFileTypeOf(""), MusicFileType::None);
}

TEST_F(Show, AFailingStepIsReportedOnceAndTheNextOnesRun) {
    renderer.failOn = "InitDevice";
    SaverWindow& w = Make();
    testing::internal::CaptureStderr();
    w.Load();
    EXPECT_EQ(log, (Log{"CaptureDesktopWalls", "InitDevice", "BuildBoxVertices", "InitScene", "StartMotion"}));
    EXPECT_TRUE(w.Timer3Active());
    renderer.failOn = "Tick"; // every frame fails from the second on: one report
    EXPECT_TRUE(QTest::qWaitFor([&] { return renderer.ticks >= 5; }, 5000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quelm: making the 3D device: InitDevice\nquelm: drawing a frame: no frame\n");
}

TEST_F(Show, CdPollingStopsForGoodWhenAPollFailsAndThenTheCloseLeavesTheCdAlone) {
    settings.BGMKind = kBgmCd;
    music.keepPolling = false;
    SaverWindow& w = Loaded();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Timer2Active(); }, 2000));
    EXPECT_EQ(music.polls, 1);
    w.close();
    EXPECT_EQ(log, Log{}) << "no CDClose";
    EXPECT_EQ(ended, 1);
}

TEST_F(Show, MusicTimersDriveThePollAndTheKeepAlive) {
    settings.BGMKind = kBgmCd;
    SaverWindow& cd = Loaded();
    EXPECT_TRUE(QTest::qWaitFor([&] { return music.polls >= 2; }, 2000));
    EXPECT_TRUE(cd.Timer2Active());
    settings.BGMKind = kBgmFile;
    settings.BGMFile = "/m/a.mp3";
    Loaded();
    EXPECT_TRUE(QTest::qWaitFor([&] { return music.keeps >= 1; }, 3000));
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
}

TEST_F(Show, CharacterKeysEndTheShowAndOtherKeysAndMouseMovesDoNot) {
    const std::pair<Qt::Key, Qt::KeyboardModifiers> enders[] = {
        {Qt::Key_Space, {}}, {Qt::Key_Escape, {}}, {Qt::Key_A, {}}, {Qt::Key_Return, {}},
        {Qt::Key_Tab, {}}, {Qt::Key_Backspace, {}}, {Qt::Key_C, Qt::ControlModifier}};
    // With the text the X server gives for each.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, QString> quiet[] = {
        {Qt::Key_Shift, {}, ""}, {Qt::Key_Control, {}, ""}, {Qt::Key_Alt, {}, ""}, {Qt::Key_Left, {}, ""},
        {Qt::Key_F1, {}, ""}, {Qt::Key_Delete, {}, "\x7f"}, {Qt::Key_A, Qt::AltModifier, "a"},
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

TEST_F(Show, CloseFromTheSystemSkipsTheRendererReleaseAndStopsTheFileMusic) {
    settings.BGMKind = kBgmFile;
    settings.BGMFile = "/m/loop.wav";
    PlantWallFiles();
    SaverWindow& w = Loaded();
    w.close();
    EXPECT_EQ(log, Log{"WAVStop"});
    EXPECT_EQ(WallFilesLeft(), 0);
    settings.BGMFile = "/m/song.mp3";
    Loaded().close();
    EXPECT_EQ(log, Log{"MP3Close"});
}

TEST_F(Show, ThePointerIsShownAgainOnlyWhenItWasHiddenAtStart) {
    const int before = platform::CursorCounter();
    Loaded(false).close();
    EXPECT_EQ(platform::CursorCounter(), before);
    platform::ShowCursor(false);
    Loaded(true).close();
    EXPECT_EQ(platform::CursorCounter(), before);
}

TEST_F(Show, TheCloseRequestRunsOnce) {
    settings.BGMKind = kBgmCd;
    SaverWindow& w = Loaded();
    w.EndShow();
    w.close();
    w.EndShow();
    EXPECT_EQ(log, (Log{"ReleaseVertexBuffer", "ReleaseDevice", "CDClose"}));
    EXPECT_EQ(ended, 1);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
