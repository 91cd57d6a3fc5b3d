// The box's vertex table, the camera's matrices and the eye's motion, without a display.
#include "platform/d3d_math.h"
#include "render/box_geometry.h"
#include "render/box_scene.h"
#include "render/view_motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>

namespace quelm {
namespace {

// The table as the box is described: x y z tu tv, one row a vertex.
constexpr const char* kExpectedTable = R"(
-8 -1.01 -8 1 1
-8 -1.01 8 0 1
8 -1.01 -8 1 0
8 -1.01 8 0 0
-8 -1 8 0 1
-8 10 8 0 0
8 -1 8 1 1
8 10 8 1 0
8 -1 -8 1 1
8 10 -8 1 0
8 -1 8 0 1
8 10 8 0 0
-8 -1 -8 1 1
-8 10 -8 1 0
-8 -1 8 0 1
-8 10 8 0 0
-8 -1 -8 1 1
-8 10 -8 1 0
8 -1 -8 0 1
8 10 -8 0 0
-8 10 8 0 1
-8 10 -8 0 0
8 10 8 1 1
8 10 -8 1 0
)";

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(BoxVertices, HoldTheTwentyFourEntriesAsTabled) {
    BoxVertexTable table{};
    BuildBoxVertices(table);
    std::istringstream rows(kExpectedTable);
    for (int i = 0; i < kBoxVertexCount; ++i) {
        double x, y, z, tu, tv;
        ASSERT_TRUE(rows >> x >> y >> z >> tu >> tv);
        // Each value is the 32-bit float nearest to the tabled decimal (-1.01 included).
        EXPECT_TRUE(SameBits(table[i].x, float(x))) << i;
        EXPECT_TRUE(SameBits(table[i].y, float(y))) << i;
        EXPECT_TRUE(SameBits(table[i].z, float(z))) << i;
        EXPECT_TRUE(SameBits(table[i].tu, float(tu))) << i;
        EXPECT_TRUE(SameBits(table[i].tv, float(tv))) << i;
    }
    EXPECT_EQ(kBoxVertexBufferBytes, 480u);
    EXPECT_EQ(kBoxVertexStride, 20u);
    EXPECT_EQ(kBoxVertexFormat, 0x102u);
}

TEST(BoxVertices, FloorLiesJustBelowTheWallsLowerEdges) {
    BoxVertexTable table{};
    BuildBoxVertices(table);
    EXPECT_FLOAT_EQ(table[0].x, -8);
    EXPECT_EQ(table[0].y, -1.01f);
    EXPECT_EQ(table[23].x, 8);
    EXPECT_EQ(table[23].y, 10);
    EXPECT_EQ(table[23].z, -8);
    EXPECT_EQ(table[23].tu, 1);
    EXPECT_EQ(table[23].tv, 0);
    // Entries 1 and 14 differ only in y.
    EXPECT_EQ(table[1].x, table[14].x);
    EXPECT_EQ(table[1].z, table[14].z);
    EXPECT_EQ(table[1].tu, table[14].tu);
    EXPECT_EQ(table[1].tv, table[14].tv);
    EXPECT_EQ(table[14].y, -1.0f);
    EXPECT_LT(table[1].y, table[14].y);
    EXPECT_NEAR(table[14].y - table[1].y, 0.01f, 1e-6f);
}

// Seen from the box's centre facing each upright wall: pictures upright (tv 0 at the top),
// running left to right on walls 3, 4 and 6 and right to left on wall 5, whose file is
// stored mirrored.
TEST(BoxVertices, UprightWallsFaceTheViewerAsTheirPicturesNeed) {
    BoxVertexTable table{};
    BuildBoxVertices(table);
    struct Facing {
        int wall;
        float yaw;       // the eye's turn that faces the wall
        float tuGrowth;  // +1: tu grows to the viewer's right
    };
    const float half = std::numbers::pi_v<float> / 2;
    for (const Facing f : {Facing{3, 0, 1}, Facing{4, -half, 1}, Facing{5, half, -1}, Facing{6, 2 * half, 1}}) {
        const BoxFace face = kBoxFaces[size_t(std::find_if(kBoxFaces.begin(), kBoxFaces.end(),
                                                            [&](const BoxFace& b) { return b.wall == f.wall; }) -
                                               kBoxFaces.begin())];
        const glm::vec3 right(std::cos(f.yaw), 0, std::sin(f.yaw));
        const glm::vec3 ahead(-std::sin(f.yaw), 0, std::cos(f.yaw));
        for (uint32_t i = face.firstVertex; i < face.firstVertex + 4; ++i) {
            const BoxVertex& v = table[i];
            const glm::vec3 p(v.x, v.y, v.z);
            EXPECT_NEAR(glm::dot(p, ahead), 8.0f, 1e-5f) << "wall " << f.wall << " lies ahead";
            const float across = glm::dot(p, right) * f.tuGrowth; // -8 at tu 0, 8 at tu 1
            EXPECT_NEAR(v.tu, (across + 8) / 16, 1e-5f) << "wall " << f.wall << " vertex " << i;
            EXPECT_EQ(v.tv, v.y == 10.0f ? 0.0f : 1.0f) << "wall " << f.wall << " vertex " << i;
        }
    }
}

TEST(BoxVertices, FloorAndCeilingPicturesLieAsDescribed) {
    BoxVertexTable table{};
    BuildBoxVertices(table);
    for (uint32_t i = 0; i < 4; ++i) { // floor: top edge along x = 8, left edge along z = 8
        EXPECT_EQ(table[i].tv == 0, table[i].x == 8) << i;
        EXPECT_EQ(table[i].tu == 0, table[i].z == 8) << i;
    }
    for (uint32_t i = 20; i < 24; ++i) { // ceiling: top edge along z = -8, left edge along x = -8
        EXPECT_EQ(table[i].tv == 0, table[i].z == -8) << i;
        EXPECT_EQ(table[i].tu == 0, table[i].x == -8) << i;
    }
}

TEST(Camera, ProjectionUsesTheFixedFieldOfViewAspectAndDepthRange) {
    EXPECT_FLOAT_EQ(kFieldOfViewY, 0.7853819f);
    EXPECT_NE(kFieldOfViewY, std::numbers::pi_v<float> / 4);
    const d3d::Matrix m = ProjectionMatrix();
    const float s = 1.0f / std::tan(kFieldOfViewY / 2);
    // (x, y, z, 1) -> (x s / 0.75, y s, z 200/199 - 200/199, z)
    const glm::vec4 p = d3dx::Transform(glm::vec4(2, 3, 5, 1), m);
    EXPECT_NEAR(p.x, 2 * s / 0.75f, 1e-5f);
    EXPECT_NEAR(p.y, 3 * s, 1e-5f);
    EXPECT_NEAR(p.z, 5 * 200.0f / 199 - 200.0f / 199, 1e-5f);
    EXPECT_NEAR(p.w, 5, 1e-6f);
    // Depth runs from 0 at the near plane to 1 at the far plane.
    const glm::vec4 nearPoint = d3dx::Transform(glm::vec4(0, 0, 1, 1), m);
    const glm::vec4 farPoint = d3dx::Transform(glm::vec4(0, 0, 200, 1), m);
    EXPECT_NEAR(nearPoint.z / nearPoint.w, 0, 1e-6f);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1, 1e-6f);
    // Vertical field of view about 45 degrees, horizontal about 34.5.
    EXPECT_NEAR(2 * std::atan(1 / s) * 180 / std::numbers::pi, 45.0, 0.01);
    EXPECT_NEAR(2 * std::atan(0.75f / s) * 180 / std::numbers::pi, 34.5, 0.1);
}

TEST(Camera, ViewLooksHorizontallyAlongTheTurnedZAxis) {
    for (const float yaw : {0.0f, 0.3f, -1.2f, 2.5f, 7.0f}) {
        const glm::vec3 eye(1.5f, 2.0f, -3.0f);
        const d3d::Matrix view = ViewMatrix(eye.x, eye.y, eye.z, 0, yaw, 0);
        const glm::vec3 ahead(-std::sin(yaw), 0, std::cos(yaw));
        const glm::vec3 right(std::cos(yaw), 0, std::sin(yaw));
        const auto toView = [&](glm::vec3 p) { return glm::vec3(d3dx::Transform(glm::vec4(p, 1), view)); };
        const glm::vec3 a = toView(eye + 4.0f * ahead);
        const glm::vec3 r = toView(eye + 2.0f * right);
        const glm::vec3 u = toView(eye + glm::vec3(0, 3, 0));
        EXPECT_NEAR(a.x, 0, 1e-5f);
        EXPECT_NEAR(a.y, 0, 1e-5f);
        EXPECT_NEAR(a.z, 4, 1e-5f) << yaw;
        EXPECT_NEAR(r.x, 2, 1e-5f) << yaw;
        EXPECT_NEAR(r.z, 0, 1e-5f);
        EXPECT_NEAR(u.y, 3, 1e-5f) << "never tilts";
        const glm::vec3 e = toView(eye);
        EXPECT_NEAR(glm::length(e), 0, 1e-5f);
    }
}

TEST(Camera, PitchTurnsTheViewAboutTheEyesSideAxis) {
    // A negative pitch of a quarter turn looks straight down.
    const d3d::Matrix view = ViewMatrix(0, 5, 0, -std::numbers::pi_v<float> / 2, 0, 0);
    const glm::vec3 below(d3dx::Transform(glm::vec4(0, 1, 0, 1), view));
    EXPECT_NEAR(below.x, 0, 1e-5f);
    EXPECT_NEAR(below.y, 0, 1e-5f);
    EXPECT_NEAR(below.z, 4, 1e-5f);
}

TEST(Motion, StartsAtZSevenWithThreeDrawsFromSeedOne) {
    ViewMotion m;
    m.random.Seed(12345); // whatever came before, the start seeds with 1
    m.random.Next();
    m.eye.EyeYaw = 0;
    m.Start();
    vb::Random expected(1);
    EXPECT_EQ(m.eye.EyeX, 0);
    EXPECT_EQ(m.eye.EyeY, 0);
    EXPECT_EQ(m.eye.EyeZ, 7);
    EXPECT_EQ(m.speeds.SpeedX, expected.Next() / 10);
    EXPECT_EQ(m.speeds.SpeedY, expected.Next() / 10);
    EXPECT_EQ(m.speeds.SpeedZ, expected.Next() / 10);
    EXPECT_EQ(m.speeds.YawSpeed, 0);
    for (float speed : {m.speeds.SpeedX, m.speeds.SpeedY, m.speeds.SpeedZ}) {
        EXPECT_GE(speed, 0);
        EXPECT_LT(speed, 0.1f);
    }
}

TEST(Motion, FirstTickReversesZAndTheEyeTurnsFromTheSecond) {
    ViewMotion m;
    m.Start();
    ASSERT_GT(m.speeds.SpeedZ, 0);
    const float speedZ = m.speeds.SpeedZ;
    vb::Random after = m.random;
    m.Step();
    EXPECT_EQ(m.eye.EyeZ, 7.0f + speedZ);
    EXPECT_EQ(m.speeds.SpeedZ, -speedZ);
    EXPECT_EQ(m.speeds.YawSpeed, (0.5f - after.Next()) / 60);
    EXPECT_EQ(m.eye.EyeYaw, 0) << "the turning speed applies from the next tick";
    m.Step();
    EXPECT_EQ(m.eye.EyeYaw, m.speeds.YawSpeed);
    EXPECT_EQ(m.eye.EyeZ, 7.0f + speedZ - speedZ);
}

// Places the eye at `eye` with speeds that put it at the tested position after one step;
// the turning speed is a marker that any reversal replaces.
struct Probe {
    ViewMotion m;
    explicit Probe(glm::vec3 before, glm::vec3 speed) {
        m.eye.EyeX = before.x;
        m.eye.EyeY = before.y;
        m.eye.EyeZ = before.z;
        m.speeds = MotionSpeeds{speed.x, speed.y, speed.z, kMarker};
    }
    static constexpr float kMarker = 0.125f;
    bool Turned() const { return m.speeds.YawSpeed != kMarker; }
};

TEST(Motion, BoundsAreStrictOnEveryAxis) {
    struct Case {
        glm::vec3 before, speed;
        bool reverses;
        const char* what;
    };
    const Case cases[] = {
        {{5.75f, 1, 0}, {0.25f, 0, 0}, false, "x exactly 6"},
        {{5.8f, 1, 0}, {0.25f, 0, 0}, true, "x 6.05"},
        {{-5.75f, 1, 0}, {-0.25f, 0, 0}, false, "x exactly -6"},
        {{-5.8f, 1, 0}, {-0.25f, 0, 0}, true, "x -6.05"},
        {{0, 7.75f, 0}, {0, 0.25f, 0}, false, "y exactly 8"},
        {{0, 7.8f, 0}, {0, 0.25f, 0}, true, "y 8.05"},
        {{0, -0.25f, 0}, {0, -0.25f, 0}, false, "y exactly -0.5"},
        {{0, -0.3f, 0}, {0, -0.25f, 0}, true, "y -0.55"},
        {{0, 1, 6.75f}, {0, 0, 0.25f}, false, "z exactly 7"},
        {{0, 1, 6.8f}, {0, 0, 0.25f}, true, "z 7.05"},
        {{0, 1, -6.75f}, {0, 0, -0.25f}, false, "z exactly -7"},
        {{0, 1, -6.8f}, {0, 0, -0.25f}, true, "z -7.05"},
    };
    for (const Case& c : cases) {
        Probe p(c.before, c.speed);
        p.m.Step();
        EXPECT_EQ(p.Turned(), c.reverses) << c.what;
        const glm::vec3 after(p.m.speeds.SpeedX, p.m.speeds.SpeedY, p.m.speeds.SpeedZ);
        EXPECT_EQ(after, c.reverses ? -c.speed : c.speed) << c.what;
        // The position is not clamped: it keeps its overshoot.
        EXPECT_EQ(glm::vec3(p.m.eye.EyeX, p.m.eye.EyeY, p.m.eye.EyeZ), c.before + c.speed) << c.what;
    }
}

TEST(Motion, SeveralReversalsInOneTickKeepTheLastTurningSpeed) {
    // x and z cross together: two draws, the second stays.
    Probe two({5.9f, 1, 6.9f}, {0.25f, 0.01f, 0.25f});
    two.m.random.Seed(7);
    vb::Random source = two.m.random;
    source.Next();
    const float second = source.Next();
    two.m.Step();
    EXPECT_EQ(two.m.speeds.SpeedX, -0.25f);
    EXPECT_EQ(two.m.speeds.SpeedZ, -0.25f);
    EXPECT_EQ(two.m.speeds.SpeedY, 0.01f);
    EXPECT_EQ(two.m.speeds.YawSpeed, (0.5f - second) / 60);
    EXPECT_EQ(two.m.random.Next(), source.Next()) << "exactly two draws were taken";

    // All three: three draws, the third stays.
    Probe three({-5.9f, 7.9f, -6.9f}, {-0.25f, 0.25f, -0.25f});
    three.m.random.Seed(99);
    vb::Random source3 = three.m.random;
    source3.Next();
    source3.Next();
    const float third = source3.Next();
    three.m.Step();
    EXPECT_EQ(glm::vec3(three.m.speeds.SpeedX, three.m.speeds.SpeedY, three.m.speeds.SpeedZ),
              glm::vec3(0.25f, -0.25f, 0.25f));
    EXPECT_EQ(three.m.speeds.YawSpeed, (0.5f - third) / 60);
}

TEST(Motion, TwoRunsFollowTheSamePath) {
    ViewMotion a, b;
    a.Start();
    b.Step(); // a different history before the start changes nothing
    b.Start();
    for (int tick = 0; tick < 20000; ++tick) {
        a.Step();
        b.Step();
        ASSERT_TRUE(SameBits(a.eye.EyeX, b.eye.EyeX) && SameBits(a.eye.EyeY, b.eye.EyeY) &&
                    SameBits(a.eye.EyeZ, b.eye.EyeZ) && SameBits(a.eye.EyeYaw, b.eye.EyeYaw))
            << "tick " << tick;
    }
}

TEST(Motion, EyeStaysInsideTheBoxAndKeepsItsSpeeds) {
    ViewMotion m;
    m.Start();
    const glm::vec3 start(m.speeds.SpeedX, m.speeds.SpeedY, m.speeds.SpeedZ);
    float minY = 0, maxY = 0, maxX = 0, maxZ = 0;
    int turns = 0;
    float lastYawSpeed = 0;
    for (int tick = 0; tick < 1'000'000; ++tick) {
        m.Step();
        minY = std::min(minY, m.eye.EyeY);
        maxY = std::max(maxY, m.eye.EyeY);
        maxX = std::max(maxX, std::fabs(m.eye.EyeX));
        maxZ = std::max(maxZ, std::fabs(m.eye.EyeZ));
        ASSERT_GT(m.speeds.YawSpeed, -1.0f / 120);
        ASSERT_LE(m.speeds.YawSpeed, 1.0f / 120);
        ASSERT_EQ(std::fabs(m.speeds.SpeedX), start.x);
        ASSERT_EQ(std::fabs(m.speeds.SpeedY), start.y);
        ASSERT_EQ(std::fabs(m.speeds.SpeedZ), start.z);
        turns += m.speeds.YawSpeed != lastYawSpeed;
        lastYawSpeed = m.speeds.YawSpeed;
    }
    EXPECT_GT(minY, -0.6f);
    EXPECT_LT(maxY, 8.1f);
    EXPECT_GT(maxY, 7.9f) << "the eye travels the whole height";
    EXPECT_LT(maxX, 6.1f);
    EXPECT_LT(maxZ, 7.1f);
    EXPECT_GT(minY, -1.01f);
    EXPECT_LT(maxY, 10.0f);
    EXPECT_GT(turns, 1000);
}

} // namespace
} // namespace quelm
