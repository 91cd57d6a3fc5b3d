#pragma once
// The box renderer of one show, on any Direct3D object: the wall files, the device, the
// box and its textures, the eye's motion, one step and one frame a tick, and the teardown.
#include "render/box_device.h"
#include "render/box_scene.h"
#include "render/view_motion.h"
#include "render/wall_pictures.h"
#include "saver/show_services.h"
#include "settings/settings.h"

#include <filesystem>

namespace quelm {

class BoxRenderer final : public ShowRenderer {
public:
    BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root, ErrorReporter report);

    void CaptureDesktopWalls() override;
    void PrepareUserWalls() override;
    bool InitDevice(QWindow& window) override;
    // A device with no window (an off-screen Direct3D object).
    bool InitDevice(QWindow* window);
    void BuildBoxVertices() override;
    void InitScene() override;
    void StartMotion() override;
    // One motion step, then one frame; the motion goes on when the frame fails.
    void Tick() override;
    void ReleaseVertexBuffer() override;
    void ReleaseDevice() override;

    const ViewMotion& Motion() const { return motion_; }
    ViewMotion& Motion() { return motion_; }
    const BoxScene& Scene() const { return scene_; }
    BoxScene& Scene() { return scene_; }
    d3d::Device* Device() const { return device_.Device(); }

private:
    Settings& settings_;
    std::filesystem::path wallFolder_;
    WallSurfaces surfaces_;
    BoxDevice device_;
    BoxScene scene_;
    ViewMotion motion_;
};

} // namespace quelm
