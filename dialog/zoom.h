#pragma once
// The settings dialog's opening and closing animations, between a point on the screen
// (pixels) and the window's outer rectangle.
#include <QPoint>

class QWidget;

namespace quelm {

void ZoomOpen(QWidget& window, QPoint from); // from the point to the window
void ZoomClose(QWidget& window, QPoint to);  // from the window to the point

} // namespace quelm
