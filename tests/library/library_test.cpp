// The public interface: bytes and files give the same output in both modes and every format,
// full-mode conversions run at once on several threads, failures say what the program says,
// and the scene view is what the file holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "tarvex/tarvex.h"

namespace {

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::string kShapes = TARVEX_SOURCE_DIR "/tests/data/shapes/";

tarvex::Options options(tarvex::Mode mode, tarvex::Format format) {
    tarvex::Options o;
    o.mode = mode;
    o.format = format;
    return o;
}

class library : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(out_); }
    // A name of this test's own: the cases run side by side in separate processes, and each
    // removes its file at the end.
    const std::string out_ = ::testing::TempDir() + "tarvex_library_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                             std::to_string(std::random_device{}());
};

TEST_F(library, bytes_and_files_give_the_same_output) {
    using tarvex::Format;
    using tarvex::Mode;
    const std::string scene = TARVEX_SOURCE_DIR "/examples/scene.3dmf";
    const struct {
        std::string input;
        Mode mode;
        Format format;
    } cases[] = {{scene, Mode::default_mode, Format::vrml},
                 {scene, Mode::full, Format::vrml},
                 {kShapes + "shared_tile.3dmf", Mode::full, Format::x3d},
                 {kShapes + "trimesh_triangle_uvs.3dmf", Mode::full, Format::gltf},
                 {kShapes + "grids_and_patch.3dmf", Mode::full, Format::glb}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        if (!tarvex::format_available(c.format)) continue;  // a build without glTF
        const tarvex::Options o = options(c.mode, c.format);
        const tarvex::Result toFile = tarvex::convert_file_to_file(c.input, out_, o);
        ASSERT_TRUE(toFile.ok()) << toFile.message;
        std::string fromBytes, fromFile;
        EXPECT_TRUE(tarvex::convert_bytes(read_file(c.input), fromBytes, o).ok());
        EXPECT_TRUE(tarvex::convert_file(c.input, fromFile, o).ok());
        EXPECT_EQ(fromBytes, read_file(out_));
        EXPECT_EQ(fromFile, read_file(out_));
        EXPECT_GT(fromBytes.size(), 100u);
    }
}

TEST_F(library, full_mode_conversions_run_at_once) {
    const std::string inputs[2] = {read_file(kShapes + "grids_and_patch.3dmf"),
                                   read_file(kShapes + "trimesh_triangle_uvs.3dmf")};
    const tarvex::Format formats[2] = {
        tarvex::format_available(tarvex::Format::glb) ? tarvex::Format::glb : tarvex::Format::x3d,
        tarvex::Format::vrml};
    std::string alone[2], together[2][3];
    for (int i = 0; i < 2; ++i)
        tarvex::convert_bytes(inputs[i], alone[i], options(tarvex::Mode::full, formats[i]));
    std::thread threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = std::thread([&, i] {
            for (std::string &out : together[i])
                tarvex::convert_bytes(inputs[i], out, options(tarvex::Mode::full, formats[i]));
        });
    }
    for (std::thread &thread : threads) thread.join();
    for (int i = 0; i < 2; ++i) {
        for (const std::string &out : together[i]) EXPECT_EQ(out, alone[i]);
    }
}

TEST_F(library, failures_say_what_the_program_says) {
    using S = tarvex::Status;
    const struct {
        std::string input;  // bytes, or a file name after '@'
        tarvex::Mode mode;
        S status;
        std::string message;
    } cases[] = {
        {"#VRML V2.0 utf8\n", tarvex::Mode::full, S::not_3dmf,
         "input is not a 3DMF file (it looks like a VRML world)"},
        {"", tarvex::Mode::default_mode, S::incomplete, "input empty!"},
        {"@/nonexistent/a.3dmf", tarvex::Mode::full, S::cant_open,
         "Can't open /nonexistent/a.3dmf!"},
        {"3DMetafile ( 1 6 Normal toc> )\nBox ( 1 2", tarvex::Mode::full, S::incomplete,
         "input:2: expected ')' to close the Box opened on line 2, found the end of the file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        std::string out;
        const tarvex::Options o = options(c.mode, tarvex::Format::vrml);
        const tarvex::Result r = c.input.starts_with('@')
                                     ? tarvex::convert_file(c.input.substr(1), out, o)
                                     : tarvex::convert_bytes(c.input, out, o);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.message, c.message);
    }
}

TEST_F(library, the_scene_view_holds_what_the_file_does) {
    tarvex::Scene scene;
    ASSERT_TRUE(tarvex::read_scene_file(kShapes + "shared_tile.3dmf", scene).ok());
    // A triangle drawn where it stands and three times by reference: the three share a mesh.
    ASSERT_EQ(scene.meshes.size(), 2u);
    EXPECT_EQ(scene.meshes[1].indices.size(), 3u);
    std::vector<int> placed(2);
    for (std::uint32_t n = 0; n < scene.nodes.size(); ++n) {
        if (scene.nodes[n].mesh < 2) ++placed[scene.nodes[n].mesh];
        for (const std::uint32_t child : scene.nodes[n].children)
            EXPECT_EQ(scene.nodes[child].parent, n);
    }
    EXPECT_EQ(placed, (std::vector<int>{1, 3}));

    ASSERT_TRUE(tarvex::read_scene_file(kShapes + "trimesh_triangle_uvs.3dmf", scene).ok());
    ASSERT_EQ(scene.textures.size(), 1u);
    EXPECT_EQ(scene.textures[0].rgba, (std::vector<std::uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
    EXPECT_EQ(scene.materials.at(scene.meshes.at(0).material).texture, 0u);

    ASSERT_TRUE(tarvex::read_scene_file(kShapes + "lights_and_camera.3dmf", scene).ok());
    ASSERT_EQ(scene.cameras.size(), 1u);
    EXPECT_EQ(scene.cameras[0].position[2], 5.0f);
    ASSERT_EQ(scene.lights.size(), 2u);
    EXPECT_EQ(scene.lights[0].kind, tarvex::Light::Kind::ambient);
}

}  // namespace
