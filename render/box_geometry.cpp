#include "render/box_geometry.h"

namespace quelm {

void BuildBoxVertices(BoxVertexTable& table) {
    table = BoxVertexTable{{
        // Floor (wall 2): picture's top along x = 8, its left along z = 8.
        {-8, kFloorY, -8, 1, 1},
        {-8, kFloorY, 8, 0, 1},
        {8, kFloorY, -8, 1, 0},
        {8, kFloorY, 8, 0, 0},
        // Wall 3 at z = 8, faced at the start.
        {-8, -1, 8, 0, 1},
        {-8, 10, 8, 0, 0},
        {8, -1, 8, 1, 1},
        {8, 10, 8, 1, 0},
        // Wall 4 at x = 8.
        {8, -1, -8, 1, 1},
        {8, 10, -8, 1, 0},
        {8, -1, 8, 0, 1},
        {8, 10, 8, 0, 0},
        // Wall 5 at x = -8: coordinates mirrored, as its picture is stored mirrored.
        {-8, -1, -8, 1, 1},
        {-8, 10, -8, 1, 0},
        {-8, -1, 8, 0, 1},
        {-8, 10, 8, 0, 0},
        // Wall 6 at z = -8.
        {-8, -1, -8, 1, 1},
        {-8, 10, -8, 1, 0},
        {8, -1, -8, 0, 1},
        {8, 10, -8, 0, 0},
        // Ceiling (wall 1): picture's top along z = -8, its left along x = -8.
        {-8, 10, 8, 0, 1},
        {-8, 10, -8, 0, 0},
        {8, 10, 8, 1, 1},
        {8, 10, -8, 1, 0},
    }};
}

} // namespace quelm
