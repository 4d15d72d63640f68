// A few corpus files checked against what was counted by hand (that every file builds and draws
// what it says is full_corpus_test's).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scene_test_support.h"

namespace tarvex::builder::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(TARVEX_CORPUS_DIR) / "3dmf";

Built build_file(const char *name) {
    std::ifstream in(kCorpus / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return build(bytes.str());
}

struct Expected {
    const char *file;
    std::size_t shapes, placed, groups, lights, viewpoints;
};

TEST(scene_builder_corpus, hand_counted_files) {
    if (!fs::exists(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    const Expected cases[] = {
        // One TriMesh drawn three times: once, then by reference, then mirrored (so converted
        // again rather than shared).
        {"q-flip-shadow.3dmf", 3, 3, 4, 0, 0},
        // Nine ordered groups of one quadric each; one point light, one camera.
        {"spd-jacks.3dmf", 9, 9, 9, 1, 1},
        // 24 triangles, 3 tori and a disk.
        {"spd-sample.3dmf", 28, 28, 0, 1, 1},
        {"q-quesa-doc.3dmf", 3, 3, 0, 2, 1},
        {"snip-dendrometer.3dmf", 9, 9, 0, 0, 0},
    };
    for (const Expected &e : cases) {
        SCOPED_TRACE(e.file);
        const Built b = build_file(e.file);
        EXPECT_EQ(b.scene.shapes.size(), e.shapes);
        EXPECT_EQ(placed_shapes(b.scene).size(), e.placed);
        EXPECT_EQ(std::ranges::count_if(b.outline, [](const OutlineItem &i) { return i.is_group; }),
                  std::ptrdiff_t(e.groups));
        EXPECT_EQ(b.scene.lights.size(), e.lights);
        EXPECT_EQ(b.scene.viewpoints.size(), e.viewpoints);
    }
}

TEST(scene_builder_corpus, flip_shadow_mesh_is_one_tree_node_drawn_three_times) {
    if (!fs::exists(kCorpus)) GTEST_SKIP();
    const Built b = build_file("q-flip-shadow.3dmf");
    ASSERT_EQ(b.scene.shapes.size(), 3u);
    EXPECT_EQ(b.scene.shapes[0].source, b.scene.shapes[1].source);
    EXPECT_EQ(b.scene.shapes[0].source, b.scene.shapes[2].source);
    // The mirrored one: baked, and its front side follows the Clockwise style and the mirror.
    const auto &mirrored = std::get<FaceSet>(b.scene.shapes[2].geometry);
    const auto &plain = std::get<FaceSet>(b.scene.shapes[0].geometry);
    EXPECT_NE(mirrored.coords.data(), plain.coords.data());
    EXPECT_EQ(mirrored.triangles.data(), plain.triangles.data());
}

}  // namespace
}  // namespace tarvex::builder::test
