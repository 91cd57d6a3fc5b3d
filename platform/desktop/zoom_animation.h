#pragma once
// Stands in for DrawAnimatedRects with IDANI_CAPTION: a frame that grows (or shrinks)
// between two rectangles on the screen, drawn over everything, for a fraction of a second.
// Emulated: the caption-style interpolation from one rectangle to the other. Not emulated:
// the system setting that turns window animations off, and the other animation styles.
#include <QRect>

namespace quelm::desktop {

inline constexpr int kZoomDurationMs = 200;
inline constexpr int kZoomSteps = 10;

// The rectangle shown at step `step` of `steps` (0 gives `from`, `steps` gives `to`).
QRect ZoomFrameAt(const QRect& from, const QRect& to, int step, int steps);

// Animates a frame from `from` to `to` (screen pixels) and returns when it has finished.
// Does nothing without a display, or on Wayland (no client may draw outside its own
// windows). Events keep being processed meanwhile.
void DrawAnimatedRects(const QRect& from, const QRect& to);

} // namespace quelm::desktop
