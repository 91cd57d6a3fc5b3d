#include "render/box_renderer.h"

#include "saver/load_rules.h"

#include <limits>
#include <system_error>

namespace quelm {

BoxRenderer::BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root,
                         ErrorReporter report)
    : settings_(settings), wallFolder_(std::move(wallFolder)), device_(std::move(root), std::move(report)),
      scene_(device_, wallFolder_, &walls_) {}

BoxRenderer::~BoxRenderer() {
    if (!ahead_.valid()) return;
    ahead_.wait();
    DeleteWallFiles(wallFolder_);
}

int BoxRenderer::TextureSide() const {
    // Without a mode the device cannot be made either; the walls then keep full size.
    const auto mode = device_.DisplayMode();
    return mode ? d3d::MaxTextureSide(*mode) : std::numeric_limits<int>::max();
}

void BoxRenderer::StartWalls() {
    Settings chosen = settings_;
    ApplyPictureSourceGuard(chosen);
    const int side = TextureSide();
    const QRect area = PrimaryScreenArea(); // asked on Qt's thread
    try {
        if (chosen.PicKind == kPicDesktop) {
            if (area.isEmpty()) return;
            ahead_ = std::async(std::launch::async, [folder = wallFolder_, area, side] {
                return CaptureDesktopWallsAt(folder, area, side);
            });
        } else if (chosen.PicKind == kPicFiles) {
            ahead_ = std::async(std::launch::async, [this, chosen, side] {
                return std::optional(quelm::PrepareUserWalls(surfaces_, chosen, wallFolder_, side));
            });
        } else {
            return;
        }
        aheadKind_ = chosen.PicKind;
    } catch (const std::system_error&) {
        // No thread to be had: the load makes the walls itself.
    }
}

std::optional<WallTextures> BoxRenderer::TakeAhead(int16_t kind) {
    if (!ahead_.valid()) return std::nullopt;
    std::optional<WallTextures> made;
    try {
        made = ahead_.get();
    } catch (...) {
        return std::nullopt; // made again below, where a failure is reported
    }
    if (aheadKind_ != kind) return std::nullopt; // the load chose otherwise: made again below
    return made;
}

void BoxRenderer::CaptureDesktopWalls() {
    if (auto made = TakeAhead(kPicDesktop))
        walls_ = std::move(*made);
    else
        walls_ = quelm::CaptureDesktopWalls(surfaces_, wallFolder_, TextureSide());
}

void BoxRenderer::CaptureDesktopWallsFrom(const QImage& desktop) {
    walls_ = quelm::CaptureDesktopWallsFrom(surfaces_, wallFolder_, desktop, TextureSide());
}

void BoxRenderer::PrepareUserWalls() {
    if (auto made = TakeAhead(kPicFiles))
        walls_ = std::move(*made);
    else
        walls_ = quelm::PrepareUserWalls(surfaces_, settings_, wallFolder_, TextureSide());
}

bool BoxRenderer::InitDevice(QWindow& window) { return device_.InitDevice(&window); }
bool BoxRenderer::InitDevice(QWindow* window) { return device_.InitDevice(window); }
void BoxRenderer::BuildBoxVertices() { scene_.BuildBoxVertices(); }

void BoxRenderer::InitScene() {
    scene_.InitScene();
    walls_ = {};
}

void BoxRenderer::StartMotion() { motion_.Start(); }

void BoxRenderer::Tick() {
    motion_.Step();
    scene_.RenderFrame(motion_.eye);
}

void BoxRenderer::ReleaseVertexBuffer() { scene_.ReleaseVertexBuffer(); }
void BoxRenderer::ReleaseDevice() { device_.ReleaseDevice(); }

} // namespace quelm
