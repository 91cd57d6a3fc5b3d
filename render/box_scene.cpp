#include "render/box_scene.h"

#include "platform/d3d/matrices.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quelm {

namespace {
constexpr uint32_t kStage = 0;
constexpr uint32_t kStream = 0;
constexpr int kMirrorStripRows = 64; // rows mirrored into the texture at a time

// Returns from the calling routine when a device call fails.
#define QUELM_TRY(call)                                                                                                \
    do {                                                                                                               \
        if (const d3d::HResult hr_ = (call); d3d::Failed(hr_)) return hr_;                                             \
    } while (false)
} // namespace

d3d::Matrix ProjectionMatrix() {
    return d3d::MatrixPerspectiveFovLH(kFieldOfViewY, kProjectionAspect, kNearPlane, kFarPlane);
}

d3d::Matrix ViewMatrix(float x, float y, float z, float pitch, float yaw, float roll) {
    const glm::vec3 eye(x, y, z);
    const glm::vec3 at(x, y, z + kLookAhead);
    const glm::vec3 up(0, 1, 0);
    d3d::Matrix view = d3d::MatrixLookAtLH(eye, at, up);
    view = d3d::MatrixMultiply(view, d3d::MatrixRotationX(pitch));
    view = d3d::MatrixMultiply(view, d3d::MatrixRotationY(yaw));
    view = d3d::MatrixMultiply(view, d3d::MatrixRotationZ(roll));
    return view;
}

BoxScene::BoxScene(const BoxDevice& device, std::filesystem::path wallFolder, WallTextures* kept)
    : device_(device), wallFolder_(std::move(wallFolder)), kept_(kept) {}

namespace {

// A texture of `kept`'s pixels, mirrored row by row when asked.
d3d::HResult TextureOf(d3d::Device& device, const WallTexture& kept, d3d::TextureHandle& texture) {
    const QImage& p = kept.pixels;
    QUELM_TRY(device.CreateTexture(uint32_t(p.width()), uint32_t(p.height()), texture));
    if (!kept.mirrored)
        return device.CopyToTexture(texture, 0, uint32_t(p.height()), p.constBits(), uint32_t(p.bytesPerLine()));
    std::vector<QRgb> strip(size_t(p.width()) * kMirrorStripRows);
    for (int y = 0; y < p.height(); y += kMirrorStripRows) {
        const int rows = std::min(kMirrorStripRows, p.height() - y);
        for (int r = 0; r < rows; ++r) {
            const auto* in = reinterpret_cast<const QRgb*>(p.constScanLine(y + r));
            std::reverse_copy(in, in + p.width(), strip.begin() + ptrdiff_t(r) * p.width());
        }
        QUELM_TRY(device.CopyToTexture(texture, uint32_t(y), uint32_t(rows), strip.data(),
                                       uint32_t(p.width() * sizeof(QRgb))));
    }
    return d3d::kOk;
}

} // namespace

d3d::HResult BoxScene::MakeTexture(d3d::Device& device, int wall) {
    if (const WallTexture* kept = kept_ ? kept_->Of(wall, wallFolder_) : nullptr) {
        if (kept->sameAs != 0 && textures_[kept->sameAs] != 0) {
            textures_[wall] = textures_[kept->sameAs];
            return d3d::kOk;
        }
        // A wall before this one made of the same pixels: the same texture, or its mirror.
        for (int earlier = 1; earlier < wall && kept->sameAs == 0; ++earlier) {
            const WallTexture* other = kept_->Of(earlier, wallFolder_);
            if (!other || other->sameAs != 0 || textures_[earlier] == 0 ||
                other->pixels.cacheKey() != kept->pixels.cacheKey())
                continue;
            if (other->mirrored == kept->mirrored) {
                textures_[wall] = textures_[earlier];
                return d3d::kOk;
            }
            if (!d3d::Failed(device.CreateMirroredTexture(textures_[earlier], textures_[wall]))) return d3d::kOk;
        }
        if (kept->sameAs == 0 && !d3d::Failed(TextureOf(device, *kept, textures_[wall]))) return d3d::kOk;
    }
    return device.CreateTextureFromFile(WallFile(wallFolder_, wall), textures_[wall]);
}

void BoxScene::BuildBoxVertices() { quelm::BuildBoxVertices(vertices_); }

d3d::HResult BoxScene::SetFixedState(d3d::Device& device) {
    using d3d::RenderState;
    using d3d::TextureStageState;
    QUELM_TRY(device.SetRenderState(RenderState::CullMode, d3d::kCullNone));
    QUELM_TRY(device.SetRenderState(RenderState::Lighting, 0));
    QUELM_TRY(device.SetRenderState(RenderState::ZEnable, d3d::kZbTrue));
    QUELM_TRY(device.SetTextureStageState(kStage, TextureStageState::ColorOp, d3d::kTopSelectArg1));
    QUELM_TRY(device.SetTextureStageState(kStage, TextureStageState::ColorArg1, d3d::kTaTexture));
    QUELM_TRY(device.SetTextureStageState(kStage, TextureStageState::MagFilter, d3d::kTexfLinear));
    QUELM_TRY(device.SetTextureStageState(kStage, TextureStageState::MinFilter, d3d::kTexfLinear));
    QUELM_TRY(device.SetRenderState(RenderState::AlphaBlendEnable, 0));
    return d3d::kOk;
}

void BoxScene::InitScene() {
    [&]() -> d3d::HResult {
        d3d::Device* device = device_.Device();
        if (!device) return d3d::kErrInvalidCall;
        QUELM_TRY(SetFixedState(*device));
        for (int wall = 1; wall <= kBoxFaceCount; ++wall) {
            QUELM_TRY(MakeTexture(*device, wall));
            if (kept_) kept_->ReleaseThrough(wall);
        }
        QUELM_TRY(device->CreateVertexBuffer(kBoxVertexBufferBytes, d3d::kUsageWriteOnly, kBoxVertexFormat,
                                             d3d::kPoolManaged, vertexBuffer_));
        QUELM_TRY(device->CopyToVertexBuffer(vertexBuffer_, 0, vertices_.data(), kBoxVertexBufferBytes));
        return SetCamera(0, 0, kInitialCameraZ, 0, 0, 0);
    }();
}

d3d::HResult BoxScene::SetCamera(float x, float y, float z, float pitch, float yaw, float roll) {
    d3d::Device* device = device_.Device();
    if (!device) return d3d::kErrInvalidCall;
    QUELM_TRY(device->SetTransform(d3d::TransformState::View, ViewMatrix(x, y, z, pitch, yaw, roll)));
    return device->SetTransform(d3d::TransformState::Projection, ProjectionMatrix());
}

d3d::HResult BoxScene::DrawFrame(d3d::Device& device, const EyeState& eye) {
    QUELM_TRY(SetCamera(eye.EyeX, eye.EyeY, eye.EyeZ, eye.EyePitch, eye.EyeYaw, eye.EyeRoll));
    QUELM_TRY(device.Clear(d3d::kClearTarget | d3d::kClearZBuffer, kClearBlack, kClearDepth, 0));
    QUELM_TRY(device.BeginScene());
    QUELM_TRY(device.SetVertexShader(kBoxVertexFormat));
    QUELM_TRY(device.SetStreamSource(kStream, vertexBuffer_, kBoxVertexStride));
    for (const BoxFace& face : kBoxFaces) {
        QUELM_TRY(device.SetTexture(kStage, textures_[face.wall]));
        QUELM_TRY(device.DrawPrimitive(d3d::PrimitiveType::TriangleStrip, face.firstVertex, kTrianglesPerFace));
    }
    QUELM_TRY(device.EndScene());
    QUELM_TRY(device.SetTexture(kStage, 0));
    return device.Present();
}

void BoxScene::RenderFrame(const EyeState& eye) {
    if (d3d::Device* device = device_.Device()) DrawFrame(*device, eye);
}

void BoxScene::ReleaseVertexBuffer() {
    if (vertexBuffer_ == 0) return;
    if (d3d::Device* device = device_.Device()) device->ReleaseVertexBuffer(vertexBuffer_);
    vertexBuffer_ = 0;
}

} // namespace quelm
