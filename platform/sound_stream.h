#pragma once
// Plays an audio source on the sound server from a worker thread, so that the thread that
// sends commands never waits for sound to be made. Commands take effect at once: a play or a
// stop drops whatever the server still held, and the reported position is the frame being
// heard, not the frame being read.
#include "platform/pulse_output.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quelm::sound {

// Where the samples come from: a disc, a decoded file. Used by the worker thread only,
// after the stream has been made.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int Rate() const = 0;      // frames a second
    virtual int Channels() const = 0;
    virtual int64_t Frames() const = 0; // length in frames
    // Moves the read position to `frame`; false when it cannot.
    virtual bool Seek(int64_t frame) = 0;
    // Reads up to `frames` frames of interleaved floats; 0 at the end.
    virtual size_t Read(float* out, size_t frames) = 0;
};

class SoundStream {
public:
    SoundStream(std::unique_ptr<AudioSource> source, std::string name);
    ~SoundStream(); // stops the sound and ends the worker

    // Plays frames [from, to) (to < 0: to the end); with `loop`, starts again at `from` after
    // the end, without a gap. Connects to the sound server on first use, and again after the
    // connection broke: false (and `error`) when none answers. Returns once the worker has
    // taken the command.
    bool Play(int64_t from, int64_t to, bool loop, std::string* error);
    // Silence at once; the position stays at the frame that was being heard.
    void Stop();
    // True from a play until its last frame has been heard or it was stopped.
    bool Playing() const { return playing_.load(); }
    // The frame being heard now (while stopped: where the sound stopped).
    int64_t HeardFrame() const { return heard_.load(); }
    int64_t Frames() const { return frames_; }

private:
    enum class Action { Play, Stop, Quit };
    struct Request {
        Action action = Action::Stop;
        int64_t from = 0;
        int64_t to = -1;
        bool loop = false;
    };
    void Send(const Request& r);
    void Work();

    std::unique_ptr<AudioSource> source_;
    std::string name_;
    int64_t frames_;
    std::unique_ptr<PulseOutput> out_;
    std::thread worker_;

    std::mutex mu_;
    std::condition_variable wake_;
    std::condition_variable taken_;
    Request request_;
    uint64_t sent_ = 0;  // requests sent
    uint64_t taken_count_ = 0; // requests the worker has acted on
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> heard_{0};
    std::atomic<bool> lost_{false};  // the connection to the server broke
};

} // namespace quelm::sound
