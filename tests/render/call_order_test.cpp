// The order of the device calls made by the device set-up, the scene set-up, each frame and
// the teardown, checked through a device that records its calls.
#include "recording_device.h"
#include "render/box_renderer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quelm {
namespace {

using test::CallLog;
using test::RecordingDirect3D;
using Calls = std::vector<std::string>;

const d3d::DisplayMode kDesktop{1280, 1024, 75, d3d::Format::X8R8G8B8};

struct Show {
    CallLog log;
    Settings settings;
    std::vector<std::string> messages;
    int direct3dMade = 0;
    bool rootFails = false;
    RecordingDirect3D* direct3d = nullptr; // owned by the renderer
    BoxRenderer renderer{settings, "/walls",
                         [this]() -> std::unique_ptr<d3d::Direct3D> {
                             ++direct3dMade;
                             if (rootFails)
                                 return nullptr;
                             auto made = std::make_unique<RecordingDirect3D>(log, kDesktop);
                             direct3d = made.get();
                             return made;
                         },
                         [this](const std::string& text) { messages.push_back(text); }};

    // The load's renderer steps, as the show's window runs them.
    void Load() {
        renderer.InitDevice(nullptr);
        renderer.BuildBoxVertices();
        renderer.InitScene();
        renderer.StartMotion();
    }
    void ClearLog() { log.calls.clear(); }
};

const Calls kFixedState = {
    "SetRenderState 22 1",          // no culling
    "SetRenderState 137 0",         // no lighting
    "SetRenderState 7 1",           // depth test
    "SetTextureStageState 0 1 2",   // colour = argument 1
    "SetTextureStageState 0 2 2",   // argument 1 = texture
    "SetTextureStageState 0 16 2",  // bilinear magnification
    "SetTextureStageState 0 17 2",  // bilinear minification
    "SetRenderState 27 0",          // no blending
};

Calls FrameCalls(int buffer, const std::array<int, 7>& textureOfWall) {
    Calls c = {"SetTransform 2", "SetTransform 3", "Clear 3 0 1 0", "BeginScene", "SetVertexShader 258",
               "SetStreamSource 0 " + std::to_string(buffer) + " 20"};
    for (const auto& [wall, first] : {std::pair{2, 0}, {3, 4}, {4, 8}, {5, 12}, {6, 16}, {1, 20}}) {
        c.push_back("SetTexture 0 " + std::to_string(textureOfWall[size_t(wall)]));
        c.push_back("DrawPrimitive 5 " + std::to_string(first) + " 2");
    }
    c.insert(c.end(), {"EndScene", "SetTexture 0 0", "Present"});
    return c;
}

TEST(DeviceSetup, MakesOneFullScreenDeviceAtTheDesktopsMode) {
    Show show;
    EXPECT_TRUE(show.renderer.InitDevice(nullptr));
    EXPECT_EQ(show.log.calls, (Calls{"GetAdapterDisplayMode 0", "CreateDevice 0 1 32"}));
    const d3d::PresentParameters& p = show.log.lastParameters;
    EXPECT_EQ(p.BackBufferWidth, 1280u);
    EXPECT_EQ(p.BackBufferHeight, 1024u);
    EXPECT_EQ(p.BackBufferFormat, d3d::Format::X8R8G8B8);
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.MultiSampleType, 0u);
    EXPECT_EQ(p.SwapEffect, 1u);
    EXPECT_FALSE(p.Windowed);
    EXPECT_TRUE(p.EnableAutoDepthStencil);
    EXPECT_EQ(p.AutoDepthStencilFormat, d3d::Format::D16);
    EXPECT_EQ(p.Flags, 0u);
    EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(p.FullScreen_PresentationInterval, 0u);
    EXPECT_TRUE(show.messages.empty());
    EXPECT_NE(show.renderer.Device(), nullptr);
}

TEST(DeviceSetup, FailedCreationShowsOneMessageAndTheShowGoesOnWithoutDrawing) {
    Show show;
    show.log.failing = {"CreateDevice"};
    show.Load();
    EXPECT_EQ(show.renderer.Device(), nullptr);
    ASSERT_EQ(show.messages.size(), 1u);
    EXPECT_EQ(show.messages[0], "-2005530518 " + d3d::Describe(d3d::kErrNotAvailable));
    EXPECT_EQ(show.messages[0].rfind("-2005530518 ", 0), 0u);
    // Nothing after the failed creation reaches a device; the motion still runs.
    EXPECT_EQ(show.log.calls, (Calls{"GetAdapterDisplayMode 0", "CreateDevice 0 1 32"}));
    ViewMotion reference;
    reference.Start();
    for (int tick = 0; tick < 3; ++tick) {
        show.renderer.Tick();
        reference.Step();
    }
    EXPECT_EQ(show.renderer.Motion().eye.EyeX, reference.eye.EyeX);
    EXPECT_EQ(show.renderer.Motion().eye.EyeYaw, reference.eye.EyeYaw);
    EXPECT_NE(show.renderer.Motion().eye.EyeX, 0);
    show.renderer.ReleaseVertexBuffer();
    show.renderer.ReleaseDevice();
    EXPECT_EQ(show.log.calls.back(), "Direct3D.Release");
    EXPECT_EQ(show.log.calls.size(), 3u);
    EXPECT_EQ(show.messages.size(), 1u);
}

TEST(DeviceSetup, NoDirect3DObjectIsReportedOnceToo) {
    Show show;
    show.rootFails = true;
    EXPECT_FALSE(show.renderer.InitDevice(nullptr));
    ASSERT_EQ(show.messages.size(), 1u);
    EXPECT_EQ(show.messages[0].substr(0, 12), "-2005530518 ");
    EXPECT_GT(show.messages[0].size(), 12u) << "a description follows the number";
}

TEST(SceneSetup, FixesTheStateThenLoadsSixTexturesFillsTheBufferAndSetsAView) {
    Show show;
    show.renderer.InitDevice(nullptr);
    show.ClearLog();
    show.renderer.BuildBoxVertices();
    show.renderer.InitScene();
    Calls expected = kFixedState;
    for (int wall = 1; wall <= 6; ++wall)
        expected.push_back("CreateTextureFromFile Quib" + std::to_string(wall) + ".bmp");
    expected.insert(expected.end(), {"CreateVertexBuffer 480 8 258 1", "CopyToVertexBuffer 7 0 480",
                                     "SetTransform 2", "SetTransform 3"});
    EXPECT_EQ(show.log.calls, expected);

    // The buffer holds the vertex table byte for byte.
    const BoxVertexTable& table = show.renderer.Scene().Vertices();
    const std::vector<char>& copied = show.direct3d->lastDevice->copied;
    ASSERT_EQ(copied.size(), 480u);
    EXPECT_EQ(std::memcmp(copied.data(), table.data(), 480), 0);
    EXPECT_EQ(table[0].y, -1.01f) << "the table was built before the copy";
    // The initial view: eye at (0, 0, -8), no turn.
    ASSERT_EQ(show.log.views.size(), 1u);
    EXPECT_EQ(show.log.views[0], ViewMatrix(0, 0, -8, 0, 0, 0));
    EXPECT_EQ(show.log.projections[0], ProjectionMatrix());
}

TEST(SceneSetup, MissingWallFileThreeLeavesTexturesOneAndTwoAndNoBuffer) {
    Show show;
    show.log.missingFiles = {"Quib3.bmp"};
    show.Load();
    const BoxScene& scene = show.renderer.Scene();
    EXPECT_NE(scene.Texture(1), 0u);
    EXPECT_NE(scene.Texture(2), 0u);
    for (int wall = 3; wall <= 6; ++wall)
        EXPECT_EQ(scene.Texture(wall), 0u) << wall;
    EXPECT_EQ(scene.VertexBuffer(), 0u);
    EXPECT_EQ(show.log.calls.back(), "CreateTextureFromFile Quib3.bmp") << "no buffer, no initial view";

    // The first frame fails at its first draw and is never ended or presented; from then on
    // every frame fails at BeginScene. The eye keeps moving.
    show.ClearLog();
    const float x0 = show.renderer.Motion().eye.EyeX;
    show.renderer.Tick();
    EXPECT_EQ(show.log.calls, (Calls{"SetTransform 2", "SetTransform 3", "Clear 3 0 1 0", "BeginScene",
                                     "SetVertexShader 258", "SetStreamSource 0 0 20",
                                     "SetTexture 0 " + std::to_string(scene.Texture(2)), "DrawPrimitive 5 0 2"}));
    show.ClearLog();
    show.renderer.Tick();
    EXPECT_EQ(show.log.calls, (Calls{"SetTransform 2", "SetTransform 3", "Clear 3 0 1 0", "BeginScene"}));
    EXPECT_NE(show.renderer.Motion().eye.EyeX, x0);
}

TEST(SceneSetup, FailingRenderStateEndsTheSceneSetUpThere) {
    Show show;
    show.log.failing = {"SetTextureStageState"};
    show.Load();
    const Calls calls = show.log.From("SetRenderState");
    EXPECT_EQ(calls, (Calls{"SetRenderState 22 1", "SetRenderState 137 0", "SetRenderState 7 1",
                            "SetTextureStageState 0 1 2"}));
    EXPECT_EQ(show.renderer.Scene().Texture(1), 0u);
}

TEST(Frame, DrawsTheSixFacesInOrderAndPresents) {
    Show show;
    show.Load();
    const BoxScene& scene = show.renderer.Scene();
    std::array<int, 7> textures{};
    for (int wall = 1; wall <= 6; ++wall)
        textures[size_t(wall)] = int(scene.Texture(wall));
    show.ClearLog();
    show.log.views.clear();
    show.renderer.Tick();
    EXPECT_EQ(show.log.calls, FrameCalls(int(scene.VertexBuffer()), textures));
    // The frame's view is the eye's after this tick's step.
    const EyeState& eye = show.renderer.Motion().eye;
    ASSERT_EQ(show.log.views.size(), 1u);
    EXPECT_EQ(show.log.views[0], ViewMatrix(eye.EyeX, eye.EyeY, eye.EyeZ, eye.EyePitch, eye.EyeYaw, eye.EyeRoll));
    EXPECT_EQ(show.log.projections.back(), ProjectionMatrix());
}

TEST(Frame, FailingFrameIsDroppedWhileTheMotionGoesOn) {
    Show show;
    show.Load();
    ViewMotion reference;
    reference.Start();
    // A failing Present leaves the scene ended: the next frame draws again.
    show.log.failing = {"Present"};
    show.renderer.Tick();
    reference.Step();
    show.log.failing = {"SetTransform"};
    show.ClearLog();
    show.renderer.Tick();
    reference.Step();
    EXPECT_EQ(show.log.calls, (Calls{"SetTransform 2"})) << "the rest of the frame is dropped";
    show.log.failing.clear();
    show.ClearLog();
    show.renderer.Tick();
    reference.Step();
    EXPECT_EQ(show.log.calls.back(), "Present");
    EXPECT_EQ(show.renderer.Motion().eye.EyeX, reference.eye.EyeX);
    EXPECT_EQ(show.renderer.Motion().eye.EyeZ, reference.eye.EyeZ);
    EXPECT_EQ(show.renderer.Motion().eye.EyeYaw, reference.eye.EyeYaw);
}

TEST(Teardown, ReleasesTheBufferThenTheDeviceThenTheDirect3DObject) {
    Show show;
    show.Load();
    show.renderer.Tick();
    const d3d::VertexBufferHandle buffer = show.renderer.Scene().VertexBuffer();
    show.ClearLog();
    show.renderer.ReleaseVertexBuffer();
    show.renderer.ReleaseDevice();
    EXPECT_EQ(show.log.calls, (Calls{"VertexBuffer.Release " + std::to_string(buffer), "Device.Release",
                                     "Direct3D.Release"}));
    // Released objects are marked absent: a second teardown and later ticks touch nothing.
    show.renderer.ReleaseVertexBuffer();
    show.renderer.ReleaseDevice();
    show.renderer.Tick();
    EXPECT_EQ(show.log.calls.size(), 3u);
}

} // namespace
} // namespace quelm
