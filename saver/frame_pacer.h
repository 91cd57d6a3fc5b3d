#pragma once
// Paces the frame timer: it asks for a tick every millisecond, as often as the platform
// delivers them, but a tick never comes sooner than one display refresh after the last
// one began. Where presenting waits for the vertical retrace the frame itself takes that
// long and the pacer adds nothing; where it does not (a virtual X server, a driver without
// vsync) the pacer keeps the show from spinning a core.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace quelm {

inline constexpr double kDefaultRefreshHz = 60.0;

// Milliseconds to wait before the next tick, given when the last one began and ended.
int NextTickDelayMs(std::chrono::nanoseconds lastStart, std::chrono::nanoseconds now, double refreshHz,
                    int requestedIntervalMs);

class FramePacer : public QObject {
    Q_OBJECT
public:
    FramePacer(int requestedIntervalMs, std::function<void()> tick, QObject* parent = nullptr);
    void SetRefreshRate(double hz);
    void Start();
    void Stop();
    bool IsActive() const { return active_; }
    long long TickCount() const { return ticks_; }

private:
    void OnTimeout();

    int requestedIntervalMs_;
    double refreshHz_ = kDefaultRefreshHz;
    std::function<void()> tick_;
    QTimer timer_;
    bool active_ = false;
    long long ticks_ = 0;
};

} // namespace quelm
