#include "render/box_renderer.h"

#include <exception>
#include <limits>
#include <system_error>

namespace quelm {

BoxRenderer::BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root,
                         ErrorReporter report)
    : settings_(settings), wallFolder_(std::move(wallFolder)), device_(std::move(root), std::move(report)),
      scene_(device_, wallFolder_, &walls_) {}

BoxRenderer::~BoxRenderer() {
    if (!making_.valid()) return;
    making_.wait();
    DeleteWallFiles(wallFolder_);
}

int BoxRenderer::TextureSide() const {
    // Without a mode the device cannot be made either; the walls then keep full size.
    const auto mode = device_.DisplayMode();
    return mode ? d3d::MaxTextureSide(*mode) : std::numeric_limits<int>::max();
}

void BoxRenderer::MakeWalls(std::function<WallTextures()> make) {
    try {
        making_ = std::async(std::launch::async, std::move(make));
    } catch (const std::system_error&) {
        std::promise<WallTextures> here; // no thread to be had: made now
        here.set_value(make());
        making_ = here.get_future();
    }
}

void BoxRenderer::CaptureDesktopWalls() {
    const QRect area = PrimaryScreenArea(); // asked on Qt's thread
    if (area.isEmpty()) return;
    grabLater_ = true; // where the screen cannot be read from another thread
    MakeWalls([folder = wallFolder_, area, side = TextureSide()] {
        return CaptureDesktopWallsAt(folder, area, side).value_or(WallTextures{});
    });
}

void BoxRenderer::CaptureDesktopWallsFrom(const QImage& desktop) {
    MakeWalls([folder = wallFolder_, desktop, side = TextureSide()] {
        return quelm::CaptureDesktopWallsFrom(folder, desktop, side);
    });
}

void BoxRenderer::PrepareUserWalls() {
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
        if (grabLater_ && !failure && !walls_.wall[1].Made())
            walls_ = quelm::CaptureDesktopWalls(wallFolder_, TextureSide());
    }
    scene_.InitScene();
    walls_ = {};
    if (failure) std::rethrow_exception(failure);
}

void BoxRenderer::StartMotion() { motion_.Start(); }

void BoxRenderer::Tick() {
    motion_.Step();
    scene_.RenderFrame(motion_.eye);
}

void BoxRenderer::ReleaseVertexBuffer() { scene_.ReleaseVertexBuffer(); }
void BoxRenderer::ReleaseDevice() { device_.ReleaseDevice(); }

} // namespace quelm
