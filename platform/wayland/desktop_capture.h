// The user's desktop in a Wayland session, one picture an output, taken before the show's
// own windows map: through the compositor's capture protocol (ext-image-copy-capture-v1,
// else wlr-screencopy-unstable-v1) on a Wayland connection of our own, else through the
// desktop portal's Screenshot.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <chrono>
#include <vector>

namespace quelm::wayland {

struct OutputPicture {
    QString name;    // the compositor's name of the output ("DP-1", "HEADLESS-1"); may be empty
    QRect area;      // where the output lies on the desktop, in logical layout pixels
    qreal scale = 1; // device pixels a logical pixel: image width / area width
    QImage image;    // device pixels, Format_RGB32, top row first, turned as the user sees it
};

struct DesktopCapture {
    std::vector<OutputPicture> outputs; // in layout order: top to bottom, left to right
    // "ext-image-copy-capture", "wlr-screencopy" or "portal"; "" when nothing came.
    QString route;
    // Why nothing, or not every output, was captured; "" when all were.
    QString failure;
};

// A Wayland compositor answers on WAYLAND_DISPLAY within `bound`. True without asking when
// only WAYLAND_SOCKET is set: that socket is Qt's to take, and asking would take it.
bool SessionIsWayland(std::chrono::milliseconds bound = std::chrono::milliseconds(500));

// Captures every output, returning within about `bound` whatever the compositor does (the
// portal's session bus connection is the one wait Qt does not let us bound). The protocol
// routes run on any thread and need no Qt platform. The portal route, taken only when the
// compositor offers no capture protocol, needs a QCoreApplication and runs an event loop
// on the calling thread for its answer; without an application it is skipped.
DesktopCapture CaptureDesktop(std::chrono::milliseconds bound);

// The picture of the output a screen shows: the output of the screen's `name`, else the one
// whose area is `logical` (layout pixels), else the one that lies on `pixels` (device pixels:
// its area's corner times its scale, its picture's size); null when none is.
const OutputPicture* OutputOf(const DesktopCapture& capture, const QString& name, const QRect& logical,
                              const QRect& pixels);

} // namespace quelm::wayland
