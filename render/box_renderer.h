#pragma once
// The box renderer of one show on one screen, on any Direct3D object: the wall files, the
// device, the box and its textures, the eye's motion, one step and one frame a tick, and the
// teardown. A show on several screens has a box on each: the first (the leader) writes the
// wall files and moves the eye; each other box follows it (see the constructor).
#include "render/box_device.h"
#include "render/box_scene.h"
#include "render/desktop_source.h"
#include "render/view_motion.h"
#include "render/wall_pictures.h"
#include "saver/show_services.h"
#include "settings/settings.h"

#include <QPointer>
#include <QScreen>
#include <filesystem>

#include <functional>
#include <future>

namespace quelm {

class BoxRenderer;

// Where a box is shown and what it makes of its desktop.
struct BoxPlace {
    // The screen the box is shown on (none: the primary screen, or off screen).
    QScreen* screen = nullptr;
    // The first screen's box of the same show, which must outlive this one. A box with a
    // leader writes no wall files and draws the leader's eye; its desktop walls are its own
    // screen's, made in memory, its user pictures the leader's. Started after the leader's
    // scene (a screen added during the show), it takes the leader's wall files.
    const BoxRenderer* leader = nullptr;
    // A desktop of one colour counts as no capture (DesktopWalls): under a daemon.
    bool oneColourIsNothing = false;
};

class BoxRenderer final : public ShowRenderer {
public:
    BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root, ErrorReporter report,
                BoxPlace place = {});
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

    // The eye this box draws: its own, or its leader's.
    const ViewMotion& Motion() const { return leader_ ? leader_->motion_ : motion_; }
    ViewMotion& Motion() { return motion_; }
    const BoxScene& Scene() const { return scene_; }
    BoxScene& Scene() { return scene_; }
    d3d::Device* Device() const { return device_.Device(); }

private:
    // Makes the walls with `make` on a thread of its own (here, when no thread can be had).
    void MakeWalls(std::function<WallTextures()> make);
    // A box that follows a leader whose scene is made already: it reads the leader's files.
    bool Late() const { return leader_ && leader_->sceneMade_; }
    // Where this box writes its wall files: nowhere for a box that follows a leader.
    std::filesystem::path WritingFolder() const { return leader_ ? std::filesystem::path() : wallFolder_; }
    // The longest side the device will give a texture.
    int TextureSide() const;

    Settings& settings_;
    std::filesystem::path wallFolder_;
    WallTextures walls_; // what the wall files hold, until the scene has its textures
    QPointer<QScreen> screen_;
    const BoxRenderer* leader_;
    bool oneColourIsNothing_;
    std::shared_future<WallTextures> making_; // shared with the boxes that follow this one
    bool grabLater_ = false;                  // a desktop the making could not read: Qt's thread grabs it
    bool sceneMade_ = false;
    BoxDevice device_;
    BoxScene scene_;
    ViewMotion motion_;
};

} // namespace quelm
