#pragma once
// The six wall files "Quib1.bmp" to "Quib6.bmp" that the box's textures are read from,
// made when the show starts: from a grab of the desktop, or from the user's six pictures.
// Wall 5's picture is stored mirrored left to right (its texture coordinates mirror it back).
#include "platform/picture_surface.h"
#include "settings/settings.h"

#include <QSize>

#include <array>
#include <filesystem>

namespace quelm {

// The show's two picture surfaces: Master (grab and load) and Display (target of wall 5's
// mirror when the pictures are the user's).
struct WallSurfaces {
    PictureSurface master;
    PictureSurface display;
};

inline constexpr int kMirroredWall = 5;
// The user's pictures are loaded in this order; wall 5 comes last.
inline constexpr std::array<int, kWallCount> kWallLoadOrder{1, 2, 3, 4, 6, 5};

// The size of the desktop walls for a screen of `screenPixels`: its size in twips,
// integer-divided by the twips to a pixel, which gives the screen's pixel size back.
QSize DesktopWallSize(QSize screenPixels);

// For each wall 1..6 (index 0 unused), whose picture its file shows when `loaded[n]` tells
// whether wall n's picture could be loaded: its own, else the one loaded last before it in
// kWallLoadOrder, else 0 for Master's content before any load.
std::array<int, kWallCount + 1> WallPictureSources(const std::array<bool, kWallCount + 1>& loaded);

// Grabs the whole primary screen now (call it before any window of ours shows) into Master
// and writes it to walls 1, 2, 3, 4 and 6, and its mirror image to wall 5. Without a screen
// nothing is written.
void CaptureDesktopWalls(WallSurfaces& surfaces, const std::filesystem::path& folder);

// The same from a desktop picture taken earlier (a screensaver daemon's screenshot): the
// walls take the picture's size.
void CaptureDesktopWallsFrom(WallSurfaces& surfaces, const std::filesystem::path& folder, const QImage& desktop);

// Loads settings.PicPath(1..6) and writes each at its own size to its wall file, wall 5
// mirrored through Display. A picture that cannot be loaded leaves Master as it was, so its
// wall gets the picture of the wall loaded before it (WallPictureSources). The pictures are
// decoded in parallel; files and surfaces end as if they had been loaded one by one.
void PrepareUserWalls(WallSurfaces& surfaces, const Settings& settings, const std::filesystem::path& folder);

} // namespace quelm
