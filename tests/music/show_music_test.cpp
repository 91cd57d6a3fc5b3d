// The real program's show with music: the INI names the music, the show's window starts it
// at load, its timers keep it going and its close request silences it; what comes out of
// the sound server's null sink is recorded and judged.
#include "platform/cd_audio_device.h"
#include "sound_check.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

namespace quelm {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kWindowSamples = testkit::kRate * testkit::kWindowMs / 1000;

class ShowMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(testkit::SettleSoundServer()) << "no sound server"; }
    QTemporaryDir dir;
    QString exe;
    QProcess show;
    std::unique_ptr<testkit::MonitorRecorder> recorder;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run under scripts/with-services.sh";
        exe = dir.filePath("quelm");
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("QUELM_EXE"), exe));
        recorder = std::make_unique<testkit::MonitorRecorder>();
        ASSERT_TRUE(recorder->WaitStarted(std::chrono::milliseconds(5000)));
    }
    void TearDown() override {
        if (show.state() != QProcess::NotRunning) {
            show.kill();
            show.waitForFinished(3000);
        }
    }
    void WriteIni(int bgmKind, int repeat, const QString& file) {
        QFile ini(dir.filePath("Quelm.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Section]\nPic区分= 0\nBGM区分= %1\nBGMﾘﾋﾟｰﾄ= %2\nBGMﾌｧｲﾙ=%3\n")
                      .arg(bgmKind)
                      .arg(repeat)
                      .arg(file)
                      .toUtf8());
    }
    // Starts the show, lets it run `ms`, then ends it as the system does (SIGTERM runs the
    // close request). Returns the times of the start and of the end.
    std::pair<Clock::time_point, Clock::time_point> RunShow(int ms, const QProcessEnvironment& env) {
        show.setProgram(exe);
        show.setArguments({QStringLiteral("/s")});
        show.setProcessEnvironment(env);
        show.setProcessChannelMode(QProcess::ForwardedChannels);
        const auto start = Clock::now();
        show.start();
        EXPECT_TRUE(show.waitForStarted(5000));
        show.waitForFinished(ms);  // the show never ends by itself
        EXPECT_EQ(show.state(), QProcess::Running);
        const auto end = Clock::now();
        show.terminate();
        EXPECT_TRUE(show.waitForFinished(5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the silence after the end
        return {start, end};
    }
    std::vector<testkit::Stretch> Heard(Clock::time_point from, const std::vector<double>& tones, int64_t* endWindow,
                                        Clock::time_point end) {
        const int64_t first = recorder->SampleAt(from);
        *endWindow = (recorder->SampleAt(end) - first) / kWindowSamples;
        recorder->Stop();
        const auto all = recorder->Samples();
        return testkit::Stretches(
            testkit::ToneTimeline(std::vector<int16_t>(all.begin() + std::min<int64_t>(first, all.size()), all.end()), tones));
    }
};

std::string Describe(const std::vector<testkit::Stretch>& stretches) {
    std::string s;
    for (const auto& st : stretches)
        s += (st.tone < 0 ? std::string("silence") : "tone" + std::to_string(st.tone)) + ":" +
             std::to_string(testkit::WindowsToMs(st.windows)) + "ms ";
    return s;
}

// Sound heard between `from` and `to` (windows): the tones in order of their stretches.
std::vector<int> TonesBetween(const std::vector<testkit::Stretch>& stretches, int64_t from, int64_t to) {
    std::vector<int> out;
    for (const auto& s : stretches)
        if (s.tone >= 0 && s.firstWindow >= from && s.firstWindow < to) out.push_back(s.tone);
    return out;
}

int64_t SoundAfter(const std::vector<testkit::Stretch>& stretches, int64_t window) {
    int64_t last = -1;
    for (const auto& s : stretches)
        if (s.tone >= 0) last = s.firstWindow + s.windows;
    return last - window;
}

TEST_F(ShowMusic, TheShowLoopsItsWavAndItsEndSilencesIt) {
    const QString wav = dir.filePath("my music/loop tone.wav");
    QDir().mkpath(dir.filePath("my music"));
    testkit::WriteToneWav(wav.toStdString(), 600, 0.8);
    WriteIni(2, 0, wav);
    const auto [start, end] = RunShow(4000, QProcessEnvironment::systemEnvironment());
    int64_t endWindow = 0;
    const auto heard = Heard(start, {600}, &endWindow, end);
    SCOPED_TRACE(Describe(heard));
    ASSERT_FALSE(TonesBetween(heard, 0, endWindow).empty());
    // From its first sound to the end of the show, without a gap.
    int64_t firstSound = -1;
    for (const auto& s : heard) {
        if (s.tone >= 0 && firstSound < 0) firstSound = s.firstWindow;
        if (firstSound >= 0 && s.tone < 0 && s.firstWindow < endWindow - 1) ADD_FAILURE() << "gap at " << s.firstWindow;
    }
    EXPECT_LE(SoundAfter(heard, endWindow), 10);  // silent within 200 ms of the end request
    std::cout << "[figure] program start to the WAV's first sound " << testkit::WindowsToMs(firstSound)
              << " ms; end request to silence " << testkit::WindowsToMs(std::max<int64_t>(0, SoundAfter(heard, endWindow)))
              << " ms\n";
}

TEST_F(ShowMusic, TheShowRestartsItsMp3) {
    const QString mp3 = dir.filePath("tone.Mp3");
    ASSERT_TRUE(testkit::MakeToneMp3(mp3.toStdString(), 700, 1.0));
    WriteIni(2, 0, mp3);
    const auto [start, end] = RunShow(5000, QProcessEnvironment::systemEnvironment());
    int64_t endWindow = 0;
    const auto heard = Heard(start, {700}, &endWindow, end);
    SCOPED_TRACE(Describe(heard));
    EXPECT_GE(TonesBetween(heard, 0, endWindow).size(), 3u);
    EXPECT_LE(SoundAfter(heard, endWindow), 10);
}

TEST_F(ShowMusic, TheShowRepeatsTheChosenCdTrack) {
    const auto cue = testkit::MakeDiscImage(dir.path().toStdString(), {500, 800, 1100}, 1.2);
    WriteIni(1, 2, QString());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(mm::kCdDeviceVariable, QString::fromStdString(cue.string()));
    const auto [start, end] = RunShow(5000, env);
    int64_t endWindow = 0;
    const auto heard = Heard(start, {500, 800, 1100}, &endWindow, end);
    SCOPED_TRACE(Describe(heard));
    const std::vector<int> tones = TonesBetween(heard, 0, endWindow);
    ASSERT_GE(tones.size(), 5u);
    EXPECT_EQ(tones.front(), 1);  // track 2 from the first poll on
    int track2 = 0;
    for (int t : tones) {
        EXPECT_NE(t, 0);  // track 1 is never heard
        track2 += t == 1;
    }
    EXPECT_GE(track2, 3);
    EXPECT_LE(SoundAfter(heard, endWindow), 10);
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
