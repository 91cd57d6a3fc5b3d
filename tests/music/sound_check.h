#pragma once
// Test material and measurement for the music: disc images and music files of pure tones,
// and a recorder of the sound server's null sink that tells which tone was heard when.
#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace quelm::testkit {

inline constexpr int kRate = 44100;
inline constexpr int kWindowMs = 20;  // the recording is judged in windows of this length

// A CUE/BIN image (16-bit little-endian stereo, 44.1 kHz) with one track per tone, each
// `secondsPerTrack` long (a whole number of sectors). Returns the CUE file.
std::filesystem::path MakeDiscImage(const std::filesystem::path& folder, const std::vector<double>& tonesHz,
                                    double secondsPerTrack);
// A 16-bit stereo WAV file of one tone.
void WriteToneWav(const std::filesystem::path& file, double toneHz, double seconds);
// An MP3 of one tone, made with lame; false when lame failed.
bool MakeToneMp3(const std::filesystem::path& file, double toneHz, double seconds);

// Waits until the sound server plays new streams at once: a freshly started null sink holds
// its first streams back for a second or two. False when no server answers.
bool SettleSoundServer();

// Records the null sink's monitor ("out.monitor") with parec from construction to Stop().
class MonitorRecorder {
public:
    MonitorRecorder();
    ~MonitorRecorder();
    // True once the recording has started delivering sound.
    bool WaitStarted(std::chrono::milliseconds limit);
    void Stop();
    // Mono samples at kRate.
    std::vector<int16_t> Samples();
    // Index of the sample that was being recorded at `t` (approximate to a few ms).
    int64_t SampleAt(std::chrono::steady_clock::time_point t);

private:
    void Run();
    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mu_;
    std::vector<int16_t> samples_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, int64_t>> marks_;
};

// For each window of kWindowMs: the index in `tonesHz` of the tone heard, or -1 for silence.
std::vector<int> ToneTimeline(const std::vector<int16_t>& samples, const std::vector<double>& tonesHz);

struct Stretch {
    int tone;
    int64_t firstWindow;
    int64_t windows;
};
// Runs of equal values in a timeline.
std::vector<Stretch> Stretches(const std::vector<int>& timeline);

inline int64_t WindowsToMs(int64_t windows) { return windows * kWindowMs; }

} // namespace quelm::testkit
