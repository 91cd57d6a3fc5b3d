#pragma once
// Twips, the unit of the designed positions and sizes: 1/1440 inch, 15 to the pixel at
// 96 dots per inch.
#include <cmath>

namespace quelm::core {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kStandardDotsPerInch = 96;
inline constexpr int kTwipsPerStandardPixel = kTwipsPerInch / kStandardDotsPerInch; // 15

// Twips to one pixel at `dotsPerInch`.
inline double TwipsPerPixel(double dotsPerInch) { return kTwipsPerInch / dotsPerInch; }

// Twips to whole pixels at `dotsPerInch`, rounded to the nearest.
inline int TwipsToPixels(double twips, double dotsPerInch) {
    return static_cast<int>(std::lround(twips * dotsPerInch / kTwipsPerInch));
}

// Pixels to twips at `dotsPerInch`, not rounded.
inline double PixelsToTwips(double pixels, double dotsPerInch) { return pixels * TwipsPerPixel(dotsPerInch); }

} // namespace quelm::core
