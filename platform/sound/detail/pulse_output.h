#pragma once
// One playback stream on the sound server, spoken to through the PulseAudio protocol (which
// PipeWire desktops serve too). Samples are 32-bit floats, interleaved. The stream keeps only
// a short buffer on the server (kTargetLatencyMs), so that dropping it silences the stream at
// once and the frame being heard is never far behind the frame written.
//
// Nothing here waits for the server: the connection runs on a thread of its own, and every
// call only reads what the server said last or queues a request, so a server that has
// stopped answering leaves every call as quick as one that answers. Whoever drives the
// stream is woken when there is something new to look at.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_operation;

namespace quelm::sound {

inline constexpr int kTargetLatencyMs = 150; // what the server holds ahead of the speaker:
                                             // enough to ride out a busy machine
inline constexpr int kRefillMs = 20;         // the server asks for more in steps of this
inline constexpr int kServerAnswerMs = 80;   // longest wait for the count of sound outputs

class PulseOutput {
public:
    enum class State { Connecting, Ready, Failed };

    // Starts connecting a new stream; nothing only when the client library cannot start.
    // `wake` runs on the connection's thread whenever the state changes, the server asks
    // for more or a drain has finished; it must not call back into the output.
    static std::unique_ptr<PulseOutput> Start(int rate, int channels, const char* streamName,
                                              std::function<void()> wake);
    ~PulseOutput(); // drops the stream and the connection without waiting for the server
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    State GetState();
    // Frames the server takes now; Write hands over at most that many.
    size_t WritableFrames();
    void Write(const float* samples, size_t frames);
    // Drops everything not yet heard.
    void Flush();
    // Asks the server to say when everything written has been heard; Drained() then turns true.
    void Drain();
    bool Drained();
    // Frames written that have not been heard yet; nothing while the server has not said.
    std::optional<int64_t> PendingFrames();

    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

private:
    PulseOutput(int rate, int channels, std::function<void()> wake)
        : rate_(rate), channels_(channels), wake_(std::move(wake)) {}
    void OpenStream(); // once the connection is ready
    void DropDrain();

    int rate_;
    int channels_;
    std::function<void()> wake_;
    std::string name_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_operation* drain_ = nullptr;
    bool drained_ = false;
    bool failed_ = false;
};

// Number of sound outputs (sinks) the server offers; 0 when no server answers within
// kServerAnswerMs.
int CountSoundOutputs();

} // namespace quelm::sound
