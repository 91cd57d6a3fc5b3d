// How quickly the show's music is heard and silenced on the sound server's null sink: from
// the load step's call (WAVStart, MP3Open, the first CD poll) to the first sound on the
// monitor, and from the close request's call (WAVStop, MP3Close, CDClose) to silence.
// Run under scripts/with-services.sh; prints the median and the worst of several runs.
#include "music/background_music.h"
#include "platform/cd_audio_device.h"
#include "../tests/music/sound_check.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 8;
constexpr int kPlayMs = 600;
constexpr int kQuietMs = 400;
constexpr int kSilenceSearchMs = 250;  // well before the next run starts
constexpr int kLoudSample = 3000;  // tones are at half of full scale

struct Span {
    Clock::time_point start, stop;
};

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double Ms(int64_t samples) { return samples * 1000.0 / quelm::testkit::kRate; }

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) {
        std::printf("%-44s no measurement\n", what);
        return;
    }
    std::printf("%-44s median %6.1f ms  worst %6.1f ms  (%zu runs)\n", what, v[v.size() / 2], v.back(), v.size());
}

void Measure(const char* name, quelm::testkit::MonitorRecorder& recorder, const std::vector<Span>& spans) {
    // Recorder marks are taken after the whole run, so map the times first.
    std::vector<std::pair<int64_t, int64_t>> at;
    for (const Span& s : spans) at.emplace_back(recorder.SampleAt(s.start), recorder.SampleAt(s.stop));
    const std::vector<int16_t> x = recorder.Samples();
    std::vector<double> onset, silence;
    for (const auto& [start, stop] : at) {
        int64_t first = -1, last = -1;
        for (int64_t i = start; i < static_cast<int64_t>(x.size()) && i < stop; ++i)
            if (std::abs(x[static_cast<size_t>(i)]) > kLoudSample) {
                first = i;
                break;
            }
        const int64_t end = std::min<int64_t>(static_cast<int64_t>(x.size()), stop + quelm::testkit::kRate * kSilenceSearchMs / 1000);
        for (int64_t i = stop; i < end; ++i)
            if (std::abs(x[static_cast<size_t>(i)]) > kLoudSample) last = i;
        if (first >= 0) onset.push_back(Ms(first - start));
        silence.push_back(last < 0 ? 0.0 : Ms(last + 1 - stop));
    }
    std::printf("%s\n", name);
    Report("  start to first sound", onset);
    Report("  stop to silence", silence);
}

} // namespace

int main() {
    if (!std::getenv("PULSE_SERVER")) {
        std::fprintf(stderr, "run under scripts/with-services.sh\n");
        return 1;
    }
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const QString wav = dir.path() + "/loop.wav";
    const QString mp3 = dir.path() + "/song.mp3";
    quelm::testkit::WriteToneWav(wav.toStdString(), 600, 2.0);
    if (!quelm::testkit::MakeToneMp3(mp3.toStdString(), 700, 2.0)) return 1;
    const auto cue = quelm::testkit::MakeDiscImage(folder, {500, 800, 1100, 1400}, 2.0);
    setenv(quelm::mm::kCdDeviceVariable, cue.c_str(), 1);

    auto run = [&](const char* name, const std::function<void(quelm::BackgroundMusic&)>& start,
                   const std::function<void(quelm::BackgroundMusic&)>& stop, quelm::Settings settings) {
        quelm::testkit::MonitorRecorder recorder;
        if (!recorder.WaitStarted(std::chrono::milliseconds(5000))) return;
        Sleep(500);
        std::vector<Span> spans;
        for (int r = 0; r < kRuns; ++r) {
            quelm::BackgroundMusic music(settings, quelm::mm::MakeSystemMultimedia());
            Span s;
            s.start = Clock::now();
            start(music);
            Sleep(kPlayMs);
            s.stop = Clock::now();
            stop(music);
            Sleep(kQuietMs);
            spans.push_back(s);
        }
        Sleep(200);
        Measure(name, recorder, spans);
    };

    quelm::Settings settings;
    settings.BGMKind = quelm::kBgmFile;
    settings.BGMFile = wav;
    run("WAV (WAVStart, WAVStop)", [](auto& m) { m.WAVStart(); }, [](auto& m) { m.WAVStop(); }, settings);
    settings.BGMFile = mp3;
    run("MP3 (MP3Open, MP3Close)", [](auto& m) { m.MP3Open(); }, [](auto& m) { m.MP3Close(); }, settings);
    settings.BGMKind = quelm::kBgmCd;
    settings.BGMRepeat = 3;
    run("CD (CDOpen and its first poll, CDClose)", [](auto& m) { m.CDOpen(); m.CDPoll(); },
        [](auto& m) { m.CDClose(); }, settings);
    return 0;
}
