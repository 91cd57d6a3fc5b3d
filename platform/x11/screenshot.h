#pragma once
// The desktop picture that XScreenSaver keeps while its own window covers the screen: a
// pixmap named by the _SCREENSAVER_SCREENSHOT property of its window (or of the root).
// Also the virtual root (__SWM_VROOT) that some window managers and daemons put above the
// real root window.
#include "platform/x11/windows.h"

#include <QImage>
#include <QRect>
#include <optional>

namespace quelm::x11 {

// The screenshot stored on `window` or, failing that, on the root window; a null image
// when there is none or it cannot be read.
QImage StoredScreenshot(WindowId window);

// The root window's pixels in `area` (the primary screen's pixels), as they are now, read
// over a connection of our own, so from any thread; through memory shared with the server
// where it can (a local server with MIT-SHM 1.2), else down the socket. A null image when the screen does not
// keep 32-bit pixels in Qt's RGB32 order (then ask Qt for the grab).
QImage RootScreenshot(QRect area);

// A child of the root window that carries __SWM_VROOT, or nothing.
std::optional<WindowId> VirtualRoot();

} // namespace quelm::x11
