#pragma once
// Where the show reads the desktop for its walls, chosen once at start-up: the X server's root
// window (an X11 session), or, in a Wayland session, the compositor (platform/wayland), whose
// outputs are all captured at the first reading and kept for the boxes of every screen. A
// Wayland session is read through the compositor also when the show itself runs on Xwayland:
// Xwayland's root holds no Wayland window's pixels.
#include <QImage>
#include <QRect>
#include <QString>

class QScreen;

namespace quelm {

enum class DesktopSource { XRootWindow, WaylandCompositor };

// Called once at start-up, before a show reads the desktop; XRootWindow until then.
void UseDesktopSource(DesktopSource source);

// One screen as the desktop's readers find it: asked on Qt's thread, read on any.
struct ScreenPlace {
    QString name;  // the window system's name of the screen (its output)
    QRect logical; // on the desktop, in Qt's pixels
    QRect pixels;  // on the desktop, in device pixels (ScreenArea)
};

// `screen`'s place (none: the primary screen); an empty one without a screen. On Qt's thread.
ScreenPlace PlaceOf(const QScreen* screen);

// The desktop's pixels on `place`, read from any thread: the root window's as they are now,
// or the compositor's output as it was at the first reading since the last
// ForgetDesktopCapture (which waits 3 s at most).
// A null image when they cannot be read that way.
QImage ReadDesktop(const ScreenPlace& place);

// Lets the compositor's pictures go, once every box of the show has read its screen's (the
// load is over); a later reading captures again.
void ForgetDesktopCapture();

// The pixels of `screen` (none: the primary screen) as Qt grabs them now, on Qt's thread,
// where ReadDesktop could not read them; a null image when there is no screen, the grab fails,
// or the session is Wayland's (no grab of a window system shows its desktop).
QImage GrabDesktop(const QScreen* screen);

} // namespace quelm
