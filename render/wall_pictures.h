#pragma once
// The six wall files "Quib1.bmp" to "Quib6.bmp" that the box's textures come from, made when
// the show starts: from a grab of the desktop, or from the user's six pictures. Wall 5's
// picture is stored mirrored left to right (its texture coordinates mirror it back).
//
// The files are made from rows as they come (grabbed or decoded), never from a second copy
// of a picture. What the files hold is also kept, fitted to the device's textures
// (WallTextures), so that the scene need not read the files back, and so that the box still
// shows its walls where the files could not be written.
#include "settings/settings.h"

#include <QImage>
#include <QRect>
#include <QScreen>
#include <QSize>

#include <array>
#include <filesystem>
#include <optional>

namespace quelm {

inline constexpr int kMirroredWall = 5;
// The user's pictures are loaded in this order; wall 5 comes last.
inline constexpr std::array<int, kWallCount> kWallLoadOrder{1, 2, 3, 4, 6, 5};

// The texture of one wall, kept from its making: its own pixels as its file holds them, fitted
// to the device, or the texture of another wall that shows the same picture (mirrored left to
// right for wall 5, which sharing the texels costs nothing).
struct WallTexture {
    QImage pixels;         // null when the wall shares another's texture, or was not made
    int sameAs = 0;        // the wall whose texture serves (0: its own pixels)
    bool mirrored = false; // with sameAs: that texture seen mirrored
    bool written = false;  // the wall's file is in place
    bool Made() const { return sameAs != 0 || !pixels.isNull(); }
};

// What the wall files hold, wall 1..6 (index 0 unused).
struct WallTextures {
    std::array<WallTexture, kWallCount + 1> wall;
    // True when every wall has its texture but not every wall file could be written.
    bool FilesMissing() const;
};

// The size of the desktop walls for a screen of `screenPixels`: its size in twips,
// integer-divided by the twips to a pixel, which gives the screen's pixel size back.
QSize DesktopWallSize(QSize screenPixels);

// For each wall 1..6 (index 0 unused), whose picture its file shows when `loaded[n]` tells
// whether wall n's picture could be loaded: its own, else the one loaded last before it in
// kWallLoadOrder, else 0 for the first content of the picture surface before any load.
std::array<int, kWallCount + 1> WallPictureSources(const std::array<bool, kWallCount + 1>& loaded);

// The area of `screen` (none: the primary screen) on the desktop, in device pixels; empty
// without a screen. Ask on Qt's thread.
QRect ScreenArea(const QScreen* screen);

// Each of the following keeps the textures at most `textureSide` texels a side (the
// device's d3d::MaxTextureSide), fitted as the device fits a larger file. With an empty
// `folder` the walls are made in memory only: no file is written.

// A capture that yields nothing: none at all, or, with `oneColourIsNothing`, one of a single
// colour (under a screensaver daemon: the daemon's own window, which already covers the
// desktop when the show starts).
bool CaptureYieldsNothing(const QImage& desktop, bool oneColourIsNothing);

// `desktop` at `wall` size on walls 1, 2, 3, 4 and 6, and its mirror image on wall 5; when the
// capture yields nothing, the user's six pictures instead where all six are set, else the
// picture the program carries, with one line on stderr (once a process). Any thread.
WallTextures DesktopWalls(const std::filesystem::path& folder, const QImage& desktop, QSize wall, int textureSide,
                          const Settings& settings, bool oneColourIsNothing);

// Reads the whole of `screen` (none: the primary screen) now (ReadDesktop, else GrabDesktop:
// call it before any window of ours shows) and makes its walls (DesktopWalls: a one-colour
// desktop is kept). On Qt's thread.
WallTextures CaptureDesktopWalls(const std::filesystem::path& folder, const QScreen* screen, int textureSide,
                                 const Settings& settings);

// Loads settings.PicPath(1..6) and writes each at its own size to its wall file, wall 5
// mirrored. A picture that cannot be loaded gives its wall the picture of the wall loaded
// before it (WallPictureSources). The pictures are decoded in parallel, each file once,
// within a memory budget; files end as if they had been loaded one by one. Any thread.
WallTextures PrepareUserWalls(const Settings& settings, const std::filesystem::path& folder, int textureSide);

} // namespace quelm
