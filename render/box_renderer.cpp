#include "render/box_renderer.h"

namespace quelm {

BoxRenderer::BoxRenderer(Settings& settings, std::filesystem::path wallFolder, Direct3DCreator root,
                         ErrorReporter report)
    : settings_(settings), wallFolder_(std::move(wallFolder)), device_(std::move(root), std::move(report)),
      scene_(device_, wallFolder_) {}

void BoxRenderer::CaptureDesktopWalls() { quelm::CaptureDesktopWalls(surfaces_, wallFolder_); }
void BoxRenderer::PrepareUserWalls() { quelm::PrepareUserWalls(surfaces_, settings_, wallFolder_); }
bool BoxRenderer::InitDevice(QWindow& window) { return device_.InitDevice(&window); }
bool BoxRenderer::InitDevice(QWindow* window) { return device_.InitDevice(window); }
void BoxRenderer::BuildBoxVertices() { scene_.BuildBoxVertices(); }
void BoxRenderer::InitScene() { scene_.InitScene(); }
void BoxRenderer::StartMotion() { motion_.Start(); }

void BoxRenderer::Tick() {
    motion_.Step();
    scene_.RenderFrame(motion_.eye);
}

void BoxRenderer::ReleaseVertexBuffer() { scene_.ReleaseVertexBuffer(); }
void BoxRenderer::ReleaseDevice() { device_.ReleaseDevice(); }

} // namespace quelm
