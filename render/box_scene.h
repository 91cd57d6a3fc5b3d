#pragma once
// The scene on the show's device: the fixed render state, the six wall textures, the box's
// vertex buffer, the camera and one frame. Each routine stops at its first failing device
// call; nothing is reported, and the caller goes on.
#include "platform/d3d/device.h"
#include "render/box_device.h"
#include "render/box_geometry.h"
#include "render/view_motion.h"
#include "render/wall_pictures.h"

#include <array>
#include <filesystem>

namespace quelm {

// The projection: a vertical field of view of 3.14152768 / 4 radians (a little under a
// quarter turn of pi), aspect 768 / 1024 whatever the screen, depth from 1 to 200.
inline constexpr float kFieldOfViewY = static_cast<float>(3.14152768 / 4);
inline constexpr float kProjectionAspect = 768.0f / 1024.0f;
inline constexpr float kNearPlane = 1.0f;
inline constexpr float kFarPlane = 200.0f;
// The look-at point lies this far ahead along +z.
inline constexpr float kLookAhead = 8.0f;
// The view InitScene sets before the first frame.
inline constexpr float kInitialCameraZ = -8.0f;
inline constexpr uint32_t kClearBlack = 0x00000000;
inline constexpr float kClearDepth = 1.0f;

d3d::Matrix ProjectionMatrix();
// Eye at (x, y, z) looking along +z, then turned by pitch, yaw and roll (radians).
d3d::Matrix ViewMatrix(float x, float y, float z, float pitch, float yaw, float roll);

class BoxScene {
public:
    // `kept`: what the wall files hold, when they were just made (may be null). A wall kept
    // there takes its texture from there instead of reading its file back; walls showing the
    // same picture share one texture. InitScene lets go of each kept picture once its
    // texture is made.
    BoxScene(const BoxDevice& device, std::filesystem::path wallFolder, WallTextures* kept = nullptr);

    void BuildBoxVertices();
    // Render state, textures 1 to 6, vertex buffer, initial view.
    void InitScene();
    d3d::HResult SetCamera(float x, float y, float z, float pitch, float yaw, float roll);
    // One frame from `eye`, presented; a failing step drops the rest of the frame.
    void RenderFrame(const EyeState& eye);
    void ReleaseVertexBuffer();

    d3d::TextureHandle Texture(int wall) const { return textures_.at(wall); }

private:
    d3d::HResult SetFixedState(d3d::Device& device);
    d3d::HResult MakeTexture(d3d::Device& device, int wall);
    d3d::HResult DrawFrame(d3d::Device& device, const EyeState& eye);

    const BoxDevice& device_;
    std::filesystem::path wallFolder_;
    WallTextures* kept_;
    BoxVertexTable vertices_{};
    std::array<d3d::TextureHandle, kBoxFaceCount + 1> textures_{}; // entries 1..6 used
    d3d::VertexBufferHandle vertexBuffer_ = 0;
};

} // namespace quelm
