#pragma once
// The Direct3D stand-in drawn with OpenGL (compatibility profile, fixed-function pipeline)
// through Qt's QOpenGL classes. See device.h for what is emulated.
//
// On the screen: each screen (QScreen, a monitor) is an adapter, numbered in the order of
// QGuiApplication::screens(), the primary screen first; an adapter's display mode is its
// screen's. A device draws on its window
// (made an OpenGL surface with a depth buffer of 16 bits or more) and presents by swapping
// buffers, once per retrace where the driver syncs to it. Off screen: the display mode is the
// size given; a device draws into a framebuffer object, and Present copies it to a second
// one that GetFrontBuffer reads. Both need a QGuiApplication and, on X11, a display.
#include "platform/d3d/device.h"

#include <QSize>

class QScreen;
#include <QSurfaceFormat>

namespace quelm::d3d {

std::unique_ptr<Direct3D> CreateGlDirect3D();
// The adapter of `screen` (0, the primary screen's, when it is no screen of the application).
uint32_t AdapterOf(const QScreen* screen);
// The surface format a device's window needs (compatibility profile, a depth buffer, one
// swap a retrace). A window created with another format is created again by CreateDevice.
QSurfaceFormat GlDeviceFormat();
std::unique_ptr<Direct3D> CreateOffscreenGlDirect3D(QSize size);

} // namespace quelm::d3d
