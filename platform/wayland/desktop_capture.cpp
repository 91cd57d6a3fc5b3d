#include "platform/wayland/desktop_capture.h"

#include "platform/wayland/compositor_capture.h"
#include "platform/wayland/portal_screenshot.h"

namespace quelm::wayland {

bool SessionIsWayland(std::chrono::milliseconds bound) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return !qEnvironmentVariableIsEmpty("WAYLAND_SOCKET");
    QString why;
    const auto connection = WaylandConnection::Open(&why);
    return connection && connection->Roundtrip(Clock::now() + bound, &why);
}

DesktopCapture CaptureDesktop(std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    const bool ownConnectionPossible = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!ownConnectionPossible && qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return {{}, {}, QStringLiteral("not a Wayland session (no WAYLAND_DISPLAY)")};

    CompositorCapture compositor = CaptureThroughCompositor(deadline);
    // The portal only where the compositor answers but offers no capture protocol (or where
    // Qt holds the only connection): elsewhere it would meet the same compositor.
    const bool portalMayHelp = ownConnectionPossible ? compositor.connected && !compositor.offersCapture : true;
    if (!portalMayHelp) return std::move(compositor.capture);

    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        compositor.capture.failure += QStringLiteral("; no time was left for the desktop portal");
        return std::move(compositor.capture);
    }
    DesktopCapture portal = CaptureThroughPortal(left, compositor.layout);
    if (!portal.failure.isEmpty()) portal.failure = compositor.capture.failure + QStringLiteral("; ") + portal.failure;
    return portal;
}

const OutputPicture* OutputOf(const DesktopCapture& capture, const QString& name, const QRect& logical,
                              const QRect& pixels) {
    const auto find = [&](auto&& fits) -> const OutputPicture* {
        for (const OutputPicture& o : capture.outputs)
            if (!o.image.isNull() && fits(o)) return &o;
        return nullptr;
    };
    if (const auto* named = find([&](const OutputPicture& o) { return !name.isEmpty() && o.name == name; }))
        return named;
    if (const auto* placed = find([&](const OutputPicture& o) { return o.area == logical; })) return placed;
    return find([&](const OutputPicture& o) {
        return QRect((QPointF(o.area.topLeft()) * o.scale).toPoint(), o.image.size()) == pixels;
    });
}

} // namespace quelm::wayland
