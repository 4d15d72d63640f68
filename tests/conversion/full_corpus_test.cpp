// Full mode on every real file, text and binary: each converts without failure, every geometry
// object it draws becomes a shape, what the world shows matches what the file says where that
// can be worked out exactly, and the worlds load in two independent VRML 97 readers.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "conversion/conversion.h"
#include "exact_figures.h"
#include "test_support.h"
#include "tests/core/core_test_support.h"
#include "tree/object_type.h"
#include "vrml_measure.h"
#include "writers/vrml97/scene_writer.h"

namespace {

namespace fs = std::filesystem;
using tarvex::tree::ObjectTree;
using tarvex::tree::ObjectType;

const fs::path kCorpus = TARVEX_CORPUS_DIR;

// A mesh that declares no vertices draws nothing, rightly (q-mesh-topoerr0 is one).
bool isEmptyMesh(const ObjectTree &tree, std::uint32_t node) {
    const ObjectTree::Node &n = tree.node(node);
    return n.type == ObjectType::Mesh && n.value_count > 0 && tree.as_integer(n.first_value) == 0;
}

std::string run(const std::string &command) {
    std::string output;
    if (std::FILE *pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> chunk;
        for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;)
            output.append(chunk.data(), got);
        if (pclose(pipe) != 0) output += "\n(exit status not 0)";
    } else {
        output = "cannot run " + command;
    }
    return output;
}

// The world's surface, box and colours against the file's own figures. Areas agree to float
// rounding; the box to a millionth of its size.
void compareWithFile(const std::string &name, const tarvex::measure::Measure &world,
                     const tarvex::test::ExactFigures &file, int &compared, int &colored) {
    const auto lights = [&](const char *kind) {
        const auto it = world.lights.find(kind);
        return it == world.lights.end() ? 0 : it->second;
    };
    EXPECT_EQ(lights("DirectionalLight"), file.directional_lights);
    EXPECT_EQ(lights("PointLight"), file.point_lights);
    EXPECT_EQ(lights("SpotLight"), file.spot_lights);
    EXPECT_EQ(world.viewpoints.size(), file.cameras);
    if (!file.exact) {
        std::printf("%s: area not compared (%s)\n", name.c_str(), file.why_not.c_str());
        return;
    }
    compared += !file.box.empty;
    const double tolerance = 1e-5 * std::max(1.0, file.area);
    EXPECT_NEAR(world.area, file.area, tolerance);
    ASSERT_EQ(world.box.empty, file.box.empty);
    double size = 0;
    for (int k = 0; k < 3; ++k) size = std::max(size, file.box.max[k] - file.box.min[k]);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(world.box.min[k], file.box.min[k], 1e-6 * std::max(1.0, size)) << "axis " << k;
        EXPECT_NEAR(world.box.max[k], file.box.max[k], 1e-6 * std::max(1.0, size)) << "axis " << k;
    }
    if (!file.colors_known) return;
    colored += !file.box.empty;
    EXPECT_EQ(world.area_by_color.size(), file.area_by_color.size());
    for (const auto &[color, area] : file.area_by_color) {
        const auto it = world.area_by_color.find(color);
        const double got = it == world.area_by_color.end() ? 0 : it->second;
        EXPECT_NEAR(got, area, tolerance)
            << "colour " << color[0] << " " << color[1] << " " << color[2];
    }
}

using full_corpus = tarvex_test::TempDirTest;

TEST_F(full_corpus, every_file_converts_and_draws_every_geometry_object) {
    const std::vector<fs::path> files = tarvex::measure::corpus_files(kCorpus);
    if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
    std::vector<fs::path> worlds;
    int compared = 0, colored = 0;
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.filename().string());
        tarvex::conversion::Conversion conversion;
        ASSERT_EQ(conversion.read(file.string(), {.full = true}).status,
                  tarvex::conversion::Status::ok)
            << conversion.result().message;
        const ObjectTree &tree = conversion.tree();
        std::set<std::uint32_t> drawn;
        for (const tarvex::scene::Shape &shape : conversion.scene().shapes) {
            drawn.insert(shape.source);
            EXPECT_FALSE(std::visit([](const auto &g) { return g.coords.empty(); }, shape.geometry))
                << "a shape without points from " << tree.name_of(shape.source);
        }
        for (std::uint32_t node = 0; node < tree.node_count(); ++node) {
            if (!tarvex::tree::is_geometry(tree.node(node).type) || isEmptyMesh(tree, node))
                continue;
            EXPECT_TRUE(drawn.count(node))
                << tree.name_of(node) << " at " << tree.node(node).position << " was not drawn";
        }
        tarvex::vrml97::WriteProblems problems;
        const tarvex::measure::Measure measured = tarvex::measure::measure_vrml(
            tarvex::vrml97::write_scene_string(conversion.scene(), &problems));
        EXPECT_TRUE(measured.errors.empty()) << measured.errors.front();
        // Nothing for the writer to mend: no number that is not finite, no index out of range.
        EXPECT_FALSE(problems.any())
            << problems.non_finite_numbers << " not finite, " << problems.bad_indices
            << " bad indices, " << problems.dropped << " dropped";
        compareWithFile(file.filename().string(), measured, tarvex::test::exact_figures(tree),
                        compared, colored);

        const fs::path world = path(file.filename().string() + ".wrl");
        ASSERT_EQ(conversion.write(world.string()), 0);
        worlds.push_back(world);
    }
    // By the corpus README, 24 files draw only TriMeshes, Boxes, Meshes, Polygons and Triangles,
    // moved by translations, scales and matrices.
    EXPECT_GE(compared, 24) << "files compared with their exact figures";
    std::printf("%d files compared with their exact figures, %d of them by colour\n", compared,
                colored);

#ifdef TARVEX_VRML_CHECK
    std::string all;
    for (const fs::path &world : worlds) all += " '" + world.string() + "'";
    EXPECT_EQ(run(std::string(TARVEX_VRML_CHECK) + all + " 2>&1"), "")
        << "Coin3D did not load every world";
#endif
    if (run("command -v tovrmlx3d").empty()) {
        std::printf("tovrmlx3d is not installed: view3dscene's reader not checked\n");
    } else {
        for (const fs::path &world : worlds)
            EXPECT_EQ(run("tovrmlx3d '" + world.string() + "' 2>&1 >/dev/null"), "")
                << world.filename();
    }
}

}  // namespace
