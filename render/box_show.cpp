// Transitional: replaced by the real renderer.
#include "render/box_show.h"

namespace quelm {
namespace {
class PendingRenderer final : public ShowRenderer {
public:
    void CaptureDesktopWalls() override {}
    void PrepareUserWalls() override {}
    bool InitDevice(QWindow&) override { return false; }
    void BuildBoxVertices() override {}
    void InitScene() override {}
    void StartMotion() override {}
    void Tick() override {}
    void ReleaseVertexBuffer() override {}
    void ReleaseDevice() override {}
};
} // namespace
std::unique_ptr<ShowRenderer> MakeBoxShow(Settings&, const std::filesystem::path&) {
    return std::make_unique<PendingRenderer>();
}
} // namespace quelm
