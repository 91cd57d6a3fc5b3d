#include "dialog/zoom.h"

#include "platform/zoom_animation.h"

#include <QWidget>

namespace quelm {

void ZoomOpen(QWidget& window, QPoint from) {
    platform::DrawAnimatedRects(QRect(from, QSize(0, 0)), window.frameGeometry());
}

void ZoomClose(QWidget& window, QPoint to) {
    platform::DrawAnimatedRects(window.frameGeometry(), QRect(to, QSize(0, 0)));
}

} // namespace quelm
