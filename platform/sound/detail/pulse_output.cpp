#include "platform/sound/detail/pulse_output.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <chrono>

namespace quelm::sound {
namespace {

// Holds the connection's lock for one call: the connection's thread keeps it only while it
// handles what the server sent, never while it waits for the server.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

pa_sample_spec FloatFormat(int rate, int channels) {
    pa_sample_spec format{};
    format.format = PA_SAMPLE_FLOAT32LE;
    format.rate = static_cast<uint32_t>(rate);
    format.channels = static_cast<uint8_t>(channels);
    return format;
}

} // namespace

std::unique_ptr<PulseOutput> PulseOutput::Start(int rate, int channels, const char* streamName,
                                                std::function<void()> wake) {
    const pa_sample_spec format = FloatFormat(rate, channels);
    if (!pa_sample_spec_valid(&format)) return nullptr;
    std::unique_ptr<PulseOutput> out(new PulseOutput(rate, channels, std::move(wake)));
    out->name_ = streamName;
    out->loop_ = pa_threaded_mainloop_new();
    if (!out->loop_) return nullptr;
    out->context_ = pa_context_new(pa_threaded_mainloop_get_api(out->loop_), "Quelm");
    if (!out->context_) return nullptr;
    pa_context_set_state_callback(
        out->context_,
        [](pa_context* c, void* data) {
            auto* self = static_cast<PulseOutput*>(data);
            if (pa_context_get_state(c) == PA_CONTEXT_READY) self->OpenStream();
            self->wake_();
        },
        out.get());
    // No autospawn: starting a server would wait for it; a desktop runs one already.
    if (pa_context_connect(out->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) out->failed_ = true;
    if (pa_threaded_mainloop_start(out->loop_) < 0) return nullptr;
    return out;
}

// On the connection's thread, its lock held.
void PulseOutput::OpenStream() {
    const pa_sample_spec format = FloatFormat(rate_, channels_);
    stream_ = pa_stream_new(context_, name_.c_str(), &format, nullptr);
    if (!stream_) {
        failed_ = true;
        return;
    }
    const uint32_t bytesPerMs = static_cast<uint32_t>(pa_bytes_per_second(&format) / 1000);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = bytesPerMs * kTargetLatencyMs;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = bytesPerMs * kRefillMs;
    attr.fragsize = static_cast<uint32_t>(-1);
    pa_stream_set_state_callback(
        stream_, [](pa_stream*, void* data) { static_cast<PulseOutput*>(data)->wake_(); }, this);
    pa_stream_set_write_callback(
        stream_, [](pa_stream*, size_t, void* data) { static_cast<PulseOutput*>(data)->wake_(); }, this);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) failed_ = true;
}

PulseOutput::~PulseOutput() {
    if (!loop_) return;
    {
        Locked lock(loop_);
        DropDrain();
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

PulseOutput::State PulseOutput::GetState() {
    Locked lock(loop_);
    if (failed_ || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return State::Failed;
    if (!stream_) return State::Connecting;
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (!PA_STREAM_IS_GOOD(state)) return State::Failed;
    return state == PA_STREAM_READY ? State::Ready : State::Connecting;
}

size_t PulseOutput::WritableFrames() {
    Locked lock(loop_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return 0;
    const size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<size_t>(-1)) return 0;
    return bytes / (sizeof(float) * static_cast<size_t>(channels_));
}

void PulseOutput::Write(const float* samples, size_t frames) {
    Locked lock(loop_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    pa_stream_write(stream_, samples, frames * sizeof(float) * static_cast<size_t>(channels_), nullptr, 0,
                    PA_SEEK_RELATIVE);
}

void PulseOutput::DropDrain() {
    if (drain_) {
        pa_operation_cancel(drain_);
        pa_operation_unref(drain_);
        drain_ = nullptr;
    }
    drained_ = false;
}

void PulseOutput::Flush() {
    Locked lock(loop_);
    DropDrain();
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    if (pa_operation* o = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(o);
}

void PulseOutput::Drain() {
    Locked lock(loop_);
    DropDrain();
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    drain_ = pa_stream_drain(
        stream_,
        [](pa_stream*, int, void* data) {
            auto* self = static_cast<PulseOutput*>(data);
            self->drained_ = true;
            self->wake_();
        },
        this);
}

bool PulseOutput::Drained() {
    Locked lock(loop_);
    return drained_;
}

std::optional<int64_t> PulseOutput::PendingFrames() {
    Locked lock(loop_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return std::nullopt;
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) < 0) return std::nullopt;
    if (negative) return 0;
    return static_cast<int64_t>(usec * static_cast<uint64_t>(rate_) / 1000000u);
}

namespace {
struct SinkCount {
    int sinks = 0;
    bool done = false;
};
} // namespace

int CountSoundOutputs() {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop) return 0;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Quelm");
    SinkCount count;
    pa_operation* listing = nullptr;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServerAnswerMs);
        while (!count.done && std::chrono::steady_clock::now() < deadline) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (!PA_CONTEXT_IS_GOOD(state)) break;
            if (state == PA_CONTEXT_READY && !listing) {
                listing = pa_context_get_sink_info_list(
                    context,
                    [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                        auto* c = static_cast<SinkCount*>(data);
                        if (eol)
                            c->done = true;
                        else if (info)
                            ++c->sinks;
                    },
                    &count);
                if (!listing) break;
            }
            // Wake at least every 10 ms to look at the deadline.
            if (pa_mainloop_prepare(loop, 10000) < 0 || pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
                break;
        }
    }
    if (listing) {
        pa_operation_cancel(listing);
        pa_operation_unref(listing);
    }
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return count.done ? count.sinks : 0;
}

} // namespace quelm::sound
