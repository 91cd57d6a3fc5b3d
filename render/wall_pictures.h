#pragma once
// The six wall files "Quib1.bmp" to "Quib6.bmp" that the box's textures are read from,
// made when the show starts: from a grab of the desktop, or from the user's six pictures.
// Wall 5's picture is stored mirrored left to right (its texture coordinates mirror it back).
//
// The files are made from rows as they come (grabbed or decoded), never from a second copy
// of a picture: Master and Display, the show's drawing surfaces, stay as they were made.
// What the files hold is also kept, at the size a texture takes (WallTextures), so that the
// scene need not read the files back.
#include "platform/pictures/picture_surface.h"
#include "settings/settings.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <filesystem>
#include <optional>

namespace quelm {

// The show's two picture surfaces: Master (grab and load) and Display (target of wall 5's
// mirror when the pictures are the user's). Master's first content is what a wall shows
// when no picture could be loaded before it.
struct WallSurfaces {
    pictures::PictureSurface master;
    pictures::PictureSurface display;
};

inline constexpr int kMirroredWall = 5;
// The user's pictures are loaded in this order; wall 5 comes last.
inline constexpr std::array<int, kWallCount> kWallLoadOrder{1, 2, 3, 4, 6, 5};

// A file as it was written: a texture kept from it serves only while it is still this file.
struct FileStamp {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modified = 0; // nanoseconds
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::filesystem::path& file);

// The texture of one wall file, kept from its making.
struct WallTexture {
    QImage pixels;         // the file's pixels, shrunk as the device shrinks a larger file
    bool mirrored = false; // the texture is `pixels` mirrored left to right
    int sameAs = 0;        // an earlier wall with an identical file: its texture serves (0: none)
    std::optional<FileStamp> written;
};
// Walls whose textures share their pixels (one may be the other's mirror image) share them
// on the device too.

// What the wall files hold, wall 1..6 (index 0 unused); a wall without a stamp has none.
struct WallTextures {
    std::array<WallTexture, kWallCount + 1> wall;
    // Wall `n`'s texture, when its file in `folder` (and that of the wall it is the same as)
    // is still the one written.
    const WallTexture* Of(int n, const std::filesystem::path& folder) const;
    // Lets go of the pixels that no wall after `n` shares.
    void ReleaseThrough(int n);
};

// The size of the desktop walls for a screen of `screenPixels`: its size in twips,
// integer-divided by the twips to a pixel, which gives the screen's pixel size back.
QSize DesktopWallSize(QSize screenPixels);

// For each wall 1..6 (index 0 unused), whose picture its file shows when `loaded[n]` tells
// whether wall n's picture could be loaded: its own, else the one loaded last before it in
// kWallLoadOrder, else 0 for Master's content before any load.
std::array<int, kWallCount + 1> WallPictureSources(const std::array<bool, kWallCount + 1>& loaded);

// The primary screen's area in device pixels (empty without a screen). Ask on Qt's thread.
QRect PrimaryScreenArea();

// Each of the following keeps the textures at most `textureSide` texels a side (the
// device's d3d::MaxTextureSide), shrunk as the device shrinks a larger file.

// Grabs the whole primary screen now (call it before any window of ours shows) and writes it
// to walls 1, 2, 3, 4 and 6, and its mirror image to wall 5. Without a screen nothing is
// written. On Qt's thread.
WallTextures CaptureDesktopWalls(WallSurfaces& surfaces, const std::filesystem::path& folder, int textureSide);

// The same from any thread, for the screen `area` of PrimaryScreenArea(): nothing when the
// screen's pixels cannot be read that way (then CaptureDesktopWalls on Qt's thread).
std::optional<WallTextures> CaptureDesktopWallsAt(const std::filesystem::path& folder, QRect area, int textureSide);

// The same from a desktop picture taken earlier (a screensaver daemon's screenshot): the
// walls take the picture's size.
WallTextures CaptureDesktopWallsFrom(WallSurfaces& surfaces, const std::filesystem::path& folder, const QImage& desktop,
                                     int textureSide);

// Loads settings.PicPath(1..6) and writes each at its own size to its wall file, wall 5
// mirrored. A picture that cannot be loaded leaves Master as it was, so its wall gets the
// picture of the wall loaded before it (WallPictureSources). The pictures are decoded in
// parallel, each file once, within a memory budget; files end as if they had been loaded
// one by one. Any thread.
WallTextures PrepareUserWalls(WallSurfaces& surfaces, const Settings& settings, const std::filesystem::path& folder,
                              int textureSide);

} // namespace quelm
