#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "tests/core_test_support.h"

using tarvex_test::data_file;
using tarvex_test::read_file;

namespace {

const std::string kUsage = "usage: tarvex [3dmffile] [wrlfile]\n";

class console : public tarvex_test::TempDirTest {
protected:
    int run(const std::vector<std::string> &args) {
        std::ostringstream err;
        const int status = tarvex::run_tarvex(args, err);
        err_ = err.str();
        return status;
    }
    // Runs the real program through the shell; `redirections` name files in the test directory.
    int shell(const std::string &args, const std::string &redirections) {
        const std::string command = "cd '" + dir_.string() + "' && '" TARVEX_EXE "' " + args + " " +
                                    redirections + " 2> err.txt";
        const int raw = std::system(command.c_str());
        err_ = read_file(path("err.txt"));
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string input() const { return file("in.3dmf", data_file("three_objects.3dmf")); }
    std::string err_;
};

const std::string kProgress = "cube:  1 triangles 3 points 0 edges\n";

TEST_F(console, help_and_too_many_arguments_print_usage_and_touch_nothing) {
    const std::string out = path("out.wrl").string();
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"-h"}, 0}, {{"-?"}, 0}, {{"-hx", input(), out}, 0}, {{"-?x", input(), out, "more"}, 0},
        {{input(), out, "extra"}, 1}};
    for (const auto &[args, status] : cases) {
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(run(args), status);
        EXPECT_EQ(err_, kUsage);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(console, conversion_reports_each_mesh_and_writes_the_world) {
    // Paths longer than any fixed buffer work in full.
    std::filesystem::path deep = dir_;
    for (char c : {'a', 'b', 'c', 'd'}) deep /= std::string(150, c);
    std::filesystem::create_directories(deep);
    for (const std::filesystem::path &where : {dir_, deep}) {
        const std::string in = (where / "in.3dmf").string(), out = (where / "out.wrl").string();
        tarvex_test::write_file(in, data_file("three_objects.3dmf"));
        EXPECT_EQ(run({in, out}), 0);
        EXPECT_EQ(err_, kProgress);
        EXPECT_EQ(read_file(out), data_file("three_objects.wrl"));
    }
}

TEST_F(console, unopenable_input_still_writes_the_empty_world_and_fails) {
    const std::string out = path("out.wrl").string();
    // Only "-h" and "-?" are options; "-x" is an input name.
    for (const std::string &in : {path("missing.3dmf").string(), std::string("-x"), dir_.string(),
                                  path(std::string(600, 'm')).string()}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(run({in, out}), 1);
        EXPECT_EQ(err_, "Can't open " + in + "!\n");
        EXPECT_EQ(read_file(out), data_file("empty_scene.wrl"));
    }
}

struct ReadFailure {
    std::string input;
    std::string err;  // "%s" stands for the input path
};

TEST_F(console, read_errors_are_reported_and_what_was_read_is_written) {
    const std::string ok = "ok: TriMesh ( 0 0 0 0 0 0 ) DiffuseColor ( 1 1 1 )\n";
    const std::string okLine = "ok:  0 triangles 0 points 0 edges\n";
    const ReadFailure cases[] = {
        {ok + "TriMesh ( x", okLine + "Bad triangle mesh spec in %s!\n"},
        {ok + "TriMesh ( 0 0 0 0 -1 0", okLine + "Error allocating memory in %s!\n"},
        {ok + "TriMesh ( 1 0 0 0 0 0 x",
         okLine + "(no name): 1 triangles 0 points 0 edges\nBad coordinate index data in %s!\n"},
        {ok + "TriMesh ( 0 0 0 0 1 0 x",
         okLine + "(no name): 0 triangles 1 points 0 edges\nBad coordinate data in %s!\n"},
        {"", "%s empty!\n"},
        {ok + "TriMesh ( 0 0 0 0 0 0 ) DiffuseColor ( x",
         okLine + "(no name): 0 triangles 0 points 0 edges\nBad color data in %s!\n"},
        {ok + "ForwardDirection ( x", okLine + "Bad forward direction data in %s!\n"},
        {ok + "CameraPlacement ( x", okLine + "Bad viewpoint data in %s!\n"},
        {ok + "DirectionalLight ( x", okLine + "Bad light data in %s!\n"},
    };
    const std::string out = path("out.wrl").string();
    for (const ReadFailure &c : cases) {
        SCOPED_TRACE(c.err);
        const std::string in = file("in.3dmf", c.input);
        std::string expectedErr = c.err;
        expectedErr.replace(expectedErr.find("%s"), 2, in);
        EXPECT_EQ(run({in, out}), 1);
        EXPECT_EQ(err_, expectedErr);
        const std::string written = read_file(out);
        EXPECT_EQ(written.rfind("#VRML V2.0 utf8\n", 0), 0u);
        EXPECT_EQ(written.find("DEF ok Shape {") != std::string::npos, !c.input.empty());
    }
}

TEST_F(console, unwritable_output_fails_with_a_message) {
    for (const std::string &out : {path("no/such/out.wrl").string(), std::string("/dev/full")}) {
        SCOPED_TRACE(out);
        EXPECT_EQ(run({input(), out}), 1);
        EXPECT_EQ(err_, kProgress + "Error writing to " + out + "\n");
    }
}

TEST_F(console, standard_streams_by_default_and_by_name) {
    input();
    EXPECT_EQ(shell("", "< in.3dmf > out.wrl"), 0);
    EXPECT_EQ(err_, kProgress);
    EXPECT_EQ(read_file(path("out.wrl")), data_file("three_objects.wrl"));

    EXPECT_EQ(shell("in.3dmf", "> out1.wrl"), 0);
    EXPECT_EQ(read_file(path("out1.wrl")), data_file("three_objects.wrl"));

    // Files literally named stdin and stdout cannot be addressed: the names mean the streams.
    file("stdin", "TriMesh ( x");
    EXPECT_EQ(shell("stdin stdout", "< in.3dmf > out2.wrl"), 0);
    EXPECT_EQ(err_, kProgress);
    EXPECT_EQ(read_file(path("out2.wrl")), data_file("three_objects.wrl"));
    EXPECT_FALSE(std::filesystem::exists(path("stdout")));

    EXPECT_EQ(shell("./stdin ./stdout", "< /dev/null"), 1);
    EXPECT_EQ(err_, "Bad triangle mesh spec in ./stdin!\n");
    EXPECT_EQ(read_file(path("stdout")), data_file("empty_scene.wrl"));

    EXPECT_EQ(shell("", "< /dev/null > out.wrl"), 1);
    EXPECT_EQ(err_, "stdin empty!\n");
    EXPECT_EQ(read_file(path("out.wrl")), data_file("empty_scene.wrl"));

    input();
    EXPECT_EQ(shell("in.3dmf", "> /dev/full"), 1);
    EXPECT_EQ(err_, kProgress + "Error writing to stdout\n");
}

}  // namespace
