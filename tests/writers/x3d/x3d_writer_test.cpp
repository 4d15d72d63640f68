// The X3D writer: every document is well-formed XML (xmllint), keeps the VRML world's DEF/USE
// sharing, and loads in an X3D browser (X_ITE under Node) with the VRML world's triangles and
// shapes, on our own files and every real one.
#include "writers/x3d/x3d_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/conversion.h"
#include "node_tools.h"
#include "test_support.h"
#include "vrml_measure.h"
#include "writers/vrml97/scene_writer.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEX_SOURCE_DIR;
const fs::path kCorpus = TARVEX_CORPUS_DIR;

const tarvex::conversion::Options kFullMode{.full = true};

using tarvex::measure::occurrences;

// Both outputs of every input, written into a folder of their own.
class X3dOutputs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = fs::temp_directory_path() / ("tarvex-x3d-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        std::vector<fs::path> files = tarvex::measure::own_files(kSource);
        for (const fs::path &file : tarvex::measure::corpus_files(kCorpus)) files.push_back(file);
        for (const fs::path &file : files) {
            tarvex::conversion::Conversion conversion;
            conversion.read(file.string(), kFullMode);
            Output out;
            out.name = file.filename().string();
            out.vrml = tarvex::vrml97::write_scene_string(conversion.scene());
            out.x3d = tarvex::x3d::write_x3d_string(conversion.scene());
            out.path = (folder_ / (out.name + ".x3d")).string();
            std::ofstream(out.path, std::ios::binary) << out.x3d;
            outputs_.push_back(std::move(out));
        }
    }
    static void TearDownTestSuite() { fs::remove_all(folder_); }

    struct Output {
        std::string name, vrml, x3d, path;
    };
    static inline fs::path folder_;
    static inline std::vector<Output> outputs_;
};

TEST_F(X3dOutputs, KeepTheVrmlWorldsSharing) {
    ASSERT_GT(outputs_.size(), 10u);
    std::size_t shared = 0;
    for (const Output &out : outputs_) {
        SCOPED_TRACE(out.name);
        ASSERT_FALSE(out.x3d.empty());
        EXPECT_EQ(occurrences(out.x3d, " USE='"), occurrences(out.vrml, "USE "));
        EXPECT_EQ(occurrences(out.x3d, " DEF='"), occurrences(out.vrml, "DEF "));
        shared += occurrences(out.x3d, " USE='");
    }
    EXPECT_GT(shared, 0u);  // some file does share, or the comparison says nothing
}

TEST_F(X3dOutputs, AreWellFormedXml) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian: libxml2-utils)";
    std::string command = "xmllint --noout";
    for (const Output &out : outputs_) command.append(" ").append(out.path);
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(X3dOutputs, LoadInAnX3dBrowserWithTheVrmlWorldsTriangles) {
    std::vector<std::string> paths;
    for (const Output &out : outputs_) paths.push_back(out.path);
    const tarvex::test::NodeRun run = tarvex::test::run_node_tool("x3d-triangles.cjs", paths);
    if (run.status == 77) GTEST_SKIP() << run.output;
    ASSERT_EQ(run.status, 0) << run.output;
    std::istringstream lines(run.output);
    std::size_t triangles = 0;
    for (const Output &out : outputs_) {
        SCOPED_TRACE(out.name);
        std::string path;
        std::size_t loadedTriangles = 0, loadedShapes = 0;
        ASSERT_TRUE(lines >> path >> loadedTriangles >> loadedShapes) << run.output;
        ASSERT_EQ(path, out.path);
        const tarvex::measure::Measure vrml = tarvex::measure::measure_vrml(out.vrml);
        EXPECT_EQ(loadedTriangles, vrml.triangles);
        EXPECT_EQ(loadedShapes, vrml.shapes);
        triangles += loadedTriangles;
    }
    EXPECT_GT(triangles, 0u);
}

// Read back by an independent X3D reader (view3dscene's tovrmlx3d, which rewrites it in the
// classic encoding), each document must show what its VRML world shows: where the geometry
// stands, how much surface in which colours, lines, points, lights and viewpoints.
TEST_F(X3dOutputs, ReadBackIndependentlyMeasureAsTheVrmlWorld) {
    if (std::system("command -v tovrmlx3d >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tovrmlx3d is not installed (Debian: view3dscene)";
    using tarvex::measure::Measure;
    for (const Output &out : outputs_) {
        SCOPED_TRACE(out.name);
        const std::string classic = out.path + ".x3dv";
        ASSERT_EQ(std::system(("tovrmlx3d '" + out.path + "' --encoding classic > '" + classic +
                               "' 2>/dev/null")
                                  .c_str()),
                  0);
        // Its header lines are X3D's; the nodes below them are VRML 97's.
        std::ifstream in(classic);
        std::string text = "#VRML V2.0 utf8\n", line;
        while (std::getline(in, line))
            if (line.rfind("#X3D", 0) != 0 && line.rfind("PROFILE", 0) != 0 &&
                line.rfind("META", 0) != 0)
                text.append(line).append("\n");
        const Measure x3d = tarvex::measure::measure_vrml(text);
        const Measure vrml = tarvex::measure::measure_vrml(out.vrml);
        ASSERT_TRUE(x3d.errors.empty()) << x3d.errors.front();
        EXPECT_EQ(
            std::tie(x3d.shapes, x3d.faces, x3d.triangles, x3d.polylines, x3d.points, x3d.lights),
            std::tie(vrml.shapes, vrml.faces, vrml.triangles, vrml.polylines, vrml.points,
                     vrml.lights));
        const auto near = [](double a, double b) {
            return std::abs(a - b) <= 1e-5 * std::max({1.0, std::abs(a), std::abs(b)});
        };
        for (const auto figure : {&Measure::area, &Measure::two_sided_area, &Measure::line_length,
                                  &Measure::light_intensity})
            EXPECT_PRED2(near, x3d.*figure, vrml.*figure);
        const auto nearAll = [&](const auto &a, const auto &b) {
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t k = 0; k < a.size(); ++k) EXPECT_PRED2(near, a[k], b[k]) << k;
        };
        nearAll(x3d.box.min, vrml.box.min);
        nearAll(x3d.box.max, vrml.box.max);
        ASSERT_EQ(x3d.area_by_color.size(), vrml.area_by_color.size());
        for (auto a = x3d.area_by_color.begin(), b = vrml.area_by_color.begin();
             b != vrml.area_by_color.end(); ++a, ++b)
            EXPECT_PRED2(near, a->second, b->second);
        ASSERT_EQ(x3d.point_lights.size(), vrml.point_lights.size());
        for (std::size_t i = 0; i < vrml.point_lights.size(); ++i)
            nearAll(x3d.point_lights[i].location, vrml.point_lights[i].location);
        ASSERT_EQ(x3d.viewpoints.size(), vrml.viewpoints.size());
        for (std::size_t i = 0; i < vrml.viewpoints.size(); ++i) {
            nearAll(x3d.viewpoints[i].position, vrml.viewpoints[i].position);
            nearAll(x3d.viewpoints[i].orientation, vrml.viewpoints[i].orientation);
        }
    }
}

// Names and strings holding XML's own characters are escaped, and control characters that XML
// cannot hold are replaced, so the document stays well-formed.
TEST(X3dText, EscapesWhatXmlReserves) {
    tarvex::scene::Scene scene;
    // A bell, a byte that starts no UTF-8 sequence, a cut-off sequence, a UTF-16 surrogate and
    // U+FFFE, none of which XML holds; and a well-formed e acute, which stays.
    scene.info = {"a \"quoted\" <tag> & 'apostrophe'", std::string("bell\x07"),
                  std::string("\x8f\x9e|\xe2\x82|\xed\xa0\x80|\xef\xbf\xbe|caf\xc3\xa9")};
    tarvex::scene::Viewpoint view;
    view.description = "<&>'\"";
    scene.viewpoints.push_back(view);
    const std::string x3d = tarvex::x3d::write_x3d_string(scene);
    EXPECT_NE(x3d.find("&lt;tag&gt; &amp; &apos;apostrophe&apos;"), std::string::npos) << x3d;
    EXPECT_NE(x3d.find("description='&lt;&amp;&gt;&apos;&quot;'"), std::string::npos) << x3d;
    EXPECT_EQ(x3d.find('\x07'), std::string::npos);
    EXPECT_NE(x3d.find("  |  |   |   |caf\xc3\xa9"), std::string::npos) << x3d;
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) return;
    const fs::path file =
        fs::temp_directory_path() / ("tarvex-escape-" + std::to_string(getpid()) + ".x3d");
    std::ofstream(file, std::ios::binary) << x3d;
    EXPECT_EQ(std::system(("xmllint --noout " + file.string()).c_str()), 0);
    fs::remove(file);
}

}  // namespace
