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
#include <future>
#include <optional>

namespace quelm {

class BoxRenderer final : public ShowRenderer {
public:
    BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root, ErrorReporter report);
    // Work started ahead and never collected (the load ended before the walls) is waited
    // for, and the wall files it made are removed, as the close request removed them.
    ~BoxRenderer() override;

    // Starts making the wall files of the picture source that the load will choose, on a
    // thread of its own, so that the work overlaps the making of the window and the device;
    // CaptureDesktopWalls or PrepareUserWalls then collect it. Call it on Qt's thread before
    // any window of ours shows.
    void StartWalls();

    void CaptureDesktopWalls() override;
    // The desktop walls from a picture of the desktop taken earlier (a daemon's screenshot).
    void CaptureDesktopWallsFrom(const QImage& desktop);
    void PrepareUserWalls() override;
    bool InitDevice(QWindow& window) override;
    // A device with no window (an off-screen Direct3D object).
    bool InitDevice(QWindow* window);
    void BuildBoxVertices() override;
    // The scene; a wall whose file is still the one just made takes its texture from the
    // pixels kept from the making, which are let go afterwards.
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
    // The walls made ahead for `kind`, when they were started and could be made that way.
    std::optional<WallTextures> TakeAhead(int16_t kind);
    // The longest side the device will give a texture.
    int TextureSide() const;

    Settings& settings_;
    std::filesystem::path wallFolder_;
    WallSurfaces surfaces_;
    WallTextures walls_; // what the wall files hold, until the scene has its textures
    std::future<std::optional<WallTextures>> ahead_;
    int16_t aheadKind_ = -1;
    BoxDevice device_;
    BoxScene scene_;
    ViewMotion motion_;
};

} // namespace quelm
