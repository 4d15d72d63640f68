// The X3D writer: every document is well-formed XML (xmllint), keeps the VRML world's DEF/USE
// sharing, and loads in an X3D browser (X_ITE under Node) with the VRML world's triangles and
// shapes, on our own files and every real one.
#include "writers/x3d/x3d_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/conversion.h"
#include "node_tools.h"
#include "vrml_measure.h"
#include "writers/vrml97/scene_writer.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEX_SOURCE_DIR;
const fs::path kCorpus = TARVEX_CORPUS_DIR;

tarvex::conversion::Options fullMode() {
    tarvex::conversion::Options options;
    options.full = true;
    return options;
}

std::vector<fs::path> inputs() {
    std::vector<fs::path> files;
    for (const fs::path &folder :
         {kSource / "tests/data/shapes", kSource / "tests/writers/gltf/data", kCorpus / "3dmf",
          kCorpus / "3dmf-binary"}) {
        if (!fs::is_directory(folder)) continue;
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    files.push_back(kSource / "examples/scene.3dmf");
    return files;
}

std::size_t occurrences(const std::string &text, const std::string &word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

// Both outputs of every input, written into a folder of their own.
class X3dOutputs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = fs::temp_directory_path() / ("tarvex-x3d-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        for (const fs::path &file : inputs()) {
            tarvex::conversion::Conversion conversion;
            conversion.read(file.string(), fullMode());
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
    std::size_t checked = 0, triangles = 0;
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
        ++checked;
    }
    EXPECT_EQ(checked, outputs_.size());
    EXPECT_GT(triangles, 0u);
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
