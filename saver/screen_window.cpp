#include "saver/screen_window.h"

#include <QMouseEvent>
#include <QScreen>

namespace quelm {

ScreenWindow::ScreenWindow(ShowInput& show, QScreen* screen, const QString& title, const QSurfaceFormat& format)
    : show_(show) {
    setTitle(title);
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(format);
    setScreen(screen);
    setGeometry(screen->geometry());
}

void ScreenWindow::mouseReleaseEvent(QMouseEvent* e) { show_.ButtonReleased(e->globalPosition().toPoint()); }

void ShowFullScreenOn(QWindow& window, QScreen* screen) {
    if (screen) {
        window.setScreen(screen);
        window.setGeometry(screen->geometry());
    }
    window.showFullScreen();
}

} // namespace quelm
