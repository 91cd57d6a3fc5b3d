#include "dialog/zoom.h"

#include "platform/desktop/zoom_animation.h"

#include <QWidget>

namespace quelm {

void ZoomOpen(QWidget& window, QPoint from) {
    desktop::DrawAnimatedRects(QRect(from, QSize(0, 0)), window.frameGeometry());
}

void ZoomClose(QWidget& window, QPoint to) {
    desktop::DrawAnimatedRects(window.frameGeometry(), QRect(to, QSize(0, 0)));
}

} // namespace quelm
