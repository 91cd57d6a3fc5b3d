#pragma once
// The eye's drift through the box: straight lines at fixed per-tick speeds, reversed when the
// eye leaves an inner bounding box, with a new random turning speed at every reversal. All
// values are 32-bit floats; positions in world units, angles in radians, speeds per tick.
#include "platform/core/vb_runtime.h"

namespace quelm {

struct EyeState {
    float EyeX = 0, EyeY = 0, EyeZ = 0;
    float EyeYaw = 0;   // turn about the vertical axis, never wrapped
    float EyePitch = 0; // never changed
    float EyeRoll = 0;  // never changed
};

struct MotionSpeeds {
    float SpeedX = 0, SpeedY = 0, SpeedZ = 0;
    float YawSpeed = 0; // 0 until the first reversal
};

// Bounds of the eye's travel: a coordinate beyond them (strictly) reverses its speed.
inline constexpr float kEyeBoundX = 6.0f; // |x|
inline constexpr float kEyeBoundYHigh = 8.0f;
inline constexpr float kEyeBoundYLow = -0.5f;
inline constexpr float kEyeBoundZ = 7.0f; // |z|
inline constexpr float kEyeStartZ = 7.0f;
inline constexpr float kSpeedDivisor = 10.0f;  // start speeds: a draw / 10, in [0, 0.1)
inline constexpr float kYawSpeedCentre = 0.5f; // turning speed: (0.5 - draw) / 60
inline constexpr float kYawSpeedDivisor = 60.0f;
inline constexpr uint32_t kMotionSeed = 1;

class ViewMotion {
public:
    // Seeds the random source with 1, puts the eye at (0, 0, 7) and draws SpeedX, SpeedY,
    // SpeedZ in this order.
    void Start();
    // One tick's motion: move, then test x, y and z in this order; each reversal draws a new
    // turning speed, so the last one drawn in a tick stays.
    void Step();

    EyeState eye;
    MotionSpeeds speeds;
    core::Random random{kMotionSeed};

private:
    void NewYawSpeed();
};

} // namespace quelm
