// What the show's music sounds like on a real sound server: the null sink's monitor is
// recorded and the tones of the test's disc images and files are told apart over time.
// The show's timers are real Qt timers with the show's intervals.
#include "music/background_music.h"
#include "platform/cd_audio_device.h"
#include "sound_check.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

#include <cstdlib>
#include <iostream>

namespace quelm {
namespace {

using Clock = std::chrono::steady_clock;
using testkit::Stretch;
constexpr int kCdTimerMs = 200;    // Timer2
constexpr int kMp3TimerMs = 1000;  // Timer1
// What the sound server, the recording and the 20 ms judging windows add to any reaction.
constexpr int64_t kHearingSlackMs = 100;
const std::vector<double> kTrackTones = {500, 800, 1100, 1400};

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int64_t MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The recording from `from` on, judged window by window.
struct Heard {
    std::vector<int> timeline;
    std::vector<Stretch> stretches;
    // Windows from the start until the first sound; -1 when nothing was heard.
    int64_t FirstSound() const {
        for (size_t i = 0; i < timeline.size(); ++i)
            if (timeline[i] >= 0) return static_cast<int64_t>(i);
        return -1;
    }
    // Windows from `window` until silence that lasts to the end; -1 when sound goes on.
    int64_t SilentAfter(int64_t window) const {
        int64_t last = -1;
        for (size_t i = 0; i < timeline.size(); ++i)
            if (timeline[i] >= 0) last = static_cast<int64_t>(i);
        if (last + 1 >= static_cast<int64_t>(timeline.size())) return -1;
        return std::max<int64_t>(0, last + 1 - window);
    }
};

Heard Judge(testkit::MonitorRecorder& recorder, Clock::time_point from, const std::vector<double>& tones) {
    const int64_t first = recorder.SampleAt(from);
    recorder.Stop();
    const std::vector<int16_t> all = recorder.Samples();
    Heard h;
    if (first < static_cast<int64_t>(all.size()))
        h.timeline = testkit::ToneTimeline(std::vector<int16_t>(all.begin() + first, all.end()), tones);
    h.stretches = testkit::Stretches(h.timeline);
    return h;
}

int64_t WindowOf(testkit::MonitorRecorder& recorder, Clock::time_point from, Clock::time_point t) {
    return (recorder.SampleAt(t) - recorder.SampleAt(from)) / (testkit::kRate * testkit::kWindowMs / 1000);
}

std::string Describe(const std::vector<Stretch>& stretches) {
    std::string s;
    for (const Stretch& st : stretches)
        s += (st.tone < 0 ? std::string("silence") : "tone" + std::to_string(st.tone)) + ":" +
             std::to_string(testkit::WindowsToMs(st.windows)) + "ms ";
    return s;
}

class MusicSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(testkit::SettleSoundServer()) << "no sound server"; }
    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<testkit::MonitorRecorder> recorder;
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run under scripts/with-services.sh";
        recorder = std::make_unique<testkit::MonitorRecorder>();
        ASSERT_TRUE(recorder->WaitStarted(std::chrono::milliseconds(5000)));
    }
    void UseDisc(double secondsPerTrack) {
        const auto cue = testkit::MakeDiscImage(dir.path().toStdString(), kTrackTones, secondsPerTrack);
        drive_ = std::make_unique<ScopedEnv>(mm::kCdDeviceVariable, cue.string());
    }

private:
    std::unique_ptr<ScopedEnv> drive_;
};

TEST_F(MusicSound, RepeatTrackThreePlaysItAgainWithin200msOfTrackFour) {
    UseDisc(2.0);
    settings.BGMKind = kBgmCd;
    settings.BGMRepeat = 3;
    auto music = MakeBackgroundMusic(settings);
    QTimer timer2;
    timer2.setInterval(kCdTimerMs);
    QObject::connect(&timer2, &QTimer::timeout, [&] {
        if (!music->CDPoll()) timer2.stop();
    });
    const auto load = Clock::now();
    music->CDOpen();
    timer2.start();
    RunEventsFor(7600);
    EXPECT_TRUE(timer2.isActive());
    const auto close = Clock::now();
    timer2.stop();
    music->CDClose();
    RunEventsFor(500);
    const int64_t closeWindow = WindowOf(*recorder, load, close);
    const Heard heard = Judge(*recorder, load, kTrackTones);
    SCOPED_TRACE(Describe(heard.stretches));

    // Track 3 (tone 2) again and again, track 4 (tone 3) only briefly, tracks 1 and 2 never.
    int repeats = 0;  // track 3 heard whole, then again
    int64_t longestTrack4 = 0;
    bool seenTrack3 = false;
    for (size_t i = 0; i < heard.stretches.size(); ++i) {
        const Stretch& s = heard.stretches[i];
        EXPECT_NE(s.tone, 0);
        EXPECT_NE(s.tone, 1);
        if (s.tone == 2) {
            seenTrack3 = true;
            if (s.windows * testkit::kWindowMs > 1800 && i + 2 < heard.stretches.size() &&
                heard.stretches[i + 1].tone == 3 && heard.stretches[i + 2].tone == 2)
                ++repeats;
        }
        if (s.tone == 3 && seenTrack3 && s.firstWindow + s.windows < closeWindow) {
            longestTrack4 = std::max(longestTrack4, testkit::WindowsToMs(s.windows));
            EXPECT_LE(testkit::WindowsToMs(s.windows), kCdTimerMs + kHearingSlackMs);
        }
    }
    EXPECT_GE(repeats, 2);
    const int64_t first = heard.FirstSound();
    ASSERT_GE(first, 0);
    EXPECT_EQ(heard.timeline[static_cast<size_t>(first)], 2);
    const int64_t silent = heard.SilentAfter(closeWindow);
    EXPECT_GE(silent, 0);
    std::cout << "[figure] CD repeat: load to first sound " << testkit::WindowsToMs(first)
              << " ms; track 4 heard at most " << longestTrack4 << " ms before the jump back; close to silence "
              << testkit::WindowsToMs(silent) << " ms\n";
}

TEST_F(MusicSound, PlayThroughIsStartedAgainWithin200msAfterAnotherProgramStopsIt) {
    UseDisc(1.2);
    settings.BGMKind = kBgmCd;
    settings.BGMRepeat = 0;
    auto media = mm::MakeSystemMultimedia();
    BackgroundMusic music(settings, *media);
    QTimer timer2;
    timer2.setInterval(kCdTimerMs);
    QObject::connect(&timer2, &QTimer::timeout, [&] {
        if (!music.CDPoll()) timer2.stop();
    });
    const auto load = Clock::now();
    music.CDOpen();
    timer2.start();
    RunEventsFor(700);
    // Someone else stops the drive in the middle of track 1.
    const auto stop = Clock::now();
    ASSERT_EQ(media->SendString("stop cdaudio", nullptr, 0), 0u);
    RunEventsFor(6000);
    timer2.stop();
    const int64_t stopWindow = WindowOf(*recorder, load, stop);
    music.CDClose();
    const Heard heard = Judge(*recorder, load, kTrackTones);
    SCOPED_TRACE(Describe(heard.stretches));

    // The gap after the stop, then track 1 again from where it stood, and on through the disc.
    std::vector<int> order;
    int64_t gap = -1;
    for (const Stretch& s : heard.stretches) {
        if (s.tone < 0 && s.firstWindow + s.windows > stopWindow && gap < 0 && !order.empty()) {
            gap = testkit::WindowsToMs(s.windows);
            continue;
        }
        if (s.tone >= 0 && (order.empty() || order.back() != s.tone)) order.push_back(s.tone);
    }
    ASSERT_GE(gap, 0) << "no silence after the stop";
    EXPECT_LE(gap, kCdTimerMs + kHearingSlackMs);
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ((std::vector<int>(order.begin(), order.begin() + 4)), (std::vector<int>{0, 1, 2, 3}));
    // Track 1 before and after the stop lasts one track's length in all.
    int64_t track1 = 0;
    for (const Stretch& s : heard.stretches)
        if (s.tone == 0 && s.firstWindow < stopWindow + 30) track1 += testkit::WindowsToMs(s.windows);
    EXPECT_NEAR(track1, 1200, 120);
    std::cout << "[figure] CD play-through: load to first sound " << testkit::WindowsToMs(heard.FirstSound())
              << " ms; silence after another program's stop " << gap << " ms\n";
}

TEST_F(MusicSound, AnMp3ThatEndsStartsAgainFromItsBeginningWithinASecond) {
    const QString mp3 = dir.path() + "/with blanks/tone song.mp3";
    std::filesystem::create_directories((dir.path() + "/with blanks").toStdString());
    ASSERT_TRUE(testkit::MakeToneMp3(mp3.toStdString(), 700, 1.5));
    settings.BGMKind = kBgmFile;
    settings.BGMFile = mp3;
    auto music = MakeBackgroundMusic(settings);
    QTimer timer1;
    timer1.setInterval(kMp3TimerMs);
    QObject::connect(&timer1, &QTimer::timeout, [&] { music->MP3Keep(); });
    const auto load = Clock::now();
    music->MP3Open();
    timer1.start();
    RunEventsFor(6000);
    const auto close = Clock::now();
    timer1.stop();
    music->MP3Close();
    RunEventsFor(400);
    const int64_t closeWindow = WindowOf(*recorder, load, close);
    const Heard heard = Judge(*recorder, load, {700});
    SCOPED_TRACE(Describe(heard.stretches));

    int plays = 0;
    int64_t longestGap = 0;
    for (size_t i = 0; i < heard.stretches.size(); ++i) {
        const Stretch& s = heard.stretches[i];
        if (s.tone == 0 && s.firstWindow + s.windows < closeWindow) {
            ++plays;
            EXPECT_NEAR(testkit::WindowsToMs(s.windows), 1500, 80);  // whole, from its beginning
        }
        if (s.tone < 0 && i > 0 && i + 1 < heard.stretches.size() && s.firstWindow < closeWindow) {
            longestGap = std::max(longestGap, testkit::WindowsToMs(s.windows));
            EXPECT_LE(testkit::WindowsToMs(s.windows), kMp3TimerMs + kHearingSlackMs);
        }
    }
    EXPECT_GE(plays, 3);
    const int64_t silent = heard.SilentAfter(closeWindow);
    EXPECT_GE(silent, 0);
    std::cout << "[figure] MP3: load to first sound " << testkit::WindowsToMs(heard.FirstSound())
              << " ms; longest silence before a restart " << longestGap << " ms; close to silence "
              << testkit::WindowsToMs(silent) << " ms\n";
}

TEST_F(MusicSound, AWavLoopsWithoutAGapAndClosingTheShowSilencesItAtOnce) {
    const QString wav = dir.path() + "/loop.wav";
    testkit::WriteToneWav(wav.toStdString(), 600, 0.7);
    settings.BGMKind = kBgmFile;
    settings.BGMFile = wav;
    auto music = MakeBackgroundMusic(settings);
    const auto load = Clock::now();
    music->WAVStart();
    RunEventsFor(3000);
    const auto close = Clock::now();
    music->WAVStop();
    RunEventsFor(400);
    const int64_t closeWindow = WindowOf(*recorder, load, close);
    const Heard heard = Judge(*recorder, load, {600});
    SCOPED_TRACE(Describe(heard.stretches));

    const int64_t first = heard.FirstSound();
    ASSERT_GE(first, 0);
    for (int64_t w = first; w < closeWindow - 1; ++w) EXPECT_EQ(heard.timeline[static_cast<size_t>(w)], 0) << w;
    const int64_t silent = heard.SilentAfter(closeWindow);
    ASSERT_GE(silent, 0);
    EXPECT_LE(testkit::WindowsToMs(silent), kHearingSlackMs);
    std::cout << "[figure] WAV: load to first sound " << testkit::WindowsToMs(first) << " ms; close to silence "
              << testkit::WindowsToMs(silent) << " ms\n";
}

TEST_F(MusicSound, WithNoSoundServerAndNoDriveTheShowRunsSilentlyAndNothingWaits) {
    const QString mp3 = dir.path() + "/song.mp3";
    const QString wav = dir.path() + "/loop.wav";
    ASSERT_TRUE(testkit::MakeToneMp3(mp3.toStdString(), 700, 0.5));
    testkit::WriteToneWav(wav.toStdString(), 600, 0.5);
    const auto begun = Clock::now();
    {
        ScopedEnv noServer("PULSE_SERVER", "unix:" + dir.path().toStdString() + "/no-such-socket");
        ScopedEnv noDrive(mm::kCdDeviceVariable, dir.path().toStdString() + "/no-such-drive");
        settings.BGMRepeat = 2;
        settings.BGMFile = mp3;
        BackgroundMusic music(settings, mm::MakeSystemMultimedia());
        music.CDOpen();
        EXPECT_FALSE(music.CDPoll());
        EXPECT_EQ(music.LastMciReply.isEmpty(), false);
        music.MP3Open();
        EXPECT_EQ(music.MP3OpenResult(), 0u);  // the file opens; it cannot be heard
        EXPECT_FALSE(music.MP3IsPlaying());
        for (int tick = 0; tick < 5; ++tick) music.MP3Keep();
        music.MP3Close();
        settings.BGMFile = wav;
        music.WAVStart();
        music.WAVStop();
        // A disc with no server: the poll goes on, silently.
        UseDisc(1.0);
        BackgroundMusic cd(settings, mm::MakeSystemMultimedia());
        cd.CDOpen();
        EXPECT_TRUE(cd.CDPoll());
        EXPECT_TRUE(cd.CDPoll());
        cd.CDClose();
    }
    EXPECT_LT(MsBetween(begun, Clock::now()), 2000);
    RunEventsFor(300);
    const Heard heard = Judge(*recorder, begun, {500, 600, 700, 800});
    EXPECT_EQ(heard.FirstSound(), -1) << Describe(heard.stretches);
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
