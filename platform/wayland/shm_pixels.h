// Pixels that a compositor copied into a shared-memory buffer, turned into a QImage the way
// the user sees the output. Plain rules over bytes: no display needed.
#pragma once

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

namespace quelm::wayland {

// Bytes a pixel of a wl_shm format takes (the wl_shm.format enum: 0 is ARGB8888, 1 is
// XRGB8888, the others are DRM fourcc codes); 0 for a format not read here.
int ShmBytesPerPixel(uint32_t format);

// The format to ask for among those a compositor offers: 32-bit ones first, then 30-bit,
// 24-bit and 16-bit; nothing when none is read here.
std::optional<uint32_t> PreferredShmFormat(const std::vector<uint32_t>& offered);

// A copy of width x height pixels of the given format, `stride` bytes a row, rows bottom
// first when yInvert. Format_RGB32 (alpha ignored), top row first. A null image for a
// format not read here, a stride shorter than a row, or a size not above zero.
QImage ImageFromShm(const uchar* data, uint32_t format, int width, int height, int stride, bool yInvert);

// The picture as the user sees it, from one in the output's buffer orientation:
// `transform` is the wl_output.transform value (0-7) the compositor applies to show it.
QImage ApplyOutputTransform(const QImage& buffer, uint32_t transform);

} // namespace quelm::wayland
