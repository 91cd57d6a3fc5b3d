#pragma once
// The box seen from inside: x and z from -8 to 8, walls from y = -1 to the ceiling at 10,
// the floor 0.01 lower. Twenty-four vertices, four a face, each face one triangle strip.
#include "platform/d3d/device.h"

#include <array>
#include <cstdint>

namespace quelm {

// Position in world units, then texture coordinates (0,0 the picture's top left).
struct BoxVertex {
    float x, y, z, tu, tv;
};
static_assert(sizeof(BoxVertex) == 5 * sizeof(float), "the vertex buffer holds five floats a vertex");

inline constexpr int kBoxVertexCount = 24;
inline constexpr uint32_t kBoxVertexStride = sizeof(BoxVertex);                       // bytes
inline constexpr uint32_t kBoxVertexBufferBytes = kBoxVertexCount * kBoxVertexStride; // 480
inline constexpr uint32_t kBoxVertexFormat = d3d::kFvfXyz | d3d::kFvfTex1;            // 258
inline constexpr float kFloorY = -1.01f; // the nearest 32-bit float to -1.01

using BoxVertexTable = std::array<BoxVertex, kBoxVertexCount>;

// One face: which wall's texture, and its strip's first vertex.
struct BoxFace {
    int wall;
    uint32_t firstVertex;
};
inline constexpr int kBoxFaceCount = 6;
inline constexpr uint32_t kTrianglesPerFace = 2;
// In drawing order: floor, wall at z = 8, wall at x = 8, wall at x = -8, wall at z = -8, ceiling.
inline constexpr std::array<BoxFace, kBoxFaceCount> kBoxFaces{{{2, 0}, {3, 4}, {4, 8}, {5, 12}, {6, 16}, {1, 20}}};

// Fills all 24 entries.
void BuildBoxVertices(BoxVertexTable& table);

} // namespace quelm
