#include "saver/frame_pacer.h"

#include <algorithm>
#include <cmath>

namespace quelm {
namespace {
std::chrono::nanoseconds Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}
} // namespace

int NextTickDelayMs(std::chrono::nanoseconds lastStart, std::chrono::nanoseconds now, double refreshHz,
                    int requestedIntervalMs) {
    if (!(refreshHz > 0) || !std::isfinite(refreshHz)) refreshHz = kDefaultRefreshHz;
    const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 / refreshHz));
    const auto due = lastStart + period;
    long long waitMs = 0;
    if (due > now) waitMs = (std::chrono::duration_cast<std::chrono::microseconds>(due - now).count() + 999) / 1000;
    return static_cast<int>(std::max<long long>(waitMs, requestedIntervalMs));
}

FramePacer::FramePacer(int requestedIntervalMs, std::function<void()> tick, QObject* parent)
    : QObject(parent), requestedIntervalMs_(requestedIntervalMs), tick_(std::move(tick)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FramePacer::OnTimeout);
}

void FramePacer::SetRefreshRate(double hz) { refreshHz_ = hz; }

void FramePacer::Start() {
    active_ = true;
    timer_.start(requestedIntervalMs_);
}

void FramePacer::Stop() {
    active_ = false;
    timer_.stop();
}

void FramePacer::OnTimeout() {
    if (!active_) return;
    const auto start = Now();
    ++ticks_;
    tick_();
    if (active_) timer_.start(NextTickDelayMs(start, Now(), refreshHz_, requestedIntervalMs_));
}

} // namespace quelm
