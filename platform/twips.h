#pragma once
// Twips, the unit of the designed positions and sizes: 1/1440 inch, 15 to the pixel at
// 96 dots per inch.
#include <cmath>

namespace quelm::twips {

inline constexpr int kPerInch = 1440;
inline constexpr int kStandardDotsPerInch = 96;
inline constexpr int kPerStandardPixel = kPerInch / kStandardDotsPerInch; // 15

// Twips to one pixel at `dotsPerInch`.
inline double PerPixel(double dotsPerInch) { return kPerInch / dotsPerInch; }

// Twips to whole pixels at `dotsPerInch`, rounded to the nearest.
inline int ToPixels(double twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / kPerInch));
}

// Pixels to twips at `dotsPerInch`, not rounded.
inline double FromPixels(double pixels, double dotsPerInch) { return pixels * PerPixel(dotsPerInch); }

} // namespace quelm::twips
