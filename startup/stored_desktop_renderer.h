#pragma once
// A renderer whose desktop walls come from a picture taken before the show started: a
// screensaver daemon covers the desktop with its own window before it starts a hack, and
// keeps a screenshot for it. Everything else is the wrapped renderer's.
#include "render/box_renderer.h"
#include "saver/show_services.h"

#include <QImage>
#include <memory>
#include <utility>

namespace quelm {

class StoredDesktopRenderer final : public ShowRenderer {
public:
    // A null `desktop` leaves the capture to the wrapped renderer.
    StoredDesktopRenderer(std::unique_ptr<BoxRenderer> inner, QImage desktop)
        : inner_(std::move(inner)), desktop_(std::move(desktop)) {}

    void CaptureDesktopWalls() override {
        if (desktop_.isNull())
            inner_->CaptureDesktopWalls();
        else
            inner_->CaptureDesktopWallsFrom(std::exchange(desktop_, QImage()));
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
    std::unique_ptr<BoxRenderer> inner_;
    QImage desktop_;
};

} // namespace quelm
