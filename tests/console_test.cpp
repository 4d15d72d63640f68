#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>

#include "console/command_line.h"
#include "console/console_app.h"
#include "tests/core_test_support.h"

using tarvex_test::data_file;
using tarvex_test::read_file;
using tarvex_test::write_file;

namespace {

class console : public tarvex_test::TempDirTest {
  protected:
    // As a new process would: with an empty scene store.
    int run(const std::vector<std::string> &args) {
        tarvex::clean_up();
        std::ostringstream out, err;
        const int status = tarvex::run_tarvex(args, out, err);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    // Runs the real program through the shell; `redirections` may use {in}, {out} and {err}.
    int shell(const std::string &arguments, const std::string &redirections = "") {
        const std::string command = std::string(TARVEX_EXE) + " " + arguments + " " + redirections +
                                    " > " + out() + " 2> " + errPath();
        const int status = std::system(command.c_str());
        err_ = read_file(errPath());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errPath() const { return path("err.txt").string(); }
    std::string input() const { return file("in.3dmf", data_file("three_objects.3dmf")); }
    std::string out() const { return path("out.wrl").string(); }
    std::string out_, err_;
};

const std::string kProgress = "cube:  1 triangles 3 points 0 edges\n";

TEST_F(console, help_and_too_many_arguments_print_the_usage_and_touch_nothing) {
    const std::string o = out();
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"-h"}, 0}, {{"-?x", "in", o}, 0}, {{"-hx", "in", o, "x"}, 0}, {{"in", o, "x"}, 1}};
    for (const auto &[args, status] : cases) {
        EXPECT_EQ(run(args), status) << args[0];
        EXPECT_EQ(err_, "usage: tarvex [3dmffile] [wrlfile]\n");
        EXPECT_EQ(out_, "");
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

// The real program reads standard input and writes standard output by default, by name and as
// "-"; after "--" a "-" still means them, as for other Unix tools.
TEST_F(console, the_program_uses_the_standard_streams) {
    for (const char *arguments : {"", "stdin stdout", "-", "- -", "-- - -", "- stdout"}) {
        EXPECT_EQ(shell(arguments, "< " + input()), 0) << arguments;
        EXPECT_EQ(err_, kProgress) << arguments;
        EXPECT_EQ(read_file(out()), data_file("three_objects.wrl")) << arguments;
    }
    EXPECT_EQ(shell("stdin stdout", "< /dev/null"), 1);
    EXPECT_EQ(err_, "stdin empty!\n");
    EXPECT_EQ(read_file(out()), data_file("empty_scene.wrl"));
}

// The options: --help and --version answer on standard output, wherever they stand before "--";
// an unknown one is refused without touching any file; "--" lets a name begin with "--" or "-h".
TEST_F(console, options_are_told_apart_from_file_names) {
    const std::string o = out();
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(out_.starts_with("usage: tarvex [3dmffile] [wrlfile]\n  --help ")) << out_;
    for (const char *line : {"\n  --version ", "\n  --  ", "\n  -  "}) {
        EXPECT_NE(out_.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(err_, "");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--version"}, {input(), o, "--version"}, {"-h", "--version"}}) {
        EXPECT_EQ(run(args), 0);
        EXPECT_TRUE(std::regex_match(out_, std::regex("tarvex [0-9]+\\.[0-9]+\\.[0-9]+\n")))
            << out_;
        EXPECT_EQ(err_, "");
    }
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--x"}, {input(), o, "--x"}, {"--x", "--help"}, {"--h"}}) {
        EXPECT_EQ(run(args), 1);
        EXPECT_EQ(err_,
                  "Unknown option " + args[args.size() == 3 ? 2 : 0] + "!\n" + tarvex::help_text());
        EXPECT_EQ(out_, "");
    }
    EXPECT_FALSE(std::filesystem::exists(o));

    // Names as typed, relative to the working directory.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    write_file("--x", data_file("three_objects.3dmf"));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--", "--x", o}, ""}, {{"./--x", o}, ""}, {{"--", "-h", o}, "Can't open -h!\n"}};
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(run(args), message.empty() ? 0 : 1) << args[0];
        EXPECT_EQ(err_, message.empty() ? kProgress : message);
        EXPECT_EQ(read_file(o),
                  data_file(message.empty() ? "three_objects.wrl" : "empty_scene.wrl"));
    }
    std::filesystem::current_path(before);
}

#if defined(__GLIBC__)
// Standard input that gives `text` and then fails as a broken disk does.
std::FILE *failingAfter(const std::string &text) {
    struct Source {
        std::string text;
        std::size_t at = 0;
    };
    cookie_io_functions_t io{};
    io.read = [](void *cookie, char *buffer, std::size_t size) -> ssize_t {
        Source &source = *static_cast<Source *>(cookie);
        if (source.at == source.text.size()) {
            errno = EIO;
            return -1;
        }
        const std::size_t n = std::min(size, source.text.size() - source.at);
        std::memcpy(buffer, source.text.data() + source.at, n);
        source.at += n;
        return static_cast<ssize_t>(n);
    };
    io.close = [](void *cookie) {
        delete static_cast<Source *>(cookie);
        return 0;
    };
    return fopencookie(new Source{text}, "r", io);
}
#endif

// A read that fails is no end of file: what came before is written and the failure reported.
TEST_F(console, a_read_error_is_reported_and_what_was_read_is_written) {
    // A directory as standard input fails at the first read.
    EXPECT_EQ(shell("- " + out(), "< " + dir_.string()), 1);
    EXPECT_EQ(err_, "Error reading stdin!\n");
    EXPECT_EQ(read_file(out()), data_file("empty_scene.wrl"));
#if defined(__GLIBC__)
    std::FILE *const standardInput = stdin;
    stdin = failingAfter(data_file("three_objects.3dmf"));
    ASSERT_NE(stdin, nullptr);
    EXPECT_EQ(run({"-", out()}), 1);
    std::fclose(stdin);
    stdin = standardInput;
    EXPECT_EQ(err_, kProgress + "Error reading stdin!\n");
    EXPECT_EQ(read_file(out()), data_file("three_objects.wrl"));
#endif
}

}  // namespace
