#include "sound_check.h"

#include "platform/pulse_output.h"

#include <sndfile.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace quelm::testkit {
namespace {

constexpr double kAmplitude = 0.5;
constexpr int kSectorFrames = 588;
constexpr double kSilenceRms = 1000.0;  // below this a window counts as silence (of 32767)

std::vector<int16_t> Tone(double hz, int64_t frames, int channels) {
    std::vector<int16_t> out(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(kAmplitude * 32767 * std::sin(2 * std::numbers::pi * hz * i / kRate)));
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i * channels + c)] = v;
    }
    return out;
}

double GoertzelPower(const int16_t* x, size_t n, double hz) {
    const double w = 2 * std::numbers::pi * hz / kRate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

} // namespace

std::filesystem::path MakeDiscImage(const std::filesystem::path& folder, const std::vector<double>& tonesHz,
                                    double secondsPerTrack) {
    const int64_t sectors = std::llround(secondsPerTrack * 75);
    std::ofstream bin(folder / "disc.bin", std::ios::binary);
    std::ofstream cue(folder / "disc.cue");
    cue << "FILE \"disc.bin\" BINARY\n";
    for (size_t t = 0; t < tonesHz.size(); ++t) {
        const std::vector<int16_t> pcm = Tone(tonesHz[t], sectors * kSectorFrames, 2);
        for (int16_t v : pcm) {  // little-endian, as CD audio is stored
            const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
            bin.write(b, 2);
        }
        const int64_t start = static_cast<int64_t>(t) * sectors;
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02lld:%02lld:%02lld\n",
                      static_cast<int>(t + 1), static_cast<long long>(start / 75 / 60),
                      static_cast<long long>(start / 75 % 60), static_cast<long long>(start % 75));
        cue << line;
    }
    return folder / "disc.cue";
}

void WriteToneWav(const std::filesystem::path& file, double toneHz, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(file.c_str(), SFM_WRITE, &info);
    const auto frames = static_cast<int64_t>(seconds * kRate);
    const std::vector<int16_t> pcm = Tone(toneHz, frames, 2);
    sf_writef_short(sf, pcm.data(), frames);
    sf_close(sf);
}

bool MakeToneMp3(const std::filesystem::path& file, double toneHz, double seconds) {
    const std::filesystem::path wav = file.string() + ".src.wav";
    WriteToneWav(wav, toneHz, seconds);
    const std::string command = "lame --quiet -b 128 '" + wav.string() + "' '" + file.string() + "'";
    const bool ok = std::system(command.c_str()) == 0;
    std::filesystem::remove(wav);
    return ok;
}

bool SettleSoundServer() {
    std::string error;
    auto out = sound::PulseOutput::Connect(kRate, 2, "Quelm test warm-up", &error);
    if (!out) return false;
    const std::vector<float> silence(static_cast<size_t>(kRate / 5) * 2, 0.0f);
    out->Write(silence.data(), silence.size() / 2);
    out->Drain();  // returns once the silence has been played
    return true;
}

MonitorRecorder::MonitorRecorder() {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const char* argv[] = {"parec", "-d", "out.monitor", "--raw", "--format=s16le", "--rate=44100",
                          "--channels=1", "--latency-msec=10", nullptr};
    const int spawned = posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        pid_ = -1;
        return;
    }
    fd_ = fds[0];
    reader_ = std::thread([this] { Run(); });
}

MonitorRecorder::~MonitorRecorder() { Stop(); }

void MonitorRecorder::Run() {
    std::vector<int16_t> block(441);
    size_t carry = 0;  // bytes of a sample split between reads
    for (;;) {
        const ssize_t n = read(fd_, reinterpret_cast<char*>(block.data()) + carry, block.size() * 2 - carry);
        if (n <= 0) return;
        const auto now = std::chrono::steady_clock::now();
        const size_t bytes = carry + static_cast<size_t>(n);
        const size_t whole = bytes / 2;
        std::lock_guard lock(mu_);
        samples_.insert(samples_.end(), block.begin(), block.begin() + static_cast<long>(whole));
        marks_.emplace_back(now, static_cast<int64_t>(samples_.size()));
        carry = bytes % 2;
        if (carry) reinterpret_cast<char*>(block.data())[0] = reinterpret_cast<char*>(block.data())[bytes - 1];
    }
}

bool MonitorRecorder::WaitStarted(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mu_);
            if (samples_.size() > kRate / 10) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void MonitorRecorder::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

std::vector<int16_t> MonitorRecorder::Samples() {
    std::lock_guard lock(mu_);
    return samples_;
}

int64_t MonitorRecorder::SampleAt(std::chrono::steady_clock::time_point t) {
    std::lock_guard lock(mu_);
    for (auto it = marks_.rbegin(); it != marks_.rend(); ++it) {
        if (it->first <= t) {
            const auto after = std::chrono::duration_cast<std::chrono::microseconds>(t - it->first).count();
            return it->second + after * kRate / 1000000;
        }
    }
    return 0;
}

std::vector<int> ToneTimeline(const std::vector<int16_t>& samples, const std::vector<double>& tonesHz) {
    const size_t window = kRate * kWindowMs / 1000;
    std::vector<int> timeline;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        const int16_t* x = samples.data() + start;
        double energy = 0;
        for (size_t i = 0; i < window; ++i) energy += double(x[i]) * x[i];
        if (std::sqrt(energy / window) < kSilenceRms) {
            timeline.push_back(-1);
            continue;
        }
        int best = -1;
        double bestPower = 0;
        for (size_t k = 0; k < tonesHz.size(); ++k) {
            const double p = GoertzelPower(x, window, tonesHz[k]);
            if (p > bestPower) {
                bestPower = p;
                best = static_cast<int>(k);
            }
        }
        timeline.push_back(best);
    }
    return timeline;
}

std::vector<Stretch> Stretches(const std::vector<int>& timeline) {
    std::vector<Stretch> out;
    for (size_t i = 0; i < timeline.size(); ++i) {
        if (out.empty() || out.back().tone != timeline[i]) out.push_back({timeline[i], static_cast<int64_t>(i), 0});
        ++out.back().windows;
    }
    return out;
}

} // namespace quelm::testkit
