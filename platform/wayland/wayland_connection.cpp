#include "platform/wayland/wayland_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

namespace quelm::wayland {
namespace {

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 1 << 30));
}

// Waits until fd is ready for `events`; false when the deadline passed first.
bool PollUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, MillisecondsLeft(deadline));
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::Open(QString* why) {
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty()) {
        *why = QStringLiteral("WAYLAND_DISPLAY is not set");
        return nullptr;
    }
    QByteArray path = name;
    if (!name.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) {
            *why = QStringLiteral("XDG_RUNTIME_DIR is not set, so WAYLAND_DISPLAY %1 names no socket")
                       .arg(QString::fromLocal8Bit(name));
            return nullptr;
        }
        path = runtime + '/' + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        *why = QStringLiteral("the Wayland socket path is too long");
        return nullptr;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    // A local stream socket connects at once or fails at once: no wait to bound here.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *why = QStringLiteral("no compositor at %1 (%2)")
                   .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0) close(fd);
        return nullptr;
    }
    wl_display* display = wl_display_connect_to_fd(fd); // takes fd, even when it fails
    if (!display) {
        *why = QStringLiteral("libwayland could not use the socket %1").arg(QString::fromLocal8Bit(path));
        return nullptr;
    }
    return std::unique_ptr<WaylandConnection>(new WaylandConnection(display));
}

WaylandConnection::~WaylandConnection() { wl_display_disconnect(display_); }

bool WaylandConnection::Broken(QString* why) const {
    const int error = wl_display_get_error(display_);
    const wl_interface* interface = nullptr;
    uint32_t objectId = 0;
    const uint32_t code = error == EPROTO ? wl_display_get_protocol_error(display_, &interface, &objectId) : 0;
    if (error == EPROTO) {
        *why = QStringLiteral("the compositor raised protocol error %1 on %2")
                   .arg(code)
                   .arg(QString::fromLatin1(interface ? interface->name : "an unknown object"));
    } else {
        *why = QStringLiteral("the connection to the compositor broke (%1)")
                   .arg(QString::fromLocal8Bit(strerror(error ? error : errno)));
    }
    return false;
}

bool WaylandConnection::Flush(Clock::time_point deadline, QString* why) {
    while (wl_display_flush(display_) < 0) {
        if (errno != EAGAIN) return Broken(why);
        if (!PollUntil(wl_display_get_fd(display_), POLLOUT, deadline)) {
            *why = QStringLiteral("the compositor took no requests within the time allowed");
            return false;
        }
    }
    return true;
}

bool WaylandConnection::DispatchUntil(const std::function<bool()>& done, Clock::time_point deadline, QString* why) {
    for (;;) {
        if (wl_display_dispatch_pending(display_) < 0) return Broken(why);
        if (done()) return true;
        while (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0) return Broken(why);
        }
        if (done()) {
            wl_display_cancel_read(display_);
            return true;
        }
        if (!Flush(deadline, why)) {
            wl_display_cancel_read(display_);
            return false;
        }
        if (!PollUntil(wl_display_get_fd(display_), POLLIN, deadline)) {
            wl_display_cancel_read(display_);
            *why = QStringLiteral("the compositor did not answer within the time allowed");
            return false;
        }
        if (wl_display_read_events(display_) < 0) return Broken(why);
    }
}

bool WaylandConnection::Roundtrip(Clock::time_point deadline, QString* why) {
    bool answered = false;
    static const wl_callback_listener listener{[](void* data, wl_callback* callback, uint32_t) {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
    }};
    wl_callback* callback = wl_display_sync(display_);
    wl_callback_add_listener(callback, &listener, &answered);
    if (DispatchUntil([&] { return answered; }, deadline, why)) return true;
    if (!answered) wl_callback_destroy(callback);
    return false;
}

} // namespace quelm::wayland
