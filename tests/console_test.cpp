#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "console/console_app.h"
#include "tests/core_test_support.h"

using tarvex_test::data_file;
using tarvex_test::read_file;

namespace {

class console : public tarvex_test::TempDirTest {
  protected:
    int run(const std::vector<std::string> &args) {
        std::ostringstream err;
        const int status = tarvex::run_tarvex(args, err);
        err_ = err.str();
        return status;
    }
    std::string input() const { return file("in.3dmf", data_file("three_objects.3dmf")); }
    std::string out() const { return path("out.wrl").string(); }
    std::string err_;
};

const std::string kProgress = "cube:  1 triangles 3 points 0 edges\n";

TEST_F(console, help_and_too_many_arguments_print_the_usage_and_touch_nothing) {
    const std::string o = out();
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"-h"}, 0}, {{"-?x", "in", o}, 0}, {{"-hx", "in", o, "x"}, 0}, {{"in", o, "x"}, 1}};
    for (const auto &[args, status] : cases) {
        EXPECT_EQ(run(args), status) << args[0];
        EXPECT_EQ(err_, "usage: tarvex [3dmffile] [wrlfile]\n");
        EXPECT_FALSE(std::filesystem::exists(o));
    }
}

// A conversion reports each mesh and writes the world, or says that it could not.
TEST_F(console, conversion_reports_each_mesh_and_writes_the_world) {
    EXPECT_EQ(run({input(), out()}), 0);
    EXPECT_EQ(err_, kProgress);
    EXPECT_EQ(read_file(out()), data_file("three_objects.wrl"));
    for (const std::string &target : {path("no/such/out.wrl").string(), std::string("/dev/full")}) {
        EXPECT_EQ(run({input(), target}), 1);
        EXPECT_EQ(err_, kProgress + "Error writing to " + target + "\n");
    }
}

// An input that cannot be opened gives an empty world (only "-h" and "-?" are options); what was
// read before a failure is still written.
TEST_F(console, read_failures_are_reported_and_what_was_read_is_written) {
    for (const std::string &in : {path("missing.3dmf").string(), std::string("-x")}) {
        EXPECT_EQ(run({in, out()}), 1);
        EXPECT_EQ(err_, "Can't open " + in + "!\n");
        EXPECT_EQ(read_file(out()), data_file("empty_scene.wrl"));
    }
    const std::pair<std::string, std::string> cases[] = {
        {"TriMesh ( x", "Bad triangle mesh spec in "},
        {"TriMesh ( 0 0 0 0 -1 0", "Error allocating memory in "},
        {"TriMesh ( 1 0 0 0 0 0 x", "Bad coordinate index data in "},
        {"TriMesh ( 0 0 0 0 1 0 x", "Bad coordinate data in "},
        {"TriMesh ( 0 0 0 0 0 0 ) DiffuseColor ( x", "Bad color data in "},
        {"ForwardDirection ( x", "Bad forward direction data in "},
        {"CameraPlacement ( x", "Bad viewpoint data in "},
        {"DirectionalLight ( x", "Bad light data in "}};
    for (const auto &[input, message] : cases) {
        const std::string in = file("in.3dmf", "ok: TriMesh ( 0 0 0 0 0 0 ) " + input);
        EXPECT_EQ(run({in, out()}), 1);
        EXPECT_TRUE(err_.starts_with("ok:  0 triangles 0 points 0 edges\n")) << err_;
        EXPECT_TRUE(err_.ends_with("\n" + message + in + "!\n")) << err_;
        EXPECT_NE(read_file(out()).find("DEF ok Shape {"), std::string::npos);
    }
}

// The real program reads standard input and writes standard output by default and by name.
TEST_F(console, the_program_uses_the_standard_streams) {
    const std::string streams = " > " + out() + " 2> " + path("err.txt").string();
    EXPECT_EQ(std::system((TARVEX_EXE " < " + input() + streams).c_str()), 0);
    EXPECT_EQ(read_file(path("err.txt")), kProgress);
    EXPECT_EQ(read_file(out()), data_file("three_objects.wrl"));
    const int status = std::system((TARVEX_EXE " stdin stdout < /dev/null" + streams).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(read_file(path("err.txt")), "stdin empty!\n");
    EXPECT_EQ(read_file(out()), data_file("empty_scene.wrl"));
}

}  // namespace
