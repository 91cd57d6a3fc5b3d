// The order of the device calls made by the device set-up, the scene set-up, each frame and
// the teardown, checked through a device that records its calls.
#include "recording_device.h"
#include "render/box_renderer.h"

#include <gtest/gtest.h>

namespace quelm {
namespace {

using Calls = std::vector<std::string>;

const d3d::DisplayMode kDesktop{1280, 1024, 75, d3d::Format::X8R8G8B8};

struct Show {
    test::CallLog log;
    Settings settings;
    std::vector<std::string> messages;
    bool rootFails = false;
    BoxRenderer renderer{settings, "/walls",
                         [this]() -> std::unique_ptr<d3d::Direct3D> {
                             if (rootFails) return nullptr;
                             return std::make_unique<test::RecordingDirect3D>(log, kDesktop);
                         },
                         [this](const std::string& text) { messages.push_back(text); }};

    void Load() { // the load's renderer steps, as the show's window runs them
        renderer.InitDevice(nullptr);
        renderer.BuildBoxVertices();
        renderer.InitScene();
        renderer.StartMotion();
    }
    Calls TakeCalls() { return std::exchange(log.calls, {}); }
};

const Calls kFrameStart = {"SetTransform 2", "SetTransform 3", "Clear 3 0 1 0", "BeginScene", "SetVertexShader 258"};

TEST(CallOrder, SetUpFrameAndTeardown) {
    Show show;
    show.Load();
    Calls expected = {"GetAdapterDisplayMode 0", "CreateDevice 0 1 32",
                      "SetRenderState 22 1", "SetRenderState 137 0", "SetRenderState 7 1", // no culling, no light, depth
                      "SetTextureStageState 0 1 2", "SetTextureStageState 0 2 2",          // colour from the texture
                      "SetTextureStageState 0 16 2", "SetTextureStageState 0 17 2",        // bilinear
                      "SetRenderState 27 0"};                                              // no blending
    for (int wall = 1; wall <= 6; ++wall) expected.push_back("CreateTextureFromFile Quib" + std::to_string(wall) + ".bmp");
    expected.insert(expected.end(), {"CreateVertexBuffer 480 8 258 1", "CopyToVertexBuffer 7 0 480", "SetTransform 2",
                                     "SetTransform 3"});
    EXPECT_EQ(show.TakeCalls(), expected);
    const d3d::PresentParameters& p = show.log.parameters; // full screen at the desktop's mode
    EXPECT_EQ(std::tuple(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat, p.Windowed, p.AutoDepthStencilFormat),
              std::tuple(1280u, 1024u, d3d::Format::X8R8G8B8, false, d3d::Format::D16));
    ASSERT_EQ(show.log.views.size(), 1u);
    EXPECT_EQ(show.log.views[0], ViewMatrix(0, 0, -8, 0, 0, 0)) << "the initial view";

    show.renderer.Tick();
    expected = kFrameStart;
    expected.push_back("SetStreamSource 0 7 20");
    for (const auto& [texture, first] : {std::pair{2, 0}, {3, 4}, {4, 8}, {5, 12}, {6, 16}, {1, 20}}) // walls 2..6, 1
        expected.insert(expected.end(), {"SetTexture 0 " + std::to_string(texture),
                                         "DrawPrimitive 5 " + std::to_string(first) + " 2"});
    expected.insert(expected.end(), {"EndScene", "SetTexture 0 0", "Present"});
    EXPECT_EQ(show.TakeCalls(), expected);
    const EyeState& e = show.renderer.Motion().eye;
    EXPECT_EQ(show.log.views.back(), ViewMatrix(e.EyeX, e.EyeY, e.EyeZ, 0, e.EyeYaw, 0)) << "the eye after this tick's step";

    show.renderer.ReleaseVertexBuffer();
    show.renderer.ReleaseDevice();
    EXPECT_EQ(show.TakeCalls(), (Calls{"VertexBuffer.Release 7", "Device.Release", "Direct3D.Release"}));
    show.renderer.ReleaseVertexBuffer(); // released objects are marked absent
    show.renderer.ReleaseDevice();
    show.renderer.Tick();
    EXPECT_TRUE(show.log.calls.empty());
}

TEST(CallOrder, FailedCreationShowsOneMessageAndTheMotionGoesOn) {
    for (const bool rootFails : {false, true}) {
        Show show;
        show.rootFails = rootFails;
        show.log.failing = {"CreateDevice"};
        show.Load();
        EXPECT_EQ(show.renderer.Device(), nullptr);
        ASSERT_EQ(show.messages.size(), 1u) << rootFails;
        EXPECT_EQ(show.messages[0], "-2005530518 " + d3d::Describe(d3d::kErrNotAvailable));
        EXPECT_GT(show.messages[0].size(), 12u) << "a description follows the number";
        const Calls made = rootFails ? Calls{} : Calls{"GetAdapterDisplayMode 0", "CreateDevice 0 1 32"};
        EXPECT_EQ(show.TakeCalls(), made) << "nothing after the failed creation reaches a device";
        ViewMotion reference;
        reference.Start();
        for (int tick = 0; tick < 3; ++tick, reference.Step()) show.renderer.Tick();
        EXPECT_EQ(show.renderer.Motion().eye.EyeX, reference.eye.EyeX);
        EXPECT_NE(reference.eye.EyeX, 0);
        EXPECT_EQ(show.messages.size(), 1u);
    }
}

TEST(CallOrder, MissingWallFileThreeLeavesTexturesOneAndTwoAndNoBuffer) {
    Show show;
    show.log.missingFiles = {"Quib3.bmp"};
    show.Load();
    const BoxScene& scene = show.renderer.Scene();
    EXPECT_TRUE(scene.Texture(1) && scene.Texture(2));
    for (int wall = 3; wall <= 6; ++wall) EXPECT_EQ(scene.Texture(wall), 0u) << wall;
    EXPECT_EQ(scene.VertexBuffer(), 0u);
    EXPECT_EQ(show.TakeCalls().back(), "CreateTextureFromFile Quib3.bmp") << "no buffer, no initial view";
    // The first frame fails at its first draw and is never ended; from then on every frame
    // fails at BeginScene. The eye keeps moving.
    const float x0 = show.renderer.Motion().eye.EyeX;
    show.renderer.Tick();
    Calls expected = kFrameStart;
    expected.insert(expected.end(), {"SetStreamSource 0 0 20", "SetTexture 0 2", "DrawPrimitive 5 0 2"});
    EXPECT_EQ(show.TakeCalls(), expected);
    show.renderer.Tick();
    EXPECT_EQ(show.TakeCalls(), Calls(kFrameStart.begin(), kFrameStart.begin() + 4));
    EXPECT_NE(show.renderer.Motion().eye.EyeX, x0);
}

TEST(CallOrder, FailingFrameIsDroppedWhileTheMotionGoesOn) {
    Show show;
    show.Load();
    ViewMotion reference;
    reference.Start();
    show.log.failing = {"Present"}; // the scene was ended: the next frame draws again
    show.renderer.Tick();
    show.log.failing = {"SetTransform"};
    show.TakeCalls();
    show.renderer.Tick();
    EXPECT_EQ(show.TakeCalls(), Calls{"SetTransform 2"}) << "the rest of the frame is dropped";
    show.log.failing.clear();
    show.renderer.Tick();
    EXPECT_EQ(show.TakeCalls().back(), "Present");
    for (int tick = 0; tick < 3; ++tick) reference.Step();
    EXPECT_EQ(show.renderer.Motion().eye.EyeX, reference.eye.EyeX);
    EXPECT_EQ(show.renderer.Motion().eye.EyeYaw, reference.eye.EyeYaw);
}

} // namespace
} // namespace quelm
