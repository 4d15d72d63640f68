// Helpers for the scene builder tests: a scene's shapes with their world transforms, and
// building a scene from a tree or from 3DMF text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "builder/scene_builder.h"
#include "geometry/matrix.h"
#include "scene/scene.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::builder::test {

struct Built {
    tree::ObjectTree tree;
    tree::Diagnostics diagnostics;
    Scene scene;
    Outline outline;
    BuildResult result;
};

// Shape nodes in drawing order with the product of the Transform nodes above them (USE nodes
// followed, so a repeated shape appears once per drawing).
struct PlacedShape {
    std::uint32_t shape;
    geometry::Matrix4 world;
};
std::vector<PlacedShape> placed_shapes(const Scene &scene);

// The i-th point of a shape's geometry, in world coordinates.
Vec3 world_point(const Scene &scene, const PlacedShape &placed, std::size_t i);

// Parses `text` and builds its scene into `b`: a failure names the step that failed.
::testing::AssertionResult built(Built &b, std::string_view text);

// The same, for a text that must build: a failure throws, which ends the test with its message.
Built build(std::string_view text);

// Resolves the tree built by hand in `b` and builds its scene.
::testing::AssertionResult built_tree(Built &b);

const FaceSet &face_set(const Built &b, std::size_t shape);
void expect_near(Vec3 got, Vec3 want, const char *what);
void expect_all_near(std::span<const float> got, const std::vector<double> &want);

std::size_t count_nodes(const Scene &scene, Node::Kind kind);
bool has_warning(const tree::Diagnostics &d, std::string_view text);

}  // namespace tarvex::builder::test
