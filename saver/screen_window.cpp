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

bool ScreenWindow::event(QEvent* e) {
    if (e->type() == QEvent::Close) show_.CloseAsked(); // the whole show ends (once)
    return QWindow::event(e);
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
