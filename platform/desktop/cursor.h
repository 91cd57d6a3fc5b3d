#pragma once
// Stands in for ShowCursor: a display counter that starts at 0; the pointer is hidden over
// the program's windows while the counter is below 0. Emulated: the counter and its
// result. Not emulated: the pointer of other programs, which X keeps for them.
namespace quelm::desktop {

// Adds 1 (show) or subtracts 1 (hide) and returns the new counter.
int ShowCursor(bool show);

} // namespace quelm::desktop
