// The eye's motion through the box, without a display.
#include "render/view_motion.h"

#include <gtest/gtest.h>

#include <glm/glm.hpp>

namespace quelm {
namespace {

// The speeds themselves are checked by the picture after 200 ticks (render_pictures_test).
TEST(Motion, StartsAtZSevenAndTheFirstTickReversesZBeforeTheEyeTurns) {
    ViewMotion m;
    m.Start();
    const MotionSpeeds start = m.speeds;
    m.Step(); // z passes 7 at once
    EXPECT_EQ(m.eye.EyeZ, 7.0f + start.SpeedZ);
    EXPECT_NE(m.speeds.YawSpeed, start.YawSpeed) << "a reversal draws a new turning speed";
    EXPECT_EQ(m.eye.EyeYaw, 0) << "the turning speed applies from the next tick";
    m.Step();
    EXPECT_EQ(m.eye.EyeYaw, m.speeds.YawSpeed);
}

// One step from `before` at `speed`: a reversal flips the speed and replaces the turning
// speed; the position keeps its overshoot.
TEST(Motion, BoundsAreStrictOnEveryAxis) {
    struct Case {
        glm::vec3 before, speed;
        bool reverses;
        const char* what;
    };
    const Case cases[] = {
        {{5.75f, 1, 0}, {0.25f, 0, 0}, false, "x exactly 6"},      {{5.8f, 1, 0}, {0.25f, 0, 0}, true, "x 6.05"},
        {{-5.75f, 1, 0}, {-0.25f, 0, 0}, false, "x exactly -6"},   {{-5.8f, 1, 0}, {-0.25f, 0, 0}, true, "x -6.05"},
        {{0, 7.75f, 0}, {0, 0.25f, 0}, false, "y exactly 8"},      {{0, 7.8f, 0}, {0, 0.25f, 0}, true, "y 8.05"},
        {{0, -0.25f, 0}, {0, -0.25f, 0}, false, "y exactly -0.5"}, {{0, -0.3f, 0}, {0, -0.25f, 0}, true, "y -0.55"},
        {{0, 1, 6.75f}, {0, 0, 0.25f}, false, "z exactly 7"},      {{0, 1, 6.8f}, {0, 0, 0.25f}, true, "z 7.05"},
        {{0, 1, -6.75f}, {0, 0, -0.25f}, false, "z exactly -7"},   {{0, 1, -6.8f}, {0, 0, -0.25f}, true, "z -7.05"},
    };
    for (const Case& c : cases) {
        ViewMotion m;
        m.eye = EyeState{c.before.x, c.before.y, c.before.z};
        m.speeds = MotionSpeeds{c.speed.x, c.speed.y, c.speed.z, 0.125f};
        m.Step();
        EXPECT_EQ(m.speeds.YawSpeed != 0.125f, c.reverses) << c.what;
        EXPECT_EQ(glm::vec3(m.speeds.SpeedX, m.speeds.SpeedY, m.speeds.SpeedZ), c.reverses ? -c.speed : c.speed)
            << c.what;
        EXPECT_EQ(glm::vec3(m.eye.EyeX, m.eye.EyeY, m.eye.EyeZ), c.before + c.speed) << c.what;
    }
}

TEST(Motion, TwoReversalsInOneTickKeepTheSecondTurningSpeed) {
    ViewMotion m;
    m.eye = EyeState{5.9f, 1, 6.9f}; // x and z cross together
    m.speeds = MotionSpeeds{0.25f, 0.01f, 0.25f, 0};
    m.random.Seed(7);
    core::Random draws = m.random;
    draws.Next();
    const float second = draws.Next();
    m.Step();
    EXPECT_EQ(glm::vec3(m.speeds.SpeedX, m.speeds.SpeedY, m.speeds.SpeedZ), glm::vec3(-0.25f, 0.01f, -0.25f));
    EXPECT_EQ(m.speeds.YawSpeed, (0.5f - second) / 60);
    EXPECT_EQ(m.random.Next(), draws.Next()) << "exactly two draws were taken";
}

} // namespace
} // namespace quelm
