#pragma once
// The settings dialog's opening and closing animations, between the point (ZoomX, ZoomY)
// and the window's outer rectangle.
class QWidget;

namespace quelm {

void ZoomOpen(QWidget& window);   // from the point to the window
void ZoomClose(QWidget& window);  // from the window to the point

} // namespace quelm
