// Capture through the compositor's own protocols (ext-image-copy-capture-v1, else
// wlr-screencopy-unstable-v1) into shared-memory buffers, every output at once.
#pragma once

#include "platform/wayland/desktop_capture.h"
#include "platform/wayland/wayland_connection.h"

namespace quelm::wayland {

struct CompositorCapture {
    DesktopCapture capture;            // the pictures that came, the route, why not all
    std::vector<OutputPicture> layout; // every output's name, area and scale; null images
    bool connected = false;            // a compositor answered on a connection of our own
    bool offersCapture = false;        // it offers a capture protocol spoken here
};

CompositorCapture CaptureThroughCompositor(Clock::time_point deadline);

} // namespace quelm::wayland
