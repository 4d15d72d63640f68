// Which format tarvex writes: by the output's extension or --format, the new formats always
// from full mode, the default mode's VRML untouched, a bad name refused before anything is
// written, and a batch's outputs named for their format.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "conversion/format.h"
#include "tests/core/core_test_support.h"

namespace {

namespace fs = std::filesystem;
using tarvex::conversion::Format;
using tarvex_test::read_file;

// A box in a group the default mode does not read into: only full mode draws it.
const std::string kBoxInContainer =
    "3DMetafile ( 1 6 Normal toc> )\n"
    "Container ( Box ( 0 2 0  0 0 1  3 0 0  0 0 0 ) DiffuseColor ( 1 0 0 ) )\n";

class format_option : public tarvex_test::TempDirTest {
  protected:
    int run(const std::vector<std::string> &args) {
        std::ostringstream out, err;
        const int status = tarvex::run_tarvex(args, out, err, false);
        err_ = err.str();
        return status;
    }
    std::string err_;
};

TEST(format, NamesAndExtensions) {
    using tarvex::conversion::format_from_file_name;
    using tarvex::conversion::format_from_name;
    EXPECT_EQ(format_from_name("glb"), Format::glb);
    EXPECT_EQ(format_from_name("gltf"), Format::gltf);
    EXPECT_EQ(format_from_name("x3d"), Format::x3d);
    EXPECT_EQ(format_from_name("GLB"), std::nullopt);
    EXPECT_EQ(format_from_name("wrl"), std::nullopt);
    EXPECT_EQ(format_from_file_name("a/b.GLTF"), Format::gltf);
    EXPECT_EQ(format_from_file_name("b.glb"), Format::glb);
    EXPECT_EQ(format_from_file_name("b.x3d"), Format::x3d);
    EXPECT_EQ(format_from_file_name("b.wrl"), Format::vrml97);
    EXPECT_EQ(format_from_file_name(".glb"), std::nullopt);  // a name, not an extension
    EXPECT_EQ(format_from_file_name("stdout"), std::nullopt);
    EXPECT_EQ(tarvex::conversion::extension_of(Format::glb), ".glb");
}

TEST_F(format_option, ExtensionOrOptionPicksTheFormat) {
    const std::string in = file("box.3dmf", kBoxInContainer);
    ASSERT_EQ(run({in, path("box.glb").string()}), 0) << err_;
    EXPECT_EQ(read_file(path("box.glb")).substr(0, 4), "glTF");
    ASSERT_EQ(run({in, path("box.x3d").string()}), 0) << err_;
    EXPECT_EQ(read_file(path("box.x3d")).substr(0, 5), "<?xml");
    ASSERT_EQ(run({in, path("box.gltf").string()}), 0) << err_;
    EXPECT_EQ(read_file(path("box.gltf")).substr(0, 1), "{");
    // The option wins over the extension.
    ASSERT_EQ(run({"--format=glb", in, path("odd.wrl").string()}), 0) << err_;
    EXPECT_EQ(read_file(path("odd.wrl")).substr(0, 4), "glTF");
    // The new formats read in full: the box inside the container is there.
    EXPECT_NE(read_file(path("box.x3d")).find("<IndexedFaceSet"), std::string::npos);
}

TEST_F(format_option, DefaultModeStaysVrml) {
    const std::string in = file("box.3dmf", kBoxInContainer);
    ASSERT_EQ(run({in, path("plain.wrl").string()}), 0) << err_;
    const std::string plain = read_file(path("plain.wrl"));
    EXPECT_EQ(plain.substr(0, 15), "#VRML V2.0 utf8");
    ASSERT_EQ(run({"--format=vrml", in, path("named.wrl").string()}), 0) << err_;
    EXPECT_EQ(read_file(path("named.wrl")), plain);
}

TEST_F(format_option, BadFormatIsRefusedBeforeWriting) {
    const std::string in = file("box.3dmf", kBoxInContainer);
    EXPECT_EQ(run({"--format=obj", in, path("out.glb").string()}), 1);
    EXPECT_NE(err_.find("Bad format for --format: \"obj\""), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(path("out.glb")));
}

TEST_F(format_option, BatchOutputsTakeTheFormatsExtension) {
    const std::string in = file("box.3dmf", kBoxInContainer);
    ASSERT_EQ(run({"--format=x3d", "--out-dir=" + path("out").string(), in}), 0) << err_;
    EXPECT_TRUE(fs::exists(path("out/box.x3d")));
    EXPECT_FALSE(fs::exists(path("out/box.wrl")));
}

}  // namespace
