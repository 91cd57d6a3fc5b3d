#pragma once
// A renderer whose desktop walls come from a picture taken before the show started: a
// screensaver daemon covers the desktop with its own window before it starts a hack, and
// keeps a screenshot for it. Everything else is the wrapped renderer's.
#include "render/wall_pictures.h"
#include "saver/show_services.h"

#include <QImage>
#include <filesystem>
#include <memory>

namespace quelm {

class StoredDesktopRenderer final : public ShowRenderer {
public:
    // A null `desktop` leaves the capture to the wrapped renderer.
    StoredDesktopRenderer(std::unique_ptr<ShowRenderer> inner, QImage desktop, std::filesystem::path wallFolder)
        : inner_(std::move(inner)), desktop_(std::move(desktop)), wallFolder_(std::move(wallFolder)) {}

    void CaptureDesktopWalls() override {
        if (desktop_.isNull()) inner_->CaptureDesktopWalls();
        else CaptureDesktopWallsFrom(surfaces_, wallFolder_, desktop_);
    }
    void PrepareUserWalls() override { inner_->PrepareUserWalls(); }
    bool InitDevice(QWindow& window) override { return inner_->InitDevice(window); }
    void BuildBoxVertices() override { inner_->BuildBoxVertices(); }
    void InitScene() override { inner_->InitScene(); }
    void StartMotion() override { inner_->StartMotion(); }
    void Tick() override { inner_->Tick(); }
    void ReleaseVertexBuffer() override { inner_->ReleaseVertexBuffer(); }
    void ReleaseDevice() override { inner_->ReleaseDevice(); }

private:
    std::unique_ptr<ShowRenderer> inner_;
    QImage desktop_;
    std::filesystem::path wallFolder_;
    WallSurfaces surfaces_;
};

} // namespace quelm
