// The desktop portal's Screenshot (org.freedesktop.portal.Screenshot), for compositors
// that offer no capture protocol of their own (GNOME, KDE).
#pragma once

#include "platform/wayland/desktop_capture.h"

namespace quelm::wayland {

// Asks the portal for a screenshot without a dialog and waits at most `bound` for it, on
// a session bus connection of its own. Needs a QCoreApplication: it runs an event loop on
// the calling thread for the portal's answer. The picture is cut into `layout`'s outputs
// (CutIntoOutputs).
DesktopCapture CaptureThroughPortal(std::chrono::milliseconds bound, const std::vector<OutputPicture>& layout);

// Cuts a picture of the whole desktop into the outputs of `layout` (their names, areas in
// logical pixels): the picture spans the union of the areas, in logical or device pixels.
// One picture of the whole desktop (no name, the picture's own size as its area, scale 1)
// when the layout is empty or its shape is not the picture's.
std::vector<OutputPicture> CutIntoOutputs(const QImage& desktop, const std::vector<OutputPicture>& layout);

} // namespace quelm::wayland
