#include "startup/zoom.h"

#include "platform/zoom_animation.h"
#include "startup/settings.h"

#include <QWidget>

namespace quelm {
namespace {
QRect ZoomPoint() { return QRect(ZoomX, ZoomY, 0, 0); }
} // namespace

void ZoomOpen(QWidget& window) { platform::DrawAnimatedRects(ZoomPoint(), window.frameGeometry()); }

void ZoomClose(QWidget& window) { platform::DrawAnimatedRects(window.frameGeometry(), ZoomPoint()); }

} // namespace quelm
