#pragma once
// The program's one voice on standard error: a line "quelm: <text>". Where a message box
// cannot be seen or clicked (under a screensaver daemon, before any window exists) and for
// what a step of the show could not do, this is where the user and the daemon's log hear it.
#include <string_view>

namespace quelm::core {

// Writes "quelm: " + `text` + a line end in one call, so lines of several threads never mix.
void ReportError(std::string_view text);

} // namespace quelm::core
