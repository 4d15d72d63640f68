// A text file and its binary twin must make the same VRML world.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "binary_writer.h"
#include "builder/scene_builder.h"
#include "conversion/conversion.h"
#include "readers/binary/binary_reader.h"
#include "readers/text/text_parser.h"
#include "test_support.h"
#include "tree_text.h"
#include "writers/vrml97/scene_writer.h"

namespace tarvex::binary {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using tree::ObjectTree;

const fs::path kCorpusText = fs::path(TARVEX_CORPUS_DIR) / "3dmf";
const fs::path kData = fs::path(TARVEX_SOURCE_DIR) / "tests" / "data";

std::string world(ObjectTree &tree) {
    scene::Scene scene;
    tree::Diagnostics diagnostics;
    builder::build_scene(tree, scene, diagnostics);
    return vrml97::write_scene_string(scene);
}

std::string firstDifference(const std::string &a, const std::string &b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const auto at = static_cast<std::size_t>(ia - a.begin());
    const std::size_t line = static_cast<std::size_t>(std::count(a.begin(), ia, '\n')) + 1;
    return "line " + std::to_string(line) + ":\n  text: " + a.substr(at, 80) +
           "\n  twin: " + b.substr(static_cast<std::size_t>(ib - b.begin()), 80);
}

// The names DEF/USE and viewpoint descriptions made from labels are the only difference allowed:
// "DEF name " goes, "USE name" and a description's text become "_" (a name ends at a blank or a
// line end, which goes with a DEF's; a description's text at its closing quote).
std::string withoutNames(const std::string &vrml) {
    struct Name {
        std::string_view mark, with;
        char end;
        std::size_t after;  // how much of the end goes with the name
    };
    static constexpr Name names[] = {{"DEF ", "", ' ', 1},
                                     {"USE ", "USE _", ' ', 0},
                                     {"description \"", "description _", '"', 1}};
    std::string out;
    for (std::size_t i = 0; i < vrml.size();) {
        const auto *n = std::ranges::find_if(names, [&](const Name &name) {
            return vrml.compare(i, name.mark.size(), name.mark) == 0;
        });
        if (n == std::end(names)) {
            out += vrml[i++];
            continue;
        }
        i += n->mark.size();
        while (i < vrml.size() && vrml[i] != n->end && vrml[i] != '\n') ++i;
        out += n->with;
        i += n->after;
    }
    return out;
}

// The whole conversion in full mode, from bytes and to bytes as from a file and to one.
std::string convert(std::string_view bytes, const std::string &name) {
    conversion::Conversion conversion;
    if (conversion.read_bytes(bytes, name, {.full = true}).status != conversion::Status::ok)
        return "failed: " + conversion.result().message;
    std::string vrml;
    return conversion.write_bytes(vrml) == 0 ? vrml : "not written";
}

// In memory, with the text's labels (which binary cannot carry) set aside, the two worlds are
// the same byte for byte; through the whole conversion of both files only the names made from
// labels differ.
TEST(binary_twins, make_the_same_world_as_their_text_files) {
    // Shared or named objects the scene builder writes with DEF only when a label names them: a
    // labelled group becomes a DEF'd Group, a referenced group a USE, where the unlabelled twin
    // gets the plain nodes.
    const std::set<std::string> namedStructure = {"q-fill-style.3dmf", "q-logo-text.3dmf",
                                                  "q-references.3dmf", "shared_tile.3dmf"};
    std::size_t compared = 0;
    std::set<std::string> differing, read;
    // The corpus's text files when it is beside the project, and the project's own always: the
    // hand-made files the measured tests hold to worked figures among them.
    std::vector<fs::path> files = measure::files_in({kCorpusText, kData / "shapes"});
    files.push_back(kData / "three_objects.3dmf");
    for (const fs::path &path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string text = read_file(path);
        ObjectTree a;
        tree::Diagnostics diagnostics;
        text::parse_text(text, a, diagnostics);
        const testing::Twin twin = testing::write_binary(a);
        if (!twin.lossy.empty() || !twin.dropped.empty()) continue;  // no exact twin exists
        read.insert(path.filename().string());
        if (path.parent_path() == kCorpusText) ++compared;
        ObjectTree b;
        ASSERT_TRUE(read_binary(twin.bytes, b, diagnostics).ok);
        for (std::uint32_t n = 0; n < a.node_count(); ++n)
            if (!a.label_of(n).empty()) a.set_label(n, "");
        const std::string textWorld = world(a), twinWorld = world(b);
        EXPECT_EQ(textWorld == twinWorld, true) << firstDifference(textWorld, twinWorld);

        const std::string textFile = withoutNames(convert(text, path.string()));
        const std::string twinFile = withoutNames(convert(
            {reinterpret_cast<const char *>(twin.bytes.data()), twin.bytes.size()}, "twin"));
        ASSERT_EQ(textFile.rfind("failed", 0), std::string::npos) << textFile;
        ASSERT_EQ(twinFile.rfind("failed", 0), std::string::npos) << twinFile;
        if (textFile != twinFile) differing.insert(path.filename().string());
        if (namedStructure.count(path.filename().string()) == 0) {
            EXPECT_EQ(textFile == twinFile, true) << firstDifference(textFile, twinFile);
        }
    }
    // The corpus's 43 text files but the five whose point lights no binary field holds.
    if (fs::is_directory(kCorpusText)) {
        EXPECT_GE(compared, 38u);
    }
    // Empty quadrics are size 0 in binary: their twins must take the same default frame.
    for (const char *name :
         {"default_cylinder.3dmf", "default_cone.3dmf", "default_disk.3dmf", "default_ellipse.3dmf",
          "default_torus.3dmf", "polyline_colours.3dmf", "trimesh_triangle_uvs.3dmf"})
        EXPECT_EQ(read.count(name), 1u) << name;
    // Without the corpus beside the project, those of the project's own files.
    std::set<std::string> expected;
    for (const std::string &name : namedStructure)
        if (fs::is_directory(kCorpusText) || read.count(name) != 0) expected.insert(name);
    EXPECT_EQ(differing, expected);
}

}  // namespace
}  // namespace tarvex::binary
