// Scene builder tests on trees built by hand: what does not need the text reader.
#include <gtest/gtest.h>

#include <variant>

#include "scene_test_support.h"

namespace tarvex::builder::test {
namespace {

using tree::ObjectTree;
using tree::ObjectType;

// A TriMesh of `triangles` (index triples) over `points` (x y z each) at top level.
std::uint32_t add_trimesh(ObjectTree &tree, const std::vector<std::uint32_t> &triangles,
                          const std::vector<float> &points) {
    const std::uint32_t mesh = tree.add_node(ObjectType::TriMesh, "TriMesh", tree.root(), 1);
    for (const std::uint32_t count :
         {std::uint32_t(triangles.size() / 3), 0u, 0u, 0u, std::uint32_t(points.size() / 3), 0u})
        tree.add_uns(count);
    for (const std::uint32_t i : triangles) tree.add_uns(i);
    for (const float f : points) tree.add_float(f);
    return mesh;
}

TEST(scene_builder, trimesh_points_and_triangles_are_borrowed_from_the_tree) {
    Built b;
    const std::uint32_t mesh =
        add_trimesh(b.tree, {0, 1, 2, 0, 2, 3}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    ASSERT_TRUE(built_tree(b));
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const auto &fs = std::get<FaceSet>(b.scene.shapes[0].geometry);
    const std::uint32_t first = b.tree.node(mesh).first_value;
    EXPECT_EQ(fs.triangles.data(), b.tree.unsigned_ints(first + 6, 6).data());
    EXPECT_EQ(fs.coords.data(), b.tree.floats(first + 12, 12).data());
    EXPECT_EQ(fs.triangles.size(), 6u);
    EXPECT_EQ(b.scene.shapes[0].source, mesh);
}

TEST(scene_builder, trimesh_triangles_with_an_index_out_of_range_are_removed) {
    Built b;
    add_trimesh(b.tree, {0, 1, 2, 0, 9, 3, 4, 0, 1}, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    ASSERT_TRUE(built_tree(b));
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const auto &fs = std::get<FaceSet>(b.scene.shapes[0].geometry);
    ASSERT_EQ(fs.triangles.size(), 3u);
    EXPECT_EQ(fs.triangles[0], 0u);
    EXPECT_EQ(fs.triangles[2], 2u);
    EXPECT_TRUE(has_warning(b.diagnostics, "2 triangles with a point index out of range"));
}

TEST(scene_builder, malformed_trimesh_is_skipped_with_a_warning) {
    struct Case {
        const char *what;
        std::vector<std::uint32_t> counts;  // the six counts
        std::size_t values;                 // values after them
    };
    const Case cases[] = {
        {"more triangles than values", {5, 0, 0, 0, 3, 0}, 9},
        {"more points than values", {1, 0, 0, 0, 30, 0}, 12},
        {"counts missing", {1, 0, 0}, 0},
    };
    for (const Case &c : cases) {
        Built b;
        b.tree.add_node(ObjectType::TriMesh, "TriMesh", b.tree.root(), 7);
        for (const std::uint32_t n : c.counts) b.tree.add_uns(n);
        for (std::size_t i = 0; i < c.values; ++i) b.tree.add_uns(0);
        EXPECT_TRUE(built_tree(b)) << c.what;
        EXPECT_TRUE(b.scene.shapes.empty()) << c.what;
        ASSERT_EQ(b.diagnostics.warning_count(), 1u) << c.what;
        EXPECT_EQ(b.diagnostics.entries()[0].position, 7u) << c.what;
    }
}

TEST(scene_builder, a_million_nested_groups_do_not_overflow_the_stack) {
    Built b;
    std::uint32_t parent = b.tree.root();
    for (int i = 0; i < 1000000; ++i)
        parent = b.tree.add_node(ObjectType::BeginGroup, "BeginGroup", parent, i + 1);
    b.tree.add_node(ObjectType::Point, "Point", parent, 2000000);
    b.tree.add_float(1);
    b.tree.add_float(2);
    b.tree.add_float(3);
    ASSERT_TRUE(built_tree(b));
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const auto placed = placed_shapes(b.scene);
    ASSERT_EQ(placed.size(), 1u);
    const Vec3 p = world_point(b.scene, placed[0], 0);
    EXPECT_EQ(p.z, 3.0f);
}

}  // namespace
}  // namespace tarvex::builder::test
