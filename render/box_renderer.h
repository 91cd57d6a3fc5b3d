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
#include <functional>
#include <future>

namespace quelm {

class BoxRenderer final : public ShowRenderer {
public:
    BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root, ErrorReporter report);
    // Walls still being made when the show ends before its scene (a close request during the
    // load) are waited for, and the files made are removed, as the close request removed them.
    ~BoxRenderer() override;

    // The wall files are made on a thread of their own, so that the work overlaps the making
    // of the window, the device and the music; InitScene collects them. Call these on Qt's
    // thread before any window of ours shows.
    void CaptureDesktopWalls() override;
    // The desktop walls from a picture of the desktop taken earlier (a daemon's screenshot).
    void CaptureDesktopWallsFrom(const QImage& desktop);
    void PrepareUserWalls() override;
    bool InitDevice(QWindow& window) override;
    // A device with no window (an off-screen Direct3D object).
    bool InitDevice(QWindow* window);
    void BuildBoxVertices() override;
    // The scene, once the walls are made: each wall's texture from the pixels kept from the
    // making (let go afterwards), else from its file. A failure of the walls' making is
    // thrown after the scene is set up, for the load to report.
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
    // Makes the walls with `make` on a thread of its own (here, when no thread can be had).
    void MakeWalls(std::function<WallTextures()> make);
    // The longest side the device will give a texture.
    int TextureSide() const;

    Settings& settings_;
    std::filesystem::path wallFolder_;
    WallTextures walls_; // what the wall files hold, until the scene has its textures
    std::future<WallTextures> making_;
    bool grabLater_ = false; // a desktop the making could not read: Qt's thread grabs it
    BoxDevice device_;
    BoxScene scene_;
    ViewMotion motion_;
};

} // namespace quelm
