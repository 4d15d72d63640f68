#include "scene_test_support.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <variant>

#include "readers/text/text_parser.h"

namespace tarvex::builder::test {

std::vector<PlacedShape> placed_shapes(const Scene &scene) {
    std::vector<PlacedShape> out;
    // Explicit stack: scenes in these tests may nest deeply.
    std::vector<std::pair<std::uint32_t, geometry::Matrix4>> stack{{0, geometry::Matrix4{}}};
    while (!stack.empty()) {
        auto [index, world] = stack.back();
        stack.pop_back();
        const Node &node = scene.nodes[index];
        if (node.kind == Node::Kind::shape) {
            out.push_back({node.shape, world});
            continue;
        }
        if (node.kind == Node::Kind::use) {
            stack.push_back({node.used, world});
            continue;
        }
        if (node.kind == Node::Kind::transform) {
            geometry::Matrix4 local;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) local.m[r][c] = node.transform.matrix[r][c];
            world = geometry::multiply(local, world);
        }
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            stack.push_back({*it, world});
    }
    return out;
}

Vec3 world_point(const Scene &scene, const PlacedShape &placed, std::size_t i) {
    const Geometry &g = scene.shapes[placed.shape].geometry;
    std::span<const float> coords = std::visit([](const auto &x) { return x.coords; }, g);
    return geometry::apply_point(placed.world,
                                 {coords[3 * i], coords[3 * i + 1], coords[3 * i + 2]});
}

::testing::AssertionResult built(Built &b, std::string_view text) {
    const text::ParseResult parsed = text::parse_text(text, b.tree, b.diagnostics);
    if (!parsed.ok) return ::testing::AssertionFailure() << "not parsed: " << parsed.message;
    b.result = build_scene(b.tree, b.scene, b.diagnostics, {}, &b.outline);
    if (!b.result.ok) return ::testing::AssertionFailure() << b.result.message;
    return ::testing::AssertionSuccess();
}

Built build(std::string_view text) {
    Built b;
    if (const auto ok = built(b, text); !ok)
        throw std::runtime_error(std::string(ok.message()) + " in " +
                                 std::string(text.substr(0, 80)));
    return b;
}

::testing::AssertionResult built_tree(Built &b) {
    b.tree.resolve();
    b.result = build_scene(b.tree, b.scene, b.diagnostics, {}, &b.outline);
    if (!b.result.ok) return ::testing::AssertionFailure() << b.result.message;
    return ::testing::AssertionSuccess();
}

const FaceSet &face_set(const Built &b, std::size_t shape) {
    return std::get<FaceSet>(b.scene.shapes.at(shape).geometry);
}

void expect_near(Vec3 got, Vec3 want, const char *what) {
    EXPECT_NEAR(got.x, want.x, 1e-5) << what;
    EXPECT_NEAR(got.y, want.y, 1e-5) << what;
    EXPECT_NEAR(got.z, want.z, 1e-5) << what;
}

void expect_all_near(std::span<const float> got, const std::vector<double> &want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;
}

std::size_t count_nodes(const Scene &scene, Node::Kind kind) {
    return std::ranges::count(scene.nodes, kind, &Node::kind);
}

bool has_warning(const tree::Diagnostics &d, std::string_view text) {
    return std::ranges::any_of(
        d.entries(), [&](const auto &e) { return e.text.find(text) != std::string::npos; });
}

}  // namespace tarvex::builder::test
