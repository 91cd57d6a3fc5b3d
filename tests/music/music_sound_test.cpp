// The music on real disc images, real music files and the real sound server: the command-string
// layer, and what the music sounds like (the null sink's monitor is recorded and the tones of
// the test's disc images and files are told apart over time) on real Qt timers with the show's
// intervals, and inside the real program.
#include "music/background_music.h"
#include "platform/sound/detail/cd_audio_device.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>

#include <array>
#include <cmath>
#include <ctime>
#include <fstream>
#include <functional>
#include <numbers>
#include <thread>

namespace quelm {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kWindowMs = 20; // the recording is judged in windows of this length
constexpr int64_t kWindowSamples = kRate * kWindowMs / 1000;
constexpr double kSilenceRms = 1000.0; // below this a window counts as silence (of 32767)

std::vector<int16_t> Tone(double hz, int64_t frames) { // stereo, half of full scale
    std::vector<int16_t> out;
    for (int64_t i = 0; i < frames; ++i)
        out.insert(out.end(), 2,
                   static_cast<int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / kRate))));
    return out;
}

// A CUE/BIN image (16-bit stereo, 44.1 kHz, under ten tracks and ten minutes) with one track
// per tone; a tone of 0 makes a data track. Returns the CUE file.
std::string MakeDiscImage(const std::filesystem::path& folder, const std::vector<double>& tonesHz,
                          double secondsPerTrack) {
    const int64_t sectors = std::llround(secondsPerTrack * 75);
    std::ofstream bin(folder / "disc.bin", std::ios::binary), cue(folder / "disc.cue");
    cue << "FILE \"disc.bin\" BINARY\n";
    for (size_t t = 0; t < tonesHz.size(); ++t) {
        const auto pcm = Tone(tonesHz[t], sectors * 588); // little-endian here, as CD audio is stored
        bin.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
        const int64_t at = static_cast<int64_t>(t) * sectors;
        cue << "  TRACK 0" << t + 1 << (tonesHz[t] > 0 ? " AUDIO" : " MODE1/2352") << "\n    INDEX 01 0" << at / 4500
            << ':' << at / 75 % 60 / 10 << at / 75 % 10 << ':' << at % 75 / 10 << at % 75 % 10 << '\n';
    }
    return folder / "disc.cue";
}

void WriteToneWav(const std::filesystem::path& file, double toneHz, double seconds) {
    SF_INFO info{0, kRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0}; // frames, rate, channels, format, ...
    SNDFILE* sf = sf_open(file.c_str(), SFM_WRITE, &info);
    const auto pcm = Tone(toneHz, static_cast<int64_t>(seconds * kRate));
    sf_writef_short(sf, pcm.data(), static_cast<sf_count_t>(pcm.size() / 2));
    sf_close(sf);
}

bool MakeToneMp3(const std::filesystem::path& file, double toneHz, double seconds) { // with lame
    WriteToneWav(file.string() + ".wav", toneHz, seconds);
    return std::system(("lame --quiet -b 128 '" + file.string() + ".wav' '" + file.string() + "'").c_str()) == 0;
}

// Waits until the sound server plays new streams at once (a fresh null sink holds its first
// streams back): pacat plays a fifth of a second of silence and ends once it has been heard.
// False when no server answers.
bool SettleSoundServer() {
    return std::system("head -c 35280 /dev/zero | pacat --raw --format=s16le --rate=44100 --channels=2 "
                       "--client-name='Quelm test warm-up' 2>/dev/null") == 0;
}

// A run of windows with one tone (its index in the tones judged) or silence (-1).
struct Stretch {
    int tone;
    int64_t firstWindow, windows;
    int64_t Ms() const { return windows * kWindowMs; }
};
struct Heard {
    std::vector<Stretch> stretches;
    int64_t endWindow = 0;                   // the window of the end mark
    int64_t firstSound = -1, lastSound = -1; // windows; -1 when nothing was heard
    int64_t MsAfterEnd() const { return std::max<int64_t>(0, lastSound + 1 - endWindow) * kWindowMs; }
};

// Records the null sink's monitor ("out.monitor") with parec.
class MonitorRecorder {
public:
    MonitorRecorder() {
        // The shell tells its process id, then becomes parec.
        pipe_ = popen("echo $$; exec parec -d out.monitor --raw --format=s16le --rate=44100 --channels=1 "
                      "--latency-msec=10",
                      "r");
        if (!pipe_ || fscanf(pipe_, "%d", &pid_) != 1 || fgetc(pipe_) != '\n') return;
        // Ready once it delivers sound.
        std::vector<int16_t> block(kRate / 10);
        if (fread(block.data(), 2, block.size(), pipe_) != block.size()) return;
        start_ = Clock::now(); // the null sink keeps time with this clock
        reader_ = std::thread([this, block]() mutable {
            while (fread(block.data(), 2, 441, pipe_) == 441)
                samples_.insert(samples_.end(), block.begin(), block.begin() + 441);
        });
    }
    ~MonitorRecorder() { Stop(); }
    int64_t SampleAt(Clock::time_point t) const { // to within the recording's latency
        return std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(t - start_).count() * kRate /
                                        1000000);
    }

    // Stops the recording and judges it from `from` on; `end` is the end mark.
    Heard Judge(Clock::time_point from, Clock::time_point end, const std::vector<double>& tonesHz) {
        Stop();
        const int64_t first = SampleAt(from);
        Heard heard{{}, (SampleAt(end) - first) / kWindowSamples, -1, -1};
        for (int64_t at = first; at + kWindowSamples <= static_cast<int64_t>(samples_.size()); at += kWindowSamples) {
            const int16_t* x = samples_.data() + at;
            double energy = 0, bestPower = 0;
            for (int64_t i = 0; i < kWindowSamples; ++i) energy += double(x[i]) * x[i];
            int tone = -1;
            for (size_t k = 0; energy / kWindowSamples >= kSilenceRms * kSilenceRms && k < tonesHz.size(); ++k) {
                const double coeff = 2 * std::cos(2 * std::numbers::pi * tonesHz[k] / kRate); // Goertzel
                double s1 = 0, s2 = 0;
                for (int64_t i = 0; i < kWindowSamples; ++i) s2 = std::exchange(s1, x[i] + coeff * s1 - s2);
                if (const double p = s1 * s1 + s2 * s2 - coeff * s1 * s2; p > bestPower) bestPower = p, tone = int(k);
            }
            const int64_t window = (at - first) / kWindowSamples;
            if (tone >= 0)
                heard.lastSound = window, heard.firstSound = heard.firstSound < 0 ? window : heard.firstSound;
            if (heard.stretches.empty() || heard.stretches.back().tone != tone)
                heard.stretches.push_back({tone, window, 0});
            ++heard.stretches.back().windows;
        }
        // A single window of a tone is the click of a cut between two sounds, not a sound.
        std::vector<Stretch> merged;
        for (Stretch st : heard.stretches) {
            if (st.tone >= 0 && st.windows == 1) st.tone = -1;
            if (merged.empty() || merged.back().tone != st.tone) merged.push_back({st.tone, st.firstWindow, 0});
            merged.back().windows += st.windows;
        }
        heard.stretches = std::move(merged);
        std::cout << "[heard] tone:ms (-1 silence, end mark at " << heard.endWindow * kWindowMs << " ms):";
        for (const Stretch& st : heard.stretches) std::cout << ' ' << st.tone << ':' << st.Ms();
        std::cout << std::endl;
        return heard;
    }

private:
    void Stop() {
        if (pid_ > 0) kill(pid_, SIGTERM), pid_ = -1;
        if (reader_.joinable()) reader_.join();
        if (pipe_) pclose(pipe_), pipe_ = nullptr;
    }
    int pid_ = -1;
    FILE* pipe_ = nullptr;
    std::thread reader_;
    std::vector<int16_t> samples_; // mono
    Clock::time_point start_;      // of the first sample recorded
};

constexpr int kCdTimerMs = 200;   // Timer2
constexpr int kMp3TimerMs = 1000; // Timer1
// What the sound server, the recording and the 20 ms judging windows add to any reaction.
constexpr int64_t kHearingSlackMs = 100;
const std::vector<double> kTrackTones = {500, 800, 1100, 1400};

struct Reply {
    uint32_t result;
    QString text;
};
Reply Send(sound::Multimedia& media, const QString& command) { // with a 512-character reply buffer
    std::array<char16_t, 512> buffer{};
    const uint32_t result = media.SendString(command, buffer.data(), buffer.size());
    return {result, QString::fromUtf16(buffer.data())};
}

class Music : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(SettleSoundServer()) << "run under scripts/with-services.sh"; }
    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<sound::Multimedia> media = sound::MakeSystemMultimedia();
    MonitorRecorder recorder;
    BackgroundMusic music{settings, *media};
    const QString mp3 = dir.filePath("song.mp3"), wav = dir.filePath("loop.wav");
    QTimer keep; // the show's MP3 timer

    void SetUp() override { UseDisc(1.0, 0); }
    // A 700 Hz MP3 and a looping 600 Hz WAV, played and kept going as the show does.
    void PlayFileAndWav(double mp3Seconds, double wavSeconds) {
        ASSERT_TRUE(MakeToneMp3(mp3.toStdString(), 700, mp3Seconds));
        WriteToneWav(wav.toStdString(), 600, wavSeconds);
        settings.BGMFile = mp3;
        music.MP3Open();
        settings.BGMFile = wav;
        music.WAVStart();
        QObject::connect(&keep, &QTimer::timeout, [this] { music.MP3Keep(); });
        keep.start(kMp3TimerMs);
    }
    void UseDisc(double secondsPerTrack, int repeat) {
        settings.BGMKind = kBgmCd;
        settings.BGMRepeat = repeat;
        setenv(sound::kCdDeviceVariable, MakeDiscImage(dir.path().toStdString(), kTrackTones, secondsPerTrack).c_str(),
               1);
    }
    // Opens the music, keeps it going on its timer for `ms` (running `meddle` 700 ms in), closes it.
    Heard Play(int ms, const std::vector<double>& tones, std::function<void()> meddle = {}) {
        const bool cd = settings.BGMKind == kBgmCd;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout,
                         [&] { cd ? (void)(music.CDPoll() || (timer.stop(), false)) : music.MP3Keep(); });
        const auto load = Clock::now();
        cd ? music.CDOpen() : music.MP3Open();
        timer.start(cd ? kCdTimerMs : kMp3TimerMs);
        if (meddle) QTimer::singleShot(700, meddle);
        QTest::qWait(ms);
        EXPECT_TRUE(timer.isActive());
        const auto close = Clock::now();
        cd ? music.CDClose() : music.MP3Close();
        QTest::qWait(400);
        return recorder.Judge(load, close, tones);
    }
};

TEST_F(Music, APathWithADoubleQuoteFailsAndOpensNoOtherFile) {
    // Files the broken-up command could be mistaken for.
    for (const QString name : {"/a", "/x"}) ASSERT_TRUE(MakeToneMp3((dir.path() + name).toStdString(), 700, 0.3));
    for (const QString& path : {dir.path() + "/a\" b.mp3", dir.path() + "/a\".mp3",
                                dir.path() + "/a\" type MPEGVideo Alias MP3Play \"" + dir.path() + "/x"}) {
        const auto begun = Clock::now();
        EXPECT_NE(Send(*media, "open \"" + path + "\" type MPEGVideo Alias MP3Play").result, 0u) << path.toStdString();
        EXPECT_LT(Clock::now() - begun, std::chrono::seconds(1)); // no hanging on a broken command
        EXPECT_EQ(Send(*media, "status MP3Play mode").result, sound::MCIERR_INVALID_DEVICE_NAME);
        EXPECT_EQ(Send(*media, "status \"" + dir.path() + "/a\" mode").result, sound::MCIERR_INVALID_DEVICE_NAME);
    }
}

TEST_F(Music, RepeatTrackThreePlaysItAgainWithin200msOfTrackFour) {
    constexpr int64_t kTrackMs = 1600;
    UseDisc(kTrackMs / 1000.0, 3);
    const Heard heard = Play(4600, kTrackTones);
    EXPECT_EQ(heard.stretches.at(1).tone, 2); // track 3 from the start
    int repeats = 0;
    for (size_t i = 0; i < heard.stretches.size(); ++i) {
        const Stretch& s = heard.stretches[i];
        EXPECT_TRUE(s.tone < 0 || s.tone >= 2); // tracks 1 and 2 never
        if (s.tone == 3 && s.firstWindow + s.windows < heard.endWindow) {
            EXPECT_LE(s.Ms(), kCdTimerMs + kHearingSlackMs);
        }
        // A jump that comes as track 4 begins leaves too little of it to be told from a click,
        // or none at all: two plays then run together into one stretch longer than the track.
        repeats += s.tone == 2 && s.Ms() > 1400 && i + 2 < heard.stretches.size() &&
                   (heard.stretches[i + 1].tone == 3 || heard.stretches[i + 1].Ms() <= kHearingSlackMs) &&
                   heard.stretches[i + 2].tone == 2;
        if (s.tone == 2) repeats += int((s.Ms() - kHearingSlackMs) / kTrackMs);
    }
    EXPECT_GE(repeats, 2);
    EXPECT_LE(heard.MsAfterEnd(), kHearingSlackMs); // closing silences it at once
}

TEST_F(Music, PlayThroughIsStartedAgainWithin200msAfterAnotherProgramStopsIt) {
    UseDisc(1.2, 0);
    const Heard heard = Play(4400, kTrackTones, [&] { media->SendString("stop cdaudio", nullptr, 0); });
    // Track 1 until the stop, a short gap, track 1 on from where it stood, and on through the disc.
    const std::vector<Stretch>& s = heard.stretches;
    ASSERT_GE(s.size(), 7u);
    EXPECT_EQ((std::vector<int>{s[1].tone, s[2].tone, s[3].tone, s[4].tone, s[5].tone, s[6].tone}),
              (std::vector<int>{0, -1, 0, 1, 2, 3}));
    EXPECT_LE(s[2].Ms(), kCdTimerMs + kHearingSlackMs);
    EXPECT_NEAR(s[1].Ms() + s[3].Ms(), 1200, 120);
}

TEST_F(Music, AnMp3ThatEndsStartsAgainFromItsBeginningWithinASecond) {
    settings.BGMKind = kBgmFile;
    settings.BGMFile = dir.path() + "/tone song.mp3";
    ASSERT_TRUE(MakeToneMp3(settings.BGMFile.toStdString(), 700, 1.0));
    const Heard heard = Play(4000, {700});
    int plays = 0;
    for (size_t i = 0; i < heard.stretches.size(); ++i) {
        const Stretch& s = heard.stretches[i];
        if (s.firstWindow + s.windows >= heard.endWindow) break;
        if (s.tone == 0) {
            // Whole, from its beginning; a restart that comes just as the file ends joins
            // two plays without a gap.
            const int64_t whole = std::max<int64_t>(1, (s.Ms() + 500) / 1000);
            plays += static_cast<int>(whole);
            EXPECT_NEAR(s.Ms(), 1000 * whole, 80 * whole);
        } else if (i > 0) {
            EXPECT_LE(s.Ms(), kMp3TimerMs + kHearingSlackMs);
        } // started again within a second
    }
    EXPECT_GE(plays, 2);
    EXPECT_LE(heard.MsAfterEnd(), kHearingSlackMs); // closing silences it at once
}

// Faults made real: the test's own sound server stopped, killed and started again
// (scripts/with-services.sh tells where it is), files and disc images cut during play.
pid_t SoundServerPid() {
    pid_t pid = 0;
    std::ifstream(qEnvironmentVariable("QUELM_SOUND_SERVER_DIR").toStdString() + "/server.pid") >> pid;
    return pid;
}

// Runs every call of the show's music once; the longest any took, in ms.
int64_t LongestCallMs(BackgroundMusic& music) {
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"MP3Open", [&] { music.MP3Open(); }},   {"MP3Keep", [&] { music.MP3Keep(); }},
        {"MP3Close", [&] { music.MP3Close(); }}, {"CDOpen", [&] { music.CDOpen(); }},
        {"CDPoll", [&] { music.CDPoll(); }},     {"CDClose", [&] { music.CDClose(); }},
        {"WAVStart", [&] { music.WAVStart(); }}, {"WAVStop", [&] { music.WAVStop(); }}};
    int64_t longest = 0;
    for (const auto& [name, call] : calls) {
        const auto begun = Clock::now();
        call();
        const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begun).count();
        std::cout << "[call] " << name << ": " << ms << " ms" << std::endl;
        longest = std::max(longest, ms);
    }
    return longest;
}
// Generous for a loaded two-core machine: no call waits on the server for longer than 100 ms.
constexpr int64_t kLongestCallMs = 500;

TEST_F(Music, AStoppedSoundServerHoldsUpNoCallOfTheMusic) {
    PlayFileAndWav(3.0, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Send(*media, "status MP3Play position").text.toInt() > 200; }, 3000));
    const pid_t server = SoundServerPid();
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    const int64_t ms = LongestCallMs(music); // the MP3 is stopped and closed while it plays
    kill(server, SIGCONT);
    EXPECT_LT(ms, kLongestCallMs);
}

TEST_F(Music, FilesCutShortWhileTheyPlayCostNoProcessorTime) {
    PlayFileAndWav(2.0, 0.5);
    QTest::qWait(300);
    std::filesystem::resize_file(mp3.toStdString(), 0);
    std::filesystem::resize_file(wav.toStdString(), 0);
    QTest::qWait(300);                        // what was read before the cut plays out
    const std::clock_t before = std::clock(); // processor time of the whole process
    QTest::qWait(2000);
    const double used = double(std::clock() - before) / CLOCKS_PER_SEC;
    std::cout << "[files cut] CPU over 2 s: " << used << " s" << std::endl;
    EXPECT_LT(used, 0.5); // a spinning player takes a core
}

// A disc with a data track between two audio tracks. (The answers the poll reads while a
// disc plays are heard at work in the tests above.)
TEST_F(Music, TheDiscAnswersTheMusicPassesOverDataTracksAndACutImageEndsThePolling) {
    setenv(sound::kCdDeviceVariable, MakeDiscImage(dir.path().toStdString(), {500, 0, 1100}, 1.0).c_str(), 1);
    ASSERT_EQ(Send(*media, "open cdaudio").result, 0u);
    ASSERT_EQ(Send(*media, "set cdaudio time format tmsf").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio position track 3").text, "03:00:00:00");
    EXPECT_EQ(Send(*media, "play cdaudio from 02:00:00:00").result, sound::MCIERR_OUTOFRANGE); // data
    EXPECT_EQ(Send(*media, "play cdaudio from 03:00:00:00 to 03:00:01:00").result, 0u);        // to the disc's end
    // Stopped at the disc's end, played on it starts from track 1, which ends where the data
    // track begins; played on, the disc goes on at track 3.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Send(*media, "status cdaudio mode").text == "stopped"; }, 3000));
    EXPECT_EQ(Send(*media, "play cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Send(*media, "status cdaudio mode").text == "stopped"; }, 3000));
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "2");
    EXPECT_EQ(Send(*media, "play cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "3");

    // The image loses all but its first track while track 3 plays: the poll ends.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { music.CDPoll() || (poll.stop(), false); });
    poll.start(kCdTimerMs);
    std::filesystem::resize_file(dir.filePath("disc.bin").toStdString(), 75 * 2352);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !poll.isActive(); }, 3000));
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "not ready");
    EXPECT_EQ(Send(*media, "close cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").result, sound::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(Music, AfterTheSoundServerRestartsTheWavTheMp3AndTheCdPlayAgain) {
    UseDisc(3.0, 0);
    music.CDOpen();
    PlayFileAndWav(3.0, 1.0);
    QTimer poll; // the show's CD timer
    QObject::connect(&poll, &QTimer::timeout, [&] { music.CDPoll(); });
    poll.start(kCdTimerMs);
    auto heard = [&](const QString& device) { // playing, and the server moves its position on
        int64_t last = -1;
        return QTest::qWaitFor(
            [&] {
                const int64_t now = Send(*media, "status " + device + " position").text.remove(':').toLongLong();
                const int64_t before = std::exchange(last, now);
                return Send(*media, "status " + device + " mode").text == "playing" && before >= 0 && now > before;
            },
            8000);
    };
    ASSERT_TRUE(heard("cdaudio") && heard("MP3Play"));

    const pid_t server = SoundServerPid();
    ASSERT_EQ(kill(server, SIGKILL), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return kill(server, 0) != 0; }, 3000));
    { // No server and no drive: no device, the poll ends, and nothing waits.
        qputenv(sound::kCdDeviceVariable, "/nonexistent/drive");
        BackgroundMusic gone(settings, sound::MakeSystemMultimedia());
        EXPECT_LT(LongestCallMs(gone), kLongestCallMs);
        EXPECT_FALSE(gone.CDPoll());
        EXPECT_EQ(media->WaveOutDeviceCount(), 0u);
    }
    ASSERT_EQ(QProcess::execute(qEnvironmentVariable("QUELM_SOURCE_DIR") + "/scripts/sound-server.sh",
                                {qEnvironmentVariable("QUELM_SOUND_SERVER_DIR")}),
              0);
    EXPECT_TRUE(heard("cdaudio"));
    EXPECT_TRUE(heard("MP3Play"));
    poll.stop();
    keep.stop();
    music.CDClose();
    music.MP3Close();
    ASSERT_TRUE(SettleSoundServer());
    MonitorRecorder after; // the first recording ended with its server
    const auto begun = Clock::now();
    QTest::qWait(2500);
    EXPECT_GE(after.Judge(begun, Clock::now(), {600}).firstSound, 0); // the WAV, alone now
}

// The real program with a WAV named in its INI, ended as the system ends it (SIGTERM runs the
// show's close request).
constexpr int64_t kLongestDropoutMs = 200;

TEST_F(Music, TheShowLoopsItsWavWithoutAGapAndItsEndSilencesIt) {
    const QString wav = dir.filePath("loop tone.wav");
    WriteToneWav(wav.toStdString(), 600, 0.8);
    std::ofstream(dir.filePath("Quelm.ini").toStdString())
        << ("[Section]\nPic区分= 0\nBGM区分= 2\nBGMﾌｧｲﾙ=" + wav).toStdString();
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("QUELM_EXE"), dir.filePath("quelm")));
    QProcess show;
    const auto start = Clock::now();
    show.start(dir.filePath("quelm"), {"/s"});
    EXPECT_FALSE(show.waitForFinished(3500)); // the show never ends by itself
    const auto end = Clock::now();
    show.terminate();
    EXPECT_TRUE(show.waitForFinished(5000));
    QTest::qWait(400); // the silence after the end
    const Heard heard = recorder.Judge(start, end, {600});
    ASSERT_GE(heard.firstSound, 0);
    // A loaded machine may drop a few windows of sound; the loop itself never stops.
    for (const Stretch& s : heard.stretches)
        EXPECT_FALSE(s.tone < 0 && s.firstWindow > heard.firstSound && s.firstWindow < heard.endWindow - 1 &&
                     s.Ms() >= kLongestDropoutMs)
            << "a gap of " << s.Ms() << " ms";
    EXPECT_LE(heard.MsAfterEnd(), kHearingSlackMs);
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
