#include "platform/sound/detail/sound_stream.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace quelm::sound {
namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr int kChunkMs = 10;      // frames read and written at a time
constexpr int kConnectMs = 1000;  // longest wait for a new connection to become ready
constexpr int kRetryMs = 1000;    // a loop's pause before it tries a broken connection, or a
                                  // source that gave nothing, again
constexpr int kLookAgainMs = 100; // the worker looks at the server at least this often
} // namespace

SoundStream::SoundStream(std::unique_ptr<AudioSource> source, std::string name)
    : source_(std::move(source)), name_(std::move(name)), frames_(source_->Frames()) {}

SoundStream::~SoundStream() {
    if (!worker_.joinable()) return;
    {
        std::unique_lock lock(mu_);
        Send({Action::Quit}, lock);
    }
    worker_.join(); // the worker never waits for the server, so it ends at once
}

uint64_t SoundStream::Send(const Request& r, std::unique_lock<std::mutex>&) {
    request_ = r;
    playing_ = r.action == Action::Play;
    wake_.notify_all();
    return ++sent_;
}

void SoundStream::Wake() {
    std::lock_guard lock(mu_);
    ++events_;
    wake_.notify_all();
}

bool SoundStream::Play(int64_t from, int64_t to, bool loop, std::string* error) {
    if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
    std::unique_lock lock(mu_);
    heard_ = from;
    const uint64_t number = Send({Action::Play, from, to, loop}, lock);
    // A refused connection is known at once; a server that is slow to answer is not waited for.
    taken_.wait_for(lock, milliseconds(kAnswerWaitMs),
                    [&] { return taken_count_ >= number && link_ != Link::Connecting; });
    if (taken_count_ >= number && link_ == Link::Failed) {
        if (error) *error = "no sound server answers";
        return false;
    }
    return true;
}

void SoundStream::Stop() {
    std::unique_lock lock(mu_);
    if (!worker_.joinable()) {
        playing_ = false;
        return;
    }
    const uint64_t number = Send({Action::Stop}, lock);
    taken_.wait_for(lock, milliseconds(kAnswerWaitMs), [&] { return taken_count_ >= number; });
}

void SoundStream::Work() {
    const int rate = source_->Rate();
    const int channels = source_->Channels();
    const size_t chunk = static_cast<size_t>(std::max(1, rate * kChunkMs / 1000));
    std::vector<float> buffer(chunk * static_cast<size_t>(channels));
    std::unique_ptr<PulseOutput> out;
    Link link = Link::None;
    Clock::time_point connectBy, resumeAt;
    auto connect = [&] {
        out = PulseOutput::Start(rate, channels, name_.c_str(), [this] { Wake(); });
        connectBy = Clock::now() + milliseconds(kConnectMs);
        link = out ? Link::Connecting : Link::Failed;
    };
    Request now;
    bool active = false;   // a play is going on
    bool draining = false; // all of it has been written
    bool yielded = false;  // the source gave frames since the play or the loop's last round began
    int64_t pos = 0;       // next frame to read
    int64_t heard = 0;
    std::unique_lock lock(mu_);
    for (;;) {
        if (sent_ != taken_count_) {
            now = request_;
            const uint64_t number = sent_;
            lock.unlock();
            if (now.action == Action::Quit) {
                out.reset();
                lock.lock();
                taken_count_ = number;
                taken_.notify_all();
                return;
            }
            if (out && out->GetState() == PulseOutput::State::Failed) out.reset();
            if (out) out->Flush();
            active = now.action == Action::Play;
            draining = false;
            resumeAt = {};
            if (active) {
                pos = heard = std::clamp<int64_t>(now.from, 0, frames_);
                source_->Seek(pos);
                yielded = false;
                sourceFailed_ = false;
                if (!out)
                    connect();
                else if (out->GetState() == PulseOutput::State::Ready)
                    link = Link::Ready;
            }
            lock.lock();
            link_ = link;
            taken_count_ = number;
            taken_.notify_all();
            continue;
        }
        if (!active) {
            wake_.wait(lock, [&] { return sent_ != taken_count_; });
            continue;
        }
        const uint64_t seen = events_;
        lock.unlock();

        const Clock::time_point t = Clock::now();
        Clock::time_point until = t + milliseconds(kLookAgainMs);
        bool busy = false;     // more to do at once
        bool finished = false; // this play is over
        if (t < resumeAt) {
            until = resumeAt;
        } else if (!out) {
            connect();
            busy = out != nullptr;
            if (!out) {
                finished = !now.loop;
                resumeAt = until = t + milliseconds(kRetryMs);
            }
        } else {
            PulseOutput::State state = out->GetState();
            if (state == PulseOutput::State::Connecting && t >= connectBy) state = PulseOutput::State::Failed;
            if (state == PulseOutput::State::Connecting) {
                until = connectBy;
            } else if (state == PulseOutput::State::Failed) {
                out.reset();
                link = Link::Failed;
                if (now.loop)
                    resumeAt = until = t + milliseconds(kRetryMs);
                else
                    finished = true;
            } else {
                link = Link::Ready;
                if (draining) {
                    finished = out->Drained();
                } else if (const size_t room = out->WritableFrames(); room > 0) {
                    const int64_t end = now.to < 0 ? frames_ : std::min(now.to, frames_);
                    const size_t want = std::min({room, chunk, static_cast<size_t>(std::max<int64_t>(0, end - pos))});
                    const size_t got = want ? source_->Read(buffer.data(), want) : 0;
                    if (got > 0) {
                        out->Write(buffer.data(), got);
                        pos += static_cast<int64_t>(got);
                        yielded = true;
                        busy = true;
                    } else if (now.loop && end > now.from) {
                        // Round again; a round that gave nothing at all waits before the next.
                        if (yielded)
                            busy = true;
                        else
                            resumeAt = until = t + milliseconds(kRetryMs);
                        source_->Seek(now.from);
                        pos = now.from;
                        yielded = false;
                    } else {
                        if (pos < end) sourceFailed_ = true;
                        out->Drain();
                        draining = true;
                        busy = true;
                    }
                }
                if (finished)
                    heard = pos;
                else if (const auto pending = out->PendingFrames())
                    heard = std::max<int64_t>(now.from, pos - *pending);
            }
        }

        lock.lock();
        if (sent_ == taken_count_) { // no newer command has replaced this playback
            heard_ = heard;
            if (finished) {
                active = false;
                playing_ = false;
            }
            if (link_ != link) {
                link_ = link;
                taken_.notify_all();
            }
        }
        if (!busy && !finished) wake_.wait_until(lock, until, [&] { return sent_ != taken_count_ || events_ != seen; });
    }
}

} // namespace quelm::sound
