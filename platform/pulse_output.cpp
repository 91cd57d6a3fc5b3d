#include "platform/pulse_output.h"

#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/simple.h>

#include <chrono>

namespace quelm::sound {

std::unique_ptr<PulseOutput> PulseOutput::Connect(int rate, int channels, const char* streamName,
                                                  std::string* error) {
    pa_sample_spec format{};
    format.format = PA_SAMPLE_FLOAT32LE;
    format.rate = static_cast<uint32_t>(rate);
    format.channels = static_cast<uint8_t>(channels);
    if (!pa_sample_spec_valid(&format)) {
        if (error) *error = "unsupported sample format";
        return nullptr;
    }
    const uint32_t bytesPerMs = static_cast<uint32_t>(pa_bytes_per_second(&format) / 1000);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = bytesPerMs * kTargetLatencyMs;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = bytesPerMs * kRefillMs;
    attr.fragsize = static_cast<uint32_t>(-1);
    int code = 0;
    pa_simple* s = pa_simple_new(nullptr, "Quelm", PA_STREAM_PLAYBACK, nullptr, streamName, &format,
                                 nullptr, &attr, &code);
    if (!s) {
        if (error) *error = pa_strerror(code);
        return nullptr;
    }
    return std::unique_ptr<PulseOutput>(new PulseOutput(s, rate, channels));
}

PulseOutput::~PulseOutput() { pa_simple_free(simple_); }

bool PulseOutput::Write(const float* samples, size_t frames) {
    return pa_simple_write(simple_, samples, frames * sizeof(float) * static_cast<size_t>(channels_),
                           nullptr) == 0;
}

void PulseOutput::Flush() { pa_simple_flush(simple_, nullptr); }

void PulseOutput::Drain() { pa_simple_drain(simple_, nullptr); }

int64_t PulseOutput::PendingFrames() {
    int code = 0;
    const pa_usec_t usec = pa_simple_get_latency(simple_, &code);
    if (usec == static_cast<pa_usec_t>(-1)) return 0;
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
                        if (eol) c->done = true;
                        else if (info) ++c->sinks;
                    },
                    &count);
                if (!listing) break;
            }
            // Wake at least every 10 ms to look at the deadline.
            if (pa_mainloop_prepare(loop, 10000) < 0 || pa_mainloop_poll(loop) < 0 ||
                pa_mainloop_dispatch(loop) < 0)
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
