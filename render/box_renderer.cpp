#include "render/box_renderer.h"

#include "platform/core/report.h"

#include <exception>
#include <limits>
#include <system_error>

namespace quelm {

BoxRenderer::BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root,
                         ErrorReporter report, BoxPlace place)
    : settings_(settings), wallFolder_(std::move(wallFolder)), screen_(place.screen), leader_(place.leader),
      oneColourIsNothing_(place.oneColourIsNothing), device_(std::move(root), std::move(report), place.screen),
      scene_(device_, wallFolder_, &walls_) {}

BoxRenderer::~BoxRenderer() {
    if (!making_.valid()) return;
    making_.wait();
    if (!leader_) DeleteWallFiles(wallFolder_);
}

int BoxRenderer::TextureSide() const {
    // Without a mode the device cannot be made either; the walls then keep full size.
    const auto mode = device_.DisplayMode();
    return mode ? d3d::MaxTextureSide(*mode) : std::numeric_limits<int>::max();
}

void BoxRenderer::MakeWalls(std::function<WallTextures()> make) {
    try {
        making_ = std::async(std::launch::async, std::move(make)).share();
    } catch (const std::system_error&) {
        std::promise<WallTextures> here; // no thread to be had: made now
        here.set_value(make());
        making_ = here.get_future().share();
    }
}

void BoxRenderer::CaptureDesktopWalls() {
    if (Late()) return;
    const ScreenPlace place = PlaceOf(screen_); // asked on Qt's thread
    if (place.pixels.isEmpty()) return;
    grabLater_ = true; // where the screen cannot be read from another thread
    MakeWalls([folder = WritingFolder(), place, side = TextureSide(), settings = settings_,
               blank = oneColourIsNothing_]() -> WallTextures {
        const QImage desktop = ReadDesktop(place);
        if (desktop.isNull()) return {};
        // The screen's own pixels: a compositor's output can have more than Qt counts (a
        // fractional scale).
        return DesktopWalls(folder, desktop, DesktopWallSize(desktop.size()), side, settings, blank);
    });
}

void BoxRenderer::CaptureDesktopWallsFrom(const QImage& desktop) {
    MakeWalls(
        [folder = WritingFolder(), desktop, side = TextureSide(), settings = settings_, blank = oneColourIsNothing_] {
            return DesktopWalls(folder, desktop, desktop.size(), side, settings, blank);
        });
}

void BoxRenderer::PrepareUserWalls() {
    if (leader_) {
        if (!Late()) making_ = leader_->making_; // the same pictures, decoded once
        return;
    }
    MakeWalls([folder = wallFolder_, settings = settings_, side = TextureSide()] {
        return quelm::PrepareUserWalls(settings, folder, side);
    });
}

bool BoxRenderer::InitDevice(QWindow& window) { return device_.InitDevice(&window); }
bool BoxRenderer::InitDevice(QWindow* window) { return device_.InitDevice(window); }
void BoxRenderer::BuildBoxVertices() { scene_.BuildBoxVertices(); }

void BoxRenderer::InitScene() {
    std::exception_ptr failure;
    if (making_.valid()) {
        try {
            walls_ = making_.get();
        } catch (...) {
            failure = std::current_exception();
        }
        if (grabLater_ && !failure && !walls_.wall[1].Made()) {
            const QImage desktop = GrabDesktop(screen_);
            walls_ = DesktopWalls(WritingFolder(), desktop, DesktopWallSize(ScreenArea(screen_).size()), TextureSide(),
                                  settings_, oneColourIsNothing_);
        }
        making_ = {}; // the pixels go once every box that shares them has its textures
        // A full disk, a quota: the box still shows its walls, from the pixels in memory.
        if (!leader_ && walls_.FilesMissing())
            core::ReportError("the wall files cannot be written in " + wallFolder_.string() +
                              ": the box shows its walls from memory");
    }
    scene_.InitScene();
    walls_ = {};
    sceneMade_ = true;
    if (failure) std::rethrow_exception(failure);
}

void BoxRenderer::StartMotion() {
    if (!leader_) motion_.Start();
}

void BoxRenderer::Tick() {
    if (!leader_) motion_.Step(); // a box that follows draws the leader's eye of this tick
    scene_.RenderFrame((leader_ ? leader_->motion_ : motion_).eye);
}

void BoxRenderer::ReleaseVertexBuffer() { scene_.ReleaseVertexBuffer(); }
void BoxRenderer::ReleaseDevice() { device_.ReleaseDevice(); }

} // namespace quelm
