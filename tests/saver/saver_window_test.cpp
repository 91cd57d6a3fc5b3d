// The show's window with recorders in place of the renderer and the music: its load step,
// its timers, what ends it and its close request. That the real show captures the desktop
// before its window shows, and draws, is run by the hack program test.
#include "saver/load_rules.h"
#include "saver/saver_window.h"

#include <QApplication>
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
    bool InitDevice(QWindow&) override { return Note("InitDevice"), true; }
    void BuildBoxVertices() override { Note("BuildBoxVertices"); }
    void InitScene() override { Note("InitScene"); }
    void StartMotion() override { Note("StartMotion"); }
    void Tick() override {
        if (++ticks > 1 && failOn == "Tick") throw std::runtime_error("no frame");
    }
    void ReleaseVertexBuffer() override { Note("ReleaseVertexBuffer"); }
    void ReleaseDevice() override { Note("ReleaseDevice"); }
    void CDOpen() override { Note("CDOpen"); }
    bool CDPoll() override { return ++polls, keepPolling; }
    void CDClose() override { Note("CDClose"); }
    void MP3Open() override { Note("MP3Open"); }
    void MP3Keep() override { ++keeps; }
    void MP3Close() override { Note("MP3Close"); }
    void WAVStart() override { Note("WAVStart"); }
    void WAVStop() override { Note("WAVStop"); }

    SaverWindow& Make() {
        SaverOptions options;
        options.wallFolder = dir.path().toStdString();
        options.grabInput = false;
        options.endProgram = [this] { ++ended; };
        window = std::make_unique<SaverWindow>(settings, *this, *this, options);
        return *window;
    }
    SaverWindow& Loaded(bool clearLog = true) {
        SaverWindow& w = Make();
        w.Load();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        if (clearLog) log.clear();
        return w;
    }
};

} // namespace

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
// close from the system skips the renderer's release and stops the music.
TEST_F(Show, MusicFileTypeIsToldByItsExtensionAndACloseStopsThatMusic) {
    settings.BGMKind = kBgmFile;
    const struct {
        const char *file, *start, *stop; // no stop: nothing to stop
    } rows[] = {{"/m/song.Mp3", "MP3Open", "MP3Close"}, {"mp3", "MP3Open", "MP3Close"},
                {"/m/loop.WAV", "WAVStart", "WAVStop"}, {"/m/song.wma", "InitDevice", nullptr},
                {"p3", "InitDevice", nullptr},          {"", "InitDevice", nullptr}};
    for (const auto& [file, start, stop] : rows) {
        settings.BGMFile = file;
        log.clear();
        keeps = 0;
        SaverWindow& w = Loaded(false);
        const bool mp3 = start == std::string("MP3Open");
        EXPECT_EQ(log[1], start) << file;
        EXPECT_EQ(w.Timer1Active(), mp3) << file;
        EXPECT_FALSE(w.Timer2Active()) << file;
        EXPECT_TRUE(!mp3 || QTest::qWaitFor([&] { return keeps >= 1; }, 3000)) << file;
        log.clear();
        w.close();
        EXPECT_EQ(log, stop ? Log{stop} : Log{}) << file;
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

TEST_F(Show, AClickReleasesTheRendererThenTheCloseStopsTheMusicOnce) {
    settings.BGMKind = kBgmCd;
    SaverWindow& w = Loaded();
    EXPECT_EQ(w.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3 && polls >= 2; }, 2000)) << "frames, CD polls";
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(log, (Log{"ReleaseVertexBuffer", "ReleaseDevice", "CDClose"}));
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.Timer2Active() || w.Timer3Active());
    w.close(); // the close request runs once
    w.EndShow();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(ended, 1);
}

// With the text the X server gives for each key. Escape, and Shift, Left, F5, Delete and Alt+A
// that type nothing, are pressed on the real program in program_test, as are mouse moves.
TEST(Keys, CharacterKeysEndTheShowAndOtherKeysDoNot) {
    const QKeyCombination ctrlC = Qt::ControlModifier | Qt::Key_C;
    const struct {
        QKeyCombination key;
        const char* text;
        bool ends;
    } keys[] = {{Qt::Key_Space, " ", true},   {Qt::Key_A, "a", true},          {Qt::Key_Return, "\r", true},
                {Qt::Key_Tab, "\t", true},    {Qt::Key_Backspace, "\b", true}, {ctrlC, "\x03", true},
                {Qt::Key_Control, "", false}, {Qt::Key_Alt, "", false},        {Qt::Key_Dead_Acute, "", false}};
    for (const auto& k : keys)
        EXPECT_EQ(KeyTypesCharacter(k.key.key(), k.key.keyboardModifiers(), QString::fromLatin1(k.text)), k.ends)
            << k.key.toCombined();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
