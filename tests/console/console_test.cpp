#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "console/command_line.h"
#include "console/message_texts.h"
#include "conversion/format.h"
#include "core/result_codes.h"
#include "tarvex/version.h"
#include "tests/console/console_run.h"

#if defined(_WIN32)
#include "core/file_names.h"
#else
#include <sys/wait.h>
#endif

using tarvex_test::data_file;
using tarvex_test::kProgress;
using tarvex_test::kScene;
using tarvex_test::read_file;
using tarvex_test::write_file;

namespace {

// The console program writes text: line ends are the platform's.
#if defined(_WIN32)
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

std::string withLineEnds(std::string text, const std::string &lineEnd) {
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos;
         at += lineEnd.size()) {
        text.replace(at, 1, lineEnd);
    }
    return text;
}

// A golden VRML file as the console program writes it on this platform.
std::string world(const std::string &name) {
    return withLineEnds(data_file(name), kLineEnd);
}

std::string utf8(const std::filesystem::path &path) {
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char *>(text.data()), text.size()};
}

class console : public tarvex_test::ConsoleRun {
  protected:
    // Runs the real program through the system's shell with standard input from `in` (none when
    // empty), standard output to out() and standard error to err_ (with LF line ends).
    int shell(const std::vector<std::string> &args, const std::string &in = "") {
        std::string command;
        const auto add = [&](const char *before, const std::string &word) {
            command.append(before).append(kQuote).append(word).append(kQuote);
        };
        add("", kProgram);
        for (const std::string &arg : args) add(" ", arg);
        if (!in.empty()) add(" < ", in);
        add(" > ", out());
        add(" 2> ", errPath());
#if defined(_WIN32)
        // cmd takes off the first and the last quote of a command line that starts with one.
        const int status = _wsystem(tarvex::wide_from_utf8(kQuote + command + kQuote).c_str());
        err_ = withLineEnds(read_file(errPath()), "\n");
        std::erase(err_, '\r');
        return status;
#else
        const int status = std::system(command.c_str());
        err_ = read_file(errPath());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }
#if defined(_WIN32)
    const std::string kQuote = "\"";
    const std::string kProgram = utf8(std::filesystem::absolute(TARVEX_EXE).make_preferred());
    const std::string kNullDevice = "NUL";
#else
    const std::string kQuote = "'";
    const std::string kProgram = TARVEX_EXE;
    const std::string kNullDevice = "/dev/null";
#endif
    std::string errPath() const {
        return path("err.txt").string();
    }
    std::string input() const {
        return file("in.3dmf", kScene);
    }
};

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

// glTF is written where the build has it, and refused by name where it has not (the Windows
// build): never a VRML world under a .glb name.
TEST_F(console, gltf_is_written_or_refused_by_name) {
    const std::string glb = path("scene.glb").string();
    if (tarvex::conversion::format_available(tarvex::conversion::Format::glb)) {
        EXPECT_EQ(run({input(), glb}), 0) << err_;
        EXPECT_EQ(read_file(glb).substr(0, 4), "glTF");
    } else {
        EXPECT_EQ(run({input(), glb}), 1);
        EXPECT_EQ(err_, "This build of tarvex writes no glTF: " + glb + " is not written\n");
        EXPECT_FALSE(std::filesystem::exists(glb));
    }
}

// What was read before a failure is still written.
TEST_F(console, read_failures_are_reported_and_what_was_read_is_written) {
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
    const std::vector<std::string> cases[] = {{},         {"stdin", "stdout"}, {"-"},
                                              {"-", "-"}, {"--", "-", "-"},    {"-", "stdout"}};
    for (const std::vector<std::string> &args : cases) {
        EXPECT_EQ(shell(args, input()), 0) << args.size();
        EXPECT_EQ(err_, kProgress) << args.size();
        EXPECT_EQ(read_file(out()), world("three_objects.wrl")) << args.size();
    }
    // The bytes looked at to tell binary from text go back in their order: an input whose first
    // object starts at its first byte loses nothing.
    EXPECT_EQ(shell({}, file("headless.3dmf", kScene.substr(kScene.find('\n') + 1))), 0);
    EXPECT_EQ(err_, kProgress);
    EXPECT_EQ(read_file(out()), world("three_objects.wrl"));
    // Binary goes to full mode, whole; a script is told nothing of what the default mode skips.
    EXPECT_EQ(shell({}, file("triangle.3dmf", tarvex_test::binary_triangle())), 0);
    EXPECT_EQ(err_, "");
    EXPECT_NE(read_file(out()).find("IndexedFaceSet"), std::string::npos);
    const std::string box = file("box.3dmf", kScene + "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n");
    EXPECT_EQ(shell({box, path("box.wrl").string()}), 0);
    EXPECT_EQ(err_, kProgress);

    EXPECT_EQ(shell({"stdin", "stdout"}, kNullDevice), 1);
    EXPECT_EQ(err_, "stdin empty!\n");
    EXPECT_EQ(read_file(out()), world("empty_scene.wrl"));
}

// The options: --help and --version answer on standard output, wherever they stand before "--";
// an unknown one (or one with a value it does not take, or without the one it needs) is refused
// without touching any file; "--" lets a name begin with "--" or "-h".
TEST_F(console, options_are_told_apart_from_file_names) {
    const std::string o = out();
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(out_.starts_with("usage: tarvex [3dmffile] [wrlfile]\n")) << out_;
    for (const char *line : {"\n  --help ", "\n  --version ", "\n  --  ", "\n  -  ", " .glb "}) {
        EXPECT_NE(out_.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(err_, "");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--version"}, {input(), o, "--version"}, {"-h", "--version"}}) {
        EXPECT_EQ(run(args), 0);
        EXPECT_EQ(out_, "tarvex " TARVEX_VERSION "\n");
        EXPECT_EQ(err_, "");
    }
    const std::vector<std::string> unknown[] = {
        {"--x"}, {input(), o, "--x"},       {"--x", "--help"},
        {"--h"}, {"--max-output", input()}, {"--full=yes", input()}};
    for (const std::vector<std::string> &args : unknown) {
        EXPECT_EQ(run(args), 1);
        EXPECT_EQ(err_,
                  "Unknown option " + args[args.size() == 3 ? 2 : 0] + "!\n" + tarvex::help_text());
        EXPECT_EQ(out_, "");
    }
    EXPECT_FALSE(std::filesystem::exists(o));

    // Names as typed, relative to the working directory.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    write_file("--x", kScene);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--", "--x", o}, ""}, {{"./--x", o}, ""}, {{"--", "-h", o}, "Can't open -h!\n"}};
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(run(args), message.empty() ? 0 : 1) << args[0];
        EXPECT_EQ(err_, message.empty() ? kProgress : message);
        // An input that cannot be opened leaves the world already there as it was.
        EXPECT_EQ(read_file(o), world("three_objects.wrl"));
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
#if defined(__GLIBC__)
    // A directory as standard input fails at the first read.
    EXPECT_EQ(shell({"-", out()}, dir_.string()), 1);
    EXPECT_EQ(err_, "Error reading stdin!\n");
    EXPECT_EQ(read_file(out()), world("empty_scene.wrl"));

    const auto failingStdin = [&](std::vector<std::string> args) {
        std::FILE *const standardInput = stdin;
        stdin = failingAfter(kScene);
        ASSERT_NE(stdin, nullptr);
        EXPECT_EQ(run(args), 1);
        std::fclose(stdin);
        stdin = standardInput;
    };
    failingStdin({"-", out()});
    EXPECT_EQ(err_, kProgress + "Error reading stdin!\n");
    EXPECT_EQ(read_file(out()), world("three_objects.wrl"));

    // Full mode takes standard input whole before reading it, and must see the failure too.
    failingStdin({"--full", "-", out()});
    EXPECT_TRUE(err_.starts_with("Error reading stdin!\n")) << err_;
    EXPECT_NE(read_file(out()).find("DEF cube"), std::string::npos);
#endif
}

// Names with blanks and letters beyond ASCII reach the files intact from the real command line.
TEST_F(console, file_names_with_blanks_and_any_letters_work) {
    const std::filesystem::path folder = dir_ / std::filesystem::path(u8"a folder with blanks");
    std::filesystem::create_directory(folder);
    const std::filesystem::path in = folder / std::filesystem::path(u8"Größe ø 日本 scène.3dmf");
    const std::filesystem::path target = folder / std::filesystem::path(u8"Ausgabe ü 世界.wrl");
    write_file(in, kScene);
    EXPECT_EQ(shell({utf8(in), utf8(target)}), 0);
    EXPECT_EQ(err_, kProgress);
    EXPECT_EQ(read_file(target), world("three_objects.wrl"));
    // Nothing but the two files: the temporary written first is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

// The manual's DIAGNOSTICS has an entry for every message the program words, and for every
// message of the reader: the headings of its entries, italic parts read as "%s".
TEST(manual, lists_every_message) {
    std::istringstream page(data_file("../../man/tarvex.1"));
    std::set<std::string> entries;
    bool inDiagnostics = false;
    for (std::string line; std::getline(page, line);) {
        if (line.starts_with(".SH")) inDiagnostics = line == ".SH DIAGNOSTICS";
        const std::size_t blank = line.find(' ');
        const std::string macro = line.substr(0, blank);
        if (!inDiagnostics || blank == std::string::npos || macro.size() < 2 || macro.size() > 3 ||
            macro.find_first_not_of(".BIR") != std::string::npos)
            continue;
        // The words, quotes holding blanks together, alternate between the macro's two fonts,
        // or are all in its one font with blanks between them.
        std::vector<std::string> words(1);
        bool quoted = false;
        for (const char c : line.substr(blank + 1)) {
            if (c == '"') quoted = !quoted;
            if (c == ' ' && !quoted && !words.back().empty()) words.emplace_back();
            if (c != '"' && (c != ' ' || quoted)) words.back() += c;
        }
        std::string shown;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (macro.size() == 2 && i > 0) shown += ' ';
            shown += macro[1 + i % (macro.size() - 1)] == 'I' ? "%s" : words[i];
        }
        for (const auto &[escape, meant] :
             {std::pair{"\\-", "-"}, {"\\(dq", "\""}, {"\\(rs", "\\"}})
            for (std::size_t at; (at = shown.find(escape)) != std::string::npos;)
                shown.replace(at, std::strlen(escape), meant);
        entries.insert(shown);
    }
    for (int id = 0; id < static_cast<int>(tarvex::Text::count); ++id) {
        const std::string_view format = tarvex::text_format(static_cast<tarvex::Text>(id));
        EXPECT_TRUE(entries.contains(std::string(format.substr(format.find_first_not_of(' ')))))
            << format;
    }
    for (int code = 1; !tarvex::read_result_message(code, "%s").empty(); ++code)
        EXPECT_TRUE(entries.contains(tarvex::read_result_message(code, "%s"))) << code;
}

#if defined(_WIN32)
// Standard input is read in binary mode: in text mode a Ctrl-Z byte would end it early and the
// meshes after it would be lost. The world goes out with CR LF, as the platform's text does.
TEST_F(console, standard_input_is_binary_and_the_world_is_text) {
    const std::string in =
        file("ctrl-z.3dmf", "# \x1a stops text-mode reads\r\n" + withLineEnds(kScene, "\r\n"));
    EXPECT_EQ(shell({}, in), 0);
    EXPECT_EQ(err_, kProgress);
    const std::string written = read_file(out());
    EXPECT_EQ(written, withLineEnds(data_file("three_objects.wrl"), "\r\n"));
    EXPECT_EQ(written.find("\r\r"), std::string::npos);
}
#endif

}  // namespace
