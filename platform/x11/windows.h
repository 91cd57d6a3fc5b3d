#pragma once
// Stands in for FindWindowA (by title, no class), GetWindowRect and IsWindow on X11, for
// windows of any process: it asks the X server itself over its own connection.
// Emulated: a search of the top-level windows (or of the whole window tree) for an exact
// title in WM_NAME or _NET_WM_NAME; a window's outer rectangle in root coordinates;
// whether an id is a window.
// Not emulated: class names, the window-enumeration order, message-only windows.
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

namespace quelm::x11 {

using WindowId = uint32_t;

// True when some top-level window (the root's children, and client windows inside a window
// manager's frames) has exactly this title. False without a display.
bool TopLevelWindowWithTitleExists(const QString& title);

// True when some window on the display, at any depth, has exactly this title.
bool WindowWithTitleExists(const QString& title);

// True when some window with exactly this title is mapped and viewable.
bool WindowWithTitleShown(const QString& title);

// The window's rectangle in root coordinates (pixels), or nothing when `id` is not a
// window or there is no display.
std::optional<QRect> WindowRect(WindowId id);

bool IsWindow(WindowId id);

// The same for a window of this application's own, asked on the toolkit's connection to the
// X server: one request, cheap enough for every frame.
bool OwnWindowExists(WindowId id);

// The socket of this application's own connection to the X server (the toolkit's), to watch
// for the server's going away; -1 without one.
int OwnConnectionSocket();

// The root window of the default screen, 0 without a display.
WindowId RootWindow();

} // namespace quelm::x11
