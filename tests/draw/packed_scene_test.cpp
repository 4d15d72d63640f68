// Packing a draw list into batches: what merges, what stays apart, where each shape lands.
#include "draw/packed_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

namespace {

using namespace tarvex::draw;

Mesh triangle(float x) {
    Mesh mesh;
    mesh.positions = {x, 0, 0, x + 1, 0, 0, x, 1, 0};
    mesh.indices = {0, 1, 2};
    return mesh;
}

std::array<int, 4> rgba(const PackedVertex &v) {
    return {v.color[0], v.color[1], v.color[2], v.color[3]};
}

TEST(packed_scene, mergesShapesOfOneStyleAndPutsTransparentOnesLast) {
    DrawList list;
    list.meshes = {triangle(0), triangle(5)};
    Shape glass;
    glass.mesh = 0;
    glass.material.transparency = 0.5f;
    Shape red;
    red.mesh = 0;
    red.material.diffuse = {1, 0, 0};
    red.toWorld.m[3][2] = 7;  // moved along z
    Shape blue;
    blue.mesh = 1;
    blue.material.diffuse = {0, 0, 1};
    list.shapes = {glass, red, blue};

    const PackedScene packed = pack(list);
    ASSERT_EQ(packed.batches.size(), 2u);
    EXPECT_FALSE(packed.batches[0].style.transparent);
    EXPECT_TRUE(packed.batches[1].style.transparent);
    std::vector<std::array<std::uint32_t, 3>> ranges;  // batch, first index, index count
    for (const ShapeRange &r : packed.ranges) ranges.push_back({r.batch, r.first, r.count});
    EXPECT_EQ(ranges, (decltype(ranges){{1, 0, 3}, {0, 0, 3}, {0, 3, 3}}));

    const Batch &opaque = packed.batches[0];
    EXPECT_EQ(opaque.indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    std::vector<float> world;
    for (const PackedVertex &v : opaque.vertices)
        world.insert(world.end(), v.position, v.position + 3);
    EXPECT_EQ(world, (std::vector<float>{0, 0, 7, 1, 0, 7, 0, 1, 7, 5, 0, 0, 6, 0, 0, 5, 1, 0}));
    EXPECT_EQ(rgba(opaque.vertices[0]), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(rgba(opaque.vertices[3]), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(rgba(packed.batches[1].vertices[0]),
              (std::array<int, 4>{204, 204, 204, 128}));  // alpha = 1 - transparency
}

// Vertex colours win over the material, each channel in its place and alpha after them; lines
// without them take the emissive colour; a normal is turned with the shape, a missing one stays
// zero (flat shading). A textured shape's vertices carry both texture coordinates; an untextured
// one's are zero.
TEST(packed_scene, resolvesColoursNormalsAndTextureCoordinates) {
    DrawList list;
    Mesh lit = triangle(0);
    lit.colors = {0.2f, 0.6f, 1, 0.2f, 0.6f, 1, 0.2f, 0.6f, 1};
    lit.normals = {1, 0, 0, 0, 1, 0, 1, 0, 0};
    lit.texCoords = {0.25f, 0.75f, 1, 0.5f, 0, 1};
    Mesh line;
    line.primitive = Primitive::lines;
    line.positions = {0, 0, 0, 1, 1, 1};
    line.indices = {0, 1};
    list.meshes = {lit, line, triangle(0)};
    Shape turned;
    turned.mesh = 0;
    turned.material.transparency = 0.5f;
    // 90 degrees about z, y sheared into z, z doubled: the plane x = 0 of the normal (1 0 0)
    // goes to the plane y = 0, whose normal (0 1 0) is the first row of M's inverse transposed.
    // (0 1 0) turns to (-1 0 0): the plane y = 0 goes to x = 0, and its tangents (1 0 0) and
    // (0 0 1) to (0 1 0) and (0 0 2), so (0 -1 0), their cross product, goes to (1 0 0).
    turned.toWorld.m[0][0] = 0, turned.toWorld.m[0][1] = 1;
    turned.toWorld.m[1][0] = -1, turned.toWorld.m[1][1] = 0, turned.toWorld.m[1][2] = 1;
    turned.toWorld.m[2][2] = 2;
    Shape lines;
    lines.mesh = 1;
    lines.material.emissive = {0, 0, 1};
    Shape plain = turned;  // packed with it
    plain.mesh = 2;
    Shape textured;
    textured.texture = 0;
    list.textures.push_back(Texture{1, 1, 3, {255, 255, 255}, true, true});
    list.shapes = {turned, lines, plain, textured};

    const PackedScene packed = pack(list);
    ASSERT_EQ(packed.batches.size(), 3u);
    ASSERT_EQ(packed.ranges[2].batch, packed.ranges[0].batch);
    const Batch &glass = packed.batches[packed.ranges[0].batch];
    const PackedVertex &v = glass.vertices.at(0), &w = glass.vertices.at(1);
    EXPECT_EQ(rgba(v), (std::array<int, 4>{51, 153, 255, 128}));
    EXPECT_EQ((std::array<int, 6>{v.normal[0], v.normal[1], v.normal[2], w.normal[0], w.normal[1],
                                  w.normal[2]}),
              (std::array<int, 6>{0, 127, 0, -127, 0, 0}));
    const PackedVertex &flat = glass.vertices.at(3);
    EXPECT_EQ(flat.normal[0] | flat.normal[1] | flat.normal[2], 0);
    EXPECT_EQ(rgba(flat), (std::array<int, 4>{204, 204, 204, 128}));  // VRML's grey 0.8
    const Batch &lineBatch = packed.batches[packed.ranges[1].batch];
    EXPECT_FALSE(lineBatch.style.lit);
    EXPECT_EQ(rgba(lineBatch.vertices[0]), (std::array<int, 4>{0, 0, 255, 255}));
    const Batch &t = packed.batches[packed.ranges[3].batch];
    ASSERT_EQ(t.vertices.size(), 3u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(t.vertices[i / 2].texCoord[i % 2], lit.texCoords[i]) << i;
    for (const PackedVertex &u : glass.vertices) EXPECT_EQ(u.texCoord[0] + u.texCoord[1], 0);
}

}  // namespace

// A flat 101 x 101 grid, centred on the origin as models often are, cut into 10 x 10 cells: the
// coarse version is the 10 x 10 lattice of each cell's first vertex, two triangles a lattice
// square, none degenerate.
TEST(packed_scene, clustersBigMeshesIntoCells) {
    std::vector<PackedVertex> vertices;
    std::vector<std::uint32_t> indices;
    const std::uint32_t side = 101;
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            vertices.push_back({{float(x) - 50, float(y) - 50, 0}, {}, {}, {}});
            if (x + 1 < side && y + 1 < side) {
                const std::uint32_t c = y * side + x;
                indices.insert(indices.end(), {c, c + 1, c + side, c + 1, c + side + 1, c + side});
            }
        }
    }
    const std::vector<std::uint32_t> coarse = clusterTriangles(vertices, indices, 10);
    std::set<std::array<std::uint32_t, 3>> unique;
    for (std::size_t t = 0; t < coarse.size(); t += 3) {
        std::array<std::uint32_t, 3> corners{coarse[t], coarse[t + 1], coarse[t + 2]};
        for (std::uint32_t i : corners) {
            EXPECT_EQ((int(vertices[i].position[0]) + 50) % 10, 0);
            EXPECT_EQ((int(vertices[i].position[1]) + 50) % 10, 0);
        }
        EXPECT_TRUE(corners[0] != corners[1] && corners[1] != corners[2] &&
                    corners[0] != corners[2]);
        std::sort(corners.begin(), corners.end());
        unique.insert(corners);
    }
    EXPECT_EQ(unique.size(), 2u * 9 * 9);
}
