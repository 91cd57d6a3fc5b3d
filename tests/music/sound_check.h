#pragma once
// Test material and measurement for the music: disc images and music files of pure tones,
// and a recorder of the sound server's null sink that tells which tone was heard when.
#include <sndfile.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quelm::testkit {

using Clock = std::chrono::steady_clock;
inline constexpr int kRate = 44100;
inline constexpr int kWindowMs = 20;  // the recording is judged in windows of this length
inline constexpr int64_t kWindowSamples = kRate * kWindowMs / 1000;
inline constexpr double kSilenceRms = 1000.0;  // below this a window counts as silence (of 32767)

inline std::vector<int16_t> Tone(double hz, int64_t frames) {  // stereo, half of full scale
    std::vector<int16_t> out;
    for (int64_t i = 0; i < frames; ++i)
        out.insert(out.end(), 2, static_cast<int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / kRate))));
    return out;
}

// A CUE/BIN image (16-bit stereo, 44.1 kHz, under ten tracks and ten minutes) with one track
// per tone; a tone of 0 makes a data track. Returns the CUE file.
inline std::string MakeDiscImage(const std::filesystem::path& folder, const std::vector<double>& tonesHz, double secondsPerTrack) {
    const int64_t sectors = std::llround(secondsPerTrack * 75);
    std::ofstream bin(folder / "disc.bin", std::ios::binary), cue(folder / "disc.cue");
    cue << "FILE \"disc.bin\" BINARY\n";
    for (size_t t = 0; t < tonesHz.size(); ++t) {
        const auto pcm = Tone(tonesHz[t], sectors * 588);  // little-endian here, as CD audio is stored
        bin.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
        const int64_t at = static_cast<int64_t>(t) * sectors;
        cue << "  TRACK 0" << t + 1 << (tonesHz[t] > 0 ? " AUDIO" : " MODE1/2352") << "\n    INDEX 01 0" << at / 4500 << ':' << at / 75 % 60 / 10
            << at / 75 % 10 << ':' << at % 75 / 10 << at % 75 % 10 << '\n';
    }
    return folder / "disc.cue";
}

inline void WriteToneWav(const std::filesystem::path& file, double toneHz, double seconds) {
    SF_INFO info{0, kRate, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};  // frames, rate, channels, format, ...
    SNDFILE* sf = sf_open(file.c_str(), SFM_WRITE, &info);
    const auto pcm = Tone(toneHz, static_cast<int64_t>(seconds * kRate));
    sf_writef_short(sf, pcm.data(), static_cast<sf_count_t>(pcm.size() / 2));
    sf_close(sf);
}

inline bool MakeToneMp3(const std::filesystem::path& file, double toneHz, double seconds) {  // with lame
    WriteToneWav(file.string() + ".wav", toneHz, seconds);
    return std::system(("lame --quiet -b 128 '" + file.string() + ".wav' '" + file.string() + "'").c_str()) == 0;
}

// Waits until the sound server plays new streams at once (a fresh null sink holds its first
// streams back): pacat plays a fifth of a second of silence and ends once it has been heard.
// False when no server answers.
inline bool SettleSoundServer() {
    return std::system("head -c 35280 /dev/zero | pacat --raw --format=s16le --rate=44100 --channels=2 "
                       "--client-name='Quelm test warm-up' 2>/dev/null") == 0;
}

// A run of windows with one tone (its index in the tones judged) or silence (-1).
struct Stretch { int tone; int64_t firstWindow, windows; int64_t Ms() const { return windows * kWindowMs; } };
struct Heard {
    std::vector<Stretch> stretches;
    int64_t endWindow = 0;  // the window of the end mark
    int64_t firstSound = -1, lastSound = -1;  // windows; -1 when nothing was heard
    int64_t MsAfterEnd() const { return std::max<int64_t>(0, lastSound + 1 - endWindow) * kWindowMs; }
};

// Records the null sink's monitor ("out.monitor") with parec.
class MonitorRecorder {
public:
    MonitorRecorder() {
        // The shell tells its process id, then becomes parec.
        pipe_ = popen("echo $$; exec parec -d out.monitor --raw --format=s16le --rate=44100 --channels=1 "
                      "--latency-msec=10", "r");
        if (!pipe_ || fscanf(pipe_, "%d", &pid_) != 1 || fgetc(pipe_) != '\n') return;
        // Ready once it delivers sound.
        std::vector<int16_t> block(kRate / 10);
        if (fread(block.data(), 2, block.size(), pipe_) != block.size()) return;
        start_ = Clock::now();  // the null sink keeps time with this clock
        reader_ = std::thread([this, block]() mutable {
            while (fread(block.data(), 2, 441, pipe_) == 441) samples_.insert(samples_.end(), block.begin(), block.begin() + 441);
        });
    }
    ~MonitorRecorder() { Stop(); }
    bool WaitStarted(std::chrono::milliseconds) const { return reader_.joinable(); }  // the constructor waited
    std::vector<int16_t> Samples() { return Stop(), samples_; }  // mono; stops the recording
    int64_t SampleAt(Clock::time_point t) const {  // to within the recording's latency
        return std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(t - start_).count() * kRate / 1000000);
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
                const double coeff = 2 * std::cos(2 * std::numbers::pi * tonesHz[k] / kRate);  // Goertzel
                double s1 = 0, s2 = 0;
                for (int64_t i = 0; i < kWindowSamples; ++i) s2 = std::exchange(s1, x[i] + coeff * s1 - s2);
                if (const double p = s1 * s1 + s2 * s2 - coeff * s1 * s2; p > bestPower) bestPower = p, tone = int(k);
            }
            const int64_t window = (at - first) / kWindowSamples;
            if (tone >= 0) heard.lastSound = window, heard.firstSound = heard.firstSound < 0 ? window : heard.firstSound;
            if (heard.stretches.empty() || heard.stretches.back().tone != tone) heard.stretches.push_back({tone, window, 0});
            ++heard.stretches.back().windows;
        }
        // A single window of a tone is the click of a cut between two sounds, not a sound.
        std::vector<Stretch> merged;
        for (Stretch st : heard.stretches) {
            if (st.tone >= 0 && st.windows == 1) st.tone = -1;
            if (!merged.empty() && merged.back().tone == st.tone) merged.back().windows += st.windows;
            else merged.push_back(st);
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
    std::vector<int16_t> samples_;  // mono
    Clock::time_point start_;  // of the first sample recorded
};

} // namespace quelm::testkit
