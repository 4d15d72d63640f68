// Which format tarvex writes: by the output's extension or --format, the new formats always
// from full mode, the default mode's VRML untouched, a bad name refused before anything is
// written, and a batch's outputs named for their format.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/format.h"
#include "tests/console/console_run.h"

namespace {

namespace fs = std::filesystem;
using tarvex::conversion::Format;
using tarvex_test::read_file;

// A box in a group the default mode does not read into: only full mode draws it.
const std::string kBoxInContainer =
    "3DMetafile ( 1 6 Normal toc> )\n"
    "Container ( Box ( 0 2 0  0 0 1  3 0 0  0 0 0 ) DiffuseColor ( 1 0 0 ) )\n";

using format_option = tarvex_test::ConsoleRun;

TEST(format, NamesAndExtensions) {
    using tarvex::conversion::format_from_file_name;
    using tarvex::conversion::format_from_name;
    EXPECT_EQ(format_from_name("gltf"), Format::gltf);
    EXPECT_EQ(format_from_name("x3d"), Format::x3d);
    EXPECT_EQ(format_from_name("GLB"), std::nullopt);
    EXPECT_EQ(format_from_name("wrl"), std::nullopt);
    EXPECT_EQ(format_from_file_name("a/b.GLTF"), Format::gltf);
    EXPECT_EQ(format_from_file_name("b.wrl"), Format::vrml97);
    EXPECT_EQ(format_from_file_name(".glb"), std::nullopt);  // a name, not an extension
    EXPECT_EQ(format_from_file_name("stdout"), std::nullopt);
    EXPECT_EQ(tarvex::conversion::extension_of(Format::glb), ".glb");
}

// The option wins over the extension; the new formats read in full, so the box inside the
// container is there; the default mode's world is the same by extension and by name.
TEST_F(format_option, ExtensionOrOptionPicksTheFormatAndBadNamesAreRefused) {
    const std::string in = file("box.3dmf", kBoxInContainer);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"box.glb"}, "glTF"},
        {{"box.x3d"}, "<?xml"},
        {{"box.gltf"}, "{"},
        {{"--format=glb", "odd.wrl"}, "glTF"},
        {{"plain.wrl"}, "#VRML V2.0 utf8"},
        {{"--format=vrml", "named.wrl"}, "#VRML V2.0 utf8"}};
    for (const auto &[args, start] : cases) {
        std::vector<std::string> all = args;
        all.insert(all.end() - 1, in);
        all.back() = path(all.back()).string();
        ASSERT_EQ(run(all), 0) << err_;
        EXPECT_TRUE(read_file(all.back()).starts_with(start)) << all.back();
    }
    EXPECT_NE(read_file(path("box.x3d")).find("<IndexedFaceSet"), std::string::npos);
    EXPECT_EQ(read_file(path("named.wrl")), read_file(path("plain.wrl")));

    // A bad name is refused before anything is written; a batch's outputs take the format's
    // extension.
    EXPECT_EQ(run({"--format=obj", in, path("out.glb").string()}), 1);
    EXPECT_NE(err_.find("Bad format for --format: \"obj\""), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(path("out.glb")));
    ASSERT_EQ(run({"--format=x3d", "--out-dir=" + path("out").string(), in}), 0) << err_;
    EXPECT_TRUE(fs::exists(path("out/box.x3d")));
    EXPECT_FALSE(fs::exists(path("out/box.wrl")));
}

}  // namespace
