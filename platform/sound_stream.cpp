#include "platform/sound_stream.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace quelm::sound {
namespace {
constexpr int kChunkMs = 10;          // frames read and written at a time
constexpr int kCommandWaitMs = 500;   // longest wait for the worker to take a command
} // namespace

SoundStream::SoundStream(std::unique_ptr<AudioSource> source, std::string name)
    : source_(std::move(source)), name_(std::move(name)), frames_(source_->Frames()) {}

SoundStream::~SoundStream() {
    if (worker_.joinable()) {
        Send({Action::Quit});
        worker_.join();
    }
}

bool SoundStream::Play(int64_t from, int64_t to, bool loop, std::string* error) {
    if (lost_) {  // the server went away: start afresh with a new connection
        Send({Action::Quit});
        worker_.join();
        out_.reset();
        lost_ = false;
    }
    if (!out_) {
        out_ = PulseOutput::Connect(source_->Rate(), source_->Channels(), name_.c_str(), error);
        if (!out_) return false;
        worker_ = std::thread([this] { Work(); });
    }
    {
        std::lock_guard lock(mu_);
        playing_ = true;
        heard_ = from;
    }
    Send({Action::Play, from, to, loop});
    return true;
}

void SoundStream::Stop() {
    playing_ = false;
    if (worker_.joinable()) Send({Action::Stop});
}

void SoundStream::Send(const Request& r) {
    std::unique_lock lock(mu_);
    request_ = r;
    const uint64_t number = ++sent_;
    if (r.action != Action::Play) playing_ = false;
    wake_.notify_all();
    taken_.wait_for(lock, std::chrono::milliseconds(kCommandWaitMs),
                    [&] { return taken_count_ >= number; });
}

void SoundStream::Work() {
    const int channels = source_->Channels();
    const size_t chunk = static_cast<size_t>(std::max(1, source_->Rate() * kChunkMs / 1000));
    std::vector<float> buffer(chunk * static_cast<size_t>(channels));
    bool active = false;
    Request now;
    int64_t pos = 0;     // next frame to read
    int64_t heard = 0;
    std::unique_lock lock(mu_);
    for (;;) {
        if (!active) wake_.wait(lock, [&] { return sent_ != taken_count_; });
        if (sent_ != taken_count_) {
            now = request_;
            const uint64_t number = sent_;
            lock.unlock();
            out_->Flush();
            if (now.action == Action::Play) {
                pos = std::clamp<int64_t>(now.from, 0, frames_);
                source_->Seek(pos);
            }
            lock.lock();
            active = now.action == Action::Play;
            taken_count_ = number;
            taken_.notify_all();
            if (now.action == Action::Quit) return;
            continue;
        }
        lock.unlock();
        const int64_t end = now.to < 0 ? frames_ : std::min(now.to, frames_);
        size_t want = static_cast<size_t>(std::clamp<int64_t>(end - pos, 0, static_cast<int64_t>(chunk)));
        size_t got = want ? source_->Read(buffer.data(), want) : 0;
        bool finished = false;
        if (got == 0) {
            if (now.loop && end > now.from && source_->Seek(now.from)) {
                pos = now.from;
            } else {
                out_->Drain();
                heard = pos;
                finished = true;
            }
        } else {
            if (!out_->Write(buffer.data(), got)) {
                lost_ = true;
                finished = true;
            }
            pos += static_cast<int64_t>(got);
            heard = std::max<int64_t>(now.from, pos - out_->PendingFrames());
        }
        lock.lock();
        if (sent_ == taken_count_) {  // no newer command has replaced this playback
            heard_ = heard;
            if (finished) {
                active = false;
                playing_ = false;
            }
        }
    }
}

} // namespace quelm::sound
