// A draw list packed for a graphics card: shapes that share how they are drawn are merged into
// one batch of world-space vertices, so that a frame takes a few draw calls whatever the number
// of shapes. Packing is done once per scene.
#pragma once

#include <cstdint>
#include <vector>

#include "draw/draw_list.h"

namespace tarvex::draw {

// 28 bytes; normal (0, 0, 0) means "shade the facet flat".
struct PackedVertex {
    float position[3];
    std::int8_t normal[4];  // signed, normalised to [-1, 1]
    std::uint8_t color[4];  // RGBA, normalised to [0, 1]; alpha is 1 - transparency
    float texCoord[2];
};
static_assert(sizeof(PackedVertex) == 28);

// What a batch shares: everything of the material but the diffuse colour and transparency,
// which go with each vertex.
struct BatchStyle {
    Primitive primitive = Primitive::triangles;
    bool lit = true;  // lines and points are not lit
    bool transparent = false;
    std::uint32_t texture = kNone;  // into DrawList::textures
    float ambientIntensity = 0.2f;
    Rgb specular;
    Rgb emissive;
    float shininess = 0.2f;

    bool operator==(const BatchStyle &) const = default;
};

struct Batch {
    BatchStyle style;
    std::vector<PackedVertex> vertices;
    std::vector<std::uint32_t> indices;
    // For big triangle batches: a coarse version (the same vertices, fewer triangles) drawn while
    // the view moves; empty otherwise.
    std::vector<std::uint32_t> coarseIndices;
};

// Batches with more triangles than this get a coarse version of at most kCoarseTarget triangles
// (where 16 cells along the longest side get there).
inline constexpr std::size_t kCoarseAbove = 250'000;
inline constexpr std::size_t kCoarseTarget = 64'000;

// Simplifies triangles by vertex clustering: the vertices are sorted into cubic cells, about
// `cellsAlongLongestSide` along the longest side of their bounds, each cell stands for all its
// vertices (by the first of them met), and the triangles left with three distinct corners are
// kept. O(vertices + triangles) time.
std::vector<std::uint32_t> clusterTriangles(const std::vector<PackedVertex> &vertices,
                                            const std::vector<std::uint32_t> &indices,
                                            int cellsAlongLongestSide);

// Where a shape of the draw list landed: `count` indices from `first` in batch `batch`.
struct ShapeRange {
    std::uint32_t batch = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

struct PackedScene {
    std::vector<Batch> batches;      // opaque batches before transparent ones
    std::vector<ShapeRange> ranges;  // one per DrawList::shapes entry, in order
};

// Packs `list`. Lines and points without colours take the material's emissive colour, as VRML
// draws them. Throws std::bad_alloc when memory runs out.
PackedScene pack(const DrawList &list);

}  // namespace tarvex::draw
