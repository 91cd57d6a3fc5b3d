#include "render/view_motion.h"

#include <cmath>

namespace quelm {

void ViewMotion::Start() {
    random.Seed(kMotionSeed);
    eye.EyeX = 0;
    eye.EyeY = 0;
    eye.EyeZ = kEyeStartZ;
    speeds.SpeedX = random.Next() / kSpeedDivisor;
    speeds.SpeedY = random.Next() / kSpeedDivisor;
    speeds.SpeedZ = random.Next() / kSpeedDivisor;
}

void ViewMotion::NewYawSpeed() { speeds.YawSpeed = (kYawSpeedCentre - random.Next()) / kYawSpeedDivisor; }

void ViewMotion::Step() {
    eye.EyeX += speeds.SpeedX;
    eye.EyeY += speeds.SpeedY;
    eye.EyeZ += speeds.SpeedZ;
    eye.EyeYaw += speeds.YawSpeed;
    if (std::fabs(eye.EyeX) > kEyeBoundX) {
        speeds.SpeedX = -speeds.SpeedX;
        NewYawSpeed();
    }
    if (eye.EyeY > kEyeBoundYHigh || eye.EyeY < kEyeBoundYLow) {
        speeds.SpeedY = -speeds.SpeedY;
        NewYawSpeed();
    }
    if (std::fabs(eye.EyeZ) > kEyeBoundZ) {
        speeds.SpeedZ = -speeds.SpeedZ;
        NewYawSpeed();
    }
}

} // namespace quelm
