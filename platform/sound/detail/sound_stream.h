#pragma once
// Plays an audio source on the sound server from a worker thread, so that the thread that
// sends commands never waits for sound to be made, nor for the server: a server that is
// gone or has stopped answering costs a command no more than kAnswerWaitMs. Commands take
// effect at once: a play or a stop drops whatever the server still held, and the reported
// position is the frame being heard, not the frame being read.
#include "platform/sound/detail/pulse_output.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quelm::sound {

inline constexpr int kAnswerWaitMs = 50; // longest wait of a command for the worker or the server

// Where the samples come from: a disc, a decoded file. Used by the worker thread only,
// after the stream has been made.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int Rate() const = 0; // frames a second
    virtual int Channels() const = 0;
    virtual int64_t Frames() const = 0; // length in frames
    // Moves the read position to `frame`; false when it cannot.
    virtual bool Seek(int64_t frame) = 0;
    // Reads up to `frames` frames of interleaved floats; 0 at the end, or where the source
    // cannot be read.
    virtual size_t Read(float* out, size_t frames) = 0;
};

class SoundStream {
public:
    SoundStream(std::unique_ptr<AudioSource> source, std::string name);
    ~SoundStream(); // stops the sound and ends the worker

    // Plays frames [from, to) (to < 0: to the end); with `loop`, starts again at `from` after
    // the end, without a gap. Connects to the sound server when there is no connection:
    // false (and `error`) when the server refuses. A loop whose connection breaks, or whose
    // source gives nothing, tries again now and then until it is stopped; any other play
    // ends there.
    bool Play(int64_t from, int64_t to, bool loop, std::string* error);
    // Silence at once; the position stays at the frame that was being heard.
    void Stop();
    // True from a play until its last frame has been heard, it was stopped or its
    // connection broke.
    bool Playing() const { return playing_.load(); }
    // The frame being heard now (while stopped: where the sound stopped).
    int64_t HeardFrame() const { return heard_.load(); }
    int64_t Frames() const { return frames_; }
    // True when the last play met the end of what its source could read before the end it
    // was given (a file cut short, a disc that cannot be read).
    bool SourceFailed() const { return sourceFailed_.load(); }

private:
    enum class Action { Play, Stop, Quit };
    struct Request {
        Action action = Action::Stop;
        int64_t from = 0;
        int64_t to = -1;
        bool loop = false;
    };
    enum class Link { None, Connecting, Ready, Failed }; // the worker's connection
    uint64_t Send(const Request& r, std::unique_lock<std::mutex>& lock);
    void Wake();
    void Work();

    std::unique_ptr<AudioSource> source_;
    std::string name_;
    int64_t frames_;
    std::thread worker_;

    std::mutex mu_;
    std::condition_variable wake_;  // the worker: a command, or news from the server
    std::condition_variable taken_; // the sender: the worker took a command, or the link changed
    Request request_;
    uint64_t sent_ = 0;        // requests sent
    uint64_t taken_count_ = 0; // requests the worker has acted on
    uint64_t events_ = 0;      // news from the server
    Link link_ = Link::None;
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> heard_{0};
    std::atomic<bool> sourceFailed_{false};
};

} // namespace quelm::sound
