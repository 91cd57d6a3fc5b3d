#include "render/box_scene.h"

#include "platform/d3d/matrices.h"

namespace quelm {

namespace {
constexpr uint32_t kStage = 0;
constexpr uint32_t kStream = 0;

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

d3d::HResult BoxScene::MakeTexture(d3d::Device& device, int wall) {
    WallTexture* kept = kept_ ? &kept_->wall[size_t(wall)] : nullptr;
    if (!kept || !kept->Made()) return device.CreateTextureFromFile(WallFile(wallFolder_, wall), textures_[wall]);
    if (kept->sameAs != 0) {
        if (textures_[kept->sameAs] == 0) QUELM_TRY(MakeTexture(device, kept->sameAs));
        if (kept->mirrored) return device.CreateMirroredTexture(textures_[kept->sameAs], textures_[wall]);
        textures_[wall] = textures_[kept->sameAs];
        return d3d::kOk;
    }
    const QImage& p = kept->pixels;
    QUELM_TRY(device.CreateTexture(uint32_t(p.width()), uint32_t(p.height()), textures_[wall]));
    QUELM_TRY(
        device.CopyToTexture(textures_[wall], 0, uint32_t(p.height()), p.constBits(), uint32_t(p.bytesPerLine())));
    kept->pixels = QImage(); // on the device now
    return d3d::kOk;
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
        for (int wall = 1; wall <= kBoxFaceCount; ++wall)
            if (textures_[wall] == 0) QUELM_TRY(MakeTexture(*device, wall));
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
