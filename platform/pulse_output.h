#pragma once
// One playback stream on the sound server, spoken to through the PulseAudio protocol (which
// PipeWire desktops serve too). Samples are 32-bit floats, interleaved. The stream keeps only
// a short buffer on the server (kTargetLatencyMs), so that dropping it silences the stream at
// once and the frame being heard is never far behind the frame written.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct pa_simple;

namespace quelm::sound {

inline constexpr int kTargetLatencyMs = 150;  // what the server holds ahead of the speaker:
                                              // enough to ride out a busy machine
inline constexpr int kServerAnswerMs = 1000;  // longest wait for a server that is there
inline constexpr int kRefillMs = 20;          // the server asks for more in steps of this

class PulseOutput {
public:
    // Connects a new stream; nothing (and `error` filled) when no server answers.
    static std::unique_ptr<PulseOutput> Connect(int rate, int channels, const char* streamName,
                                                std::string* error);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Hands `frames` frames to the server; blocks while its buffer is full (at most about
    // kTargetLatencyMs). False when the connection is lost.
    bool Write(const float* samples, size_t frames);
    // Drops everything not yet heard.
    void Flush();
    // Waits until everything written has been heard.
    void Drain();
    // Frames written that have not been heard yet.
    int64_t PendingFrames();

    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

private:
    PulseOutput(pa_simple* s, int rate, int channels) : simple_(s), rate_(rate), channels_(channels) {}
    pa_simple* simple_;
    int rate_;
    int channels_;
};

// Number of sound outputs (sinks) the server offers; 0 when no server answers within
// kServerAnswerMs.
int CountSoundOutputs();

} // namespace quelm::sound
