// A Wayland connection of our own (not Qt's), with waits that end at a deadline.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

struct wl_display;

namespace quelm::wayland {

using Clock = std::chrono::steady_clock;

class WaylandConnection {
public:
    // Connects to the compositor that WAYLAND_DISPLAY names (a socket name in
    // XDG_RUNTIME_DIR, or an absolute path). WAYLAND_SOCKET is never taken: that socket is
    // the one connection handed to this process, and it belongs to Qt. Null, with the
    // reason in *why, when there is no such compositor.
    static std::unique_ptr<WaylandConnection> Open(QString* why);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }

    // Sends what is queued and dispatches events until done() holds. False, with the reason
    // in *why, when the deadline passes first or the connection breaks (a protocol error,
    // the compositor gone); the connection is useless after a break.
    bool DispatchUntil(const std::function<bool()>& done, Clock::time_point deadline, QString* why);
    // Every request sent so far has been handled and its events dispatched.
    bool Roundtrip(Clock::time_point deadline, QString* why);

private:
    explicit WaylandConnection(wl_display* display) : display_(display) {}
    bool Broken(QString* why) const;
    bool Flush(Clock::time_point deadline, QString* why);
    wl_display* display_;
};

} // namespace quelm::wayland
