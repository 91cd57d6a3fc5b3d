#pragma once
// The D3DX matrix helpers the renderer calls, over GLM. A d3d::Matrix holds a Direct3D
// matrix (row vectors, v * M); GLM's left-handed functions produce exactly that memory
// layout, and Direct3D's product A * B (A applied first) is GLM's B * A.
#include "platform/d3d/device.h"

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/vec3.hpp>

namespace quelm::d3d {

inline d3d::Matrix MatrixLookAtLH(const glm::vec3& eye, const glm::vec3& at, const glm::vec3& up) {
    return glm::lookAtLH(eye, at, up);
}

// Rotations by `angle` radians, clockwise when looking along the axis towards the origin
// (Direct3D's left-handed sense); for row vectors these equal GLM's right-handed rotations
// for column vectors.
inline d3d::Matrix MatrixRotationX(float angle) { return glm::rotate(glm::mat4(1.0f), angle, glm::vec3(1, 0, 0)); }
inline d3d::Matrix MatrixRotationY(float angle) { return glm::rotate(glm::mat4(1.0f), angle, glm::vec3(0, 1, 0)); }
inline d3d::Matrix MatrixRotationZ(float angle) { return glm::rotate(glm::mat4(1.0f), angle, glm::vec3(0, 0, 1)); }

// a, then b.
inline d3d::Matrix MatrixMultiply(const d3d::Matrix& a, const d3d::Matrix& b) { return b * a; }

// Vertical field of view in radians, aspect = view width / view height; depth 0..w.
inline d3d::Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    return glm::perspectiveLH_ZO(fovY, aspect, zNear, zFar);
}

} // namespace quelm::d3d
