// A shape's geometry as one flat list of primitives with every attribute indexed alike: what
// renderers and formats without VRML's separate index arrays (the draw list, glTF) take.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/scene.h"

namespace tarvex::meshing {

struct FlatMesh {
    enum class Primitive { triangles, lines, points };
    Primitive primitive = Primitive::triangles;
    std::vector<float> positions;        // x y z
    std::vector<float> normals;          // x y z, or empty
    std::vector<float> colors;           // r g b, or empty
    std::vector<float> tex_coords;       // s t with the shape's texture transform applied, or empty
    std::vector<std::uint32_t> indices;  // triangles: 3 a face; lines: 2 a segment; points: 1

    std::size_t vertex_count() const { return positions.size() / 3; }
};

// Faces are cut into triangles (convex ones as fans, others ear-clipped), polylines into
// segments. A face, segment or attribute whose indices fall outside its arrays is left out
// rather than read past.
FlatMesh flatten(const scene::Shape &shape);

}  // namespace tarvex::meshing
