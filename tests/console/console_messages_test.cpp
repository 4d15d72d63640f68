// What the console program tells a person beyond the classic messages: the hint where the
// default mode skipped objects, the refusal of input that is not 3DMF, the reasons for failures,
// and bytes from the input that must not reach a terminal raw. Scripts see the classic text.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "console/messages.h"
#include "core/recognise_3dmf.h"
#include "tests/console/console_run.h"
#include "tree/object_type.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif
#if defined(__linux__)
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;
using tarvex_test::kBinaryHeader;
using tarvex_test::kProgress;
using tarvex_test::kScene;
using tarvex_test::read_file;

const std::string kUsage = "usage: tarvex [3dmffile] [wrlfile]\n";

using console_messages = tarvex_test::ConsoleRun;

// The default mode reads triangle meshes only; a person is told what else the file held and how
// to get it, a script sees exactly the classic output, and the world is the same either way.
TEST_F(console_messages, the_skip_hint_is_for_a_terminal_only) {
    const std::string in = file("mixed.3dmf", kScene +
                                                  "Polygon ( 3 0 0 0 1 0 0 0 1 0 )\n"
                                                  "Container ( Polygon ( 3 0 0 0 1 0 0 0 1 1 ) )\n"
                                                  "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n"
                                                  "DiffuseColor ( 1 0 0 )\n");
    EXPECT_EQ(run({in, out()}, false), 0);
    EXPECT_EQ(err_, kProgress);
    const std::string world = read_file(out());
    EXPECT_EQ(run({in, out()}, true), 0);
    EXPECT_EQ(err_, kProgress +
                        "hint: the default mode skipped 3 objects (2 Polygon, 1 Box); tarvex "
                        "--full converts them\n");
    EXPECT_EQ(read_file(out()), world);

    // After a failure the hint still follows the message. (Nothing skipped that draws, no hint:
    // messages_escape_what_a_terminal_would_act_on.)
    const std::string cut = file("cut.3dmf", "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\nTriMesh ( x");
    EXPECT_EQ(run({cut, out()}, true), 1);
    EXPECT_EQ(err_, "Bad triangle mesh spec in " + cut +
                        "!\nhint: the default mode skipped 1 object (1 Box); tarvex --full "
                        "converts them\n");

    // Many kinds: the first few by count, the rest together, still one line.
    std::string many = kScene;
    for (const char *object : {"Point ( 0 0 0 )", "Point ( 1 0 0 )", "Line ( 0 0 0 1 1 1 )",
                               "Ellipsoid ( )", "Torus ( )", "Cone ( )", "Disk ( )"})
        many += std::string(object) + "\n";
    EXPECT_EQ(run({file("many.3dmf", many), out()}, true), 0);
    EXPECT_EQ(err_, kProgress +
                        "hint: the default mode skipped 7 objects (2 Point, 1 Line, 1 Ellipsoid, "
                        "1 Disk, 2 of other kinds); tarvex --full converts them\n");
}

#if defined(__linux__)
// The real program with standard error on a pseudo-terminal and standard output thrown away:
// what the terminal showed, without the carriage returns the terminal adds.
std::string onTerminal(std::vector<std::string> args, int &status, bool outputToo = false) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (!outputToo) dup2(null, STDOUT_FILENO);
        args.insert(args.begin(), TARVEX_EXE);
        std::vector<char *> argv;
        for (std::string &arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(TARVEX_EXE, argv.data());
        _exit(127);
    }
    std::string seen;
    if (child < 0) return seen;
    char buffer[4096];
    // The read fails (EIO) once the program has ended and the terminal is closed.
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) seen.append(buffer, got);
    int wait = 0;
    waitpid(child, &wait, 0);
    close(terminal);
    status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    std::erase(seen, '\r');
    return seen;
}

// The program itself finds out that a person reads its standard error: hints, and worlds that
// would mislead, are named on a terminal; a script gets the classic bytes, and the world and the
// exit status are the same either way.
TEST_F(console_messages, the_real_program_tells_a_person_more_on_a_terminal) {
    const std::string box = file("box.3dmf", kScene + "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n");
    const std::string png = file("x.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const std::string mesh = file("m.3dmf", kScene), obj = path("out.obj").string();
    const std::string empty = file("e.3dmf", "3DMetafile ( 1 6 Normal toc> )\nMesh ( 0 0 0 )\n");
    const struct {
        std::vector<std::string> args;
        std::string person;  // what a terminal shows after what a script sees
    } cases[] = {
        {{box, out()},
         "hint: the default mode skipped 1 object (1 Box); tarvex --full converts them\n"},
        {{png, out()}, png + " is not a 3DMF file (it looks like a PNG image)\n"},
        {{mesh, obj},
         obj + " holds a VRML 97 world: tarvex writes no .obj files (only .wrl, .x3d, .gltf and "
               ".glb)\n"},
        {{"--full", empty},
         "hint: tarvex --full --verbose " + empty + " " + empty.substr(0, empty.size() - 5) +
             ".wrl lists each one with its place\n"},
    };
    for (const auto &[args, person] : cases) {
        std::vector<std::string> inProcess = args;
        // In-process, a world on standard output would close the test's own.
        if (args.back().ends_with(".3dmf")) inProcess.push_back(out());
        const int scripted = run(inProcess, false);
        const std::string script = err_;
        int status = -1;
        std::string seen = onTerminal(args, status);
        const std::size_t at = seen.find(person);
        ASSERT_NE(at, std::string::npos) << seen;
        EXPECT_EQ(seen.erase(at, person.size()), script);
        EXPECT_EQ(status, scripted);
    }
    // A binary asset is not written to a terminal.
    int status = -1;
    EXPECT_EQ(onTerminal({"--format=glb", box}, status, true),
              "glb output is binary and is not written to a terminal: name an output file\n");
    EXPECT_EQ(status, 1);
    // Full mode warns of an empty world wherever it goes.
    EXPECT_EQ(run({"--full", empty, out()}, false), 0);
    EXPECT_EQ(err_, empty + ":2: Mesh is empty: nothing to draw\n" + empty +
                        ":1: nothing drawable in the file: the world is empty\n2 warnings\n");
}
#endif

// Full mode's summary line names neither the file nor --verbose: a person gets the command.
TEST_F(console_messages, the_summary_points_to_verbose_on_a_terminal_only) {
    const std::string in =
        file("skips.3dmf", "3DMetafile ( 1 6 Normal toc> )\nFrobnicator ( 1 2 3 )\nBox ( )\n");
    EXPECT_EQ(run({"--full", in, out()}, false), 0);
    EXPECT_EQ(err_, "skipped: 1 Frobnicator\n");
    EXPECT_EQ(run({"--full", in, out()}, true), 0);
    EXPECT_EQ(err_, "skipped: 1 Frobnicator\nhint: tarvex --full --verbose " + in + " " + out() +
                        " lists each one with its place\n");
    EXPECT_EQ(run({"--full", "--verbose", in, out()}, true), 0);
    EXPECT_EQ(err_, in + ":2: skipped Frobnicator\nskipped: 1 Frobnicator\n");
    // Nothing to sum up, nothing to point to.
    EXPECT_EQ(run({"--full", file("clean.3dmf", "Box ( )\n"), out()}, true), 0);
    EXPECT_EQ(err_, "");
}

// Full mode takes 3DMF by its header, or a headerless fragment by an object it knows at its
// start; anything else is refused with what it looks like, and no world is written.
TEST_F(console_messages, full_mode_refuses_what_is_not_3dmf) {
    const std::pair<std::string, std::string> refused[] = {
        {"#VRML V2.0 utf8\nGroup { children [] }\n", " (it looks like a VRML world)"},
        {"hello (world)\n", ""},
    };
    for (const auto &[bytes, looks] : refused) {
        const std::string in = file("in.dat", bytes);
        EXPECT_EQ(run({"--full", in, out()}, false), 1) << bytes;
        EXPECT_EQ(err_, in + " is not a 3DMF file" + looks + "\n");
        EXPECT_FALSE(fs::exists(out()));
    }
    // Which text is 3DMF is one_test_says_what_is_3dmf's (and batch's, which looks alike).
    for (const std::string &bytes : {kScene, kBinaryHeader}) {
        EXPECT_EQ(run({"--full", file("in.dat", bytes), out()}, false), 0) << bytes << err_;
        EXPECT_TRUE(fs::exists(out()));
        fs::remove(out());
    }
    // The classic empty-file message stays; the default mode still reads anything as before.
    const std::string empty = file("empty.3dmf", "");
    EXPECT_EQ(run({"--full", empty, out()}, false), 1);
    EXPECT_EQ(err_, empty + " empty!\n");
    EXPECT_EQ(run({file("in.dat", "#VRML V2.0 utf8\n"), out()}, false), 0);
    EXPECT_EQ(err_, "");
}

// Control bytes and bytes that are not UTF-8 are shown as \xNN; valid UTF-8 passes unchanged.
TEST_F(console_messages, messages_escape_what_a_terminal_would_act_on) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.3dmf\twith tab", "plain name.3dmf\twith tab"},
        {"Größe 日本 \xF0\x9F\x98\x80", "Größe 日本 \xF0\x9F\x98\x80"},
        {"\x89PNG\r\n\x1a", "\\x89PNG\\x0d\\x0a\\x1a"},
        {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
        {"overlong \xC0\xAF, surrogate \xED\xA0\x80, cut \xE6\x97",
         "overlong \\xc0\\xaf, surrogate \\xed\\xa0\\x80, cut \\xe6\\x97"},
        {"beyond \xF4\x90\x80\x80, lone \x80", "beyond \\xf4\\x90\\x80\\x80, lone \\x80"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"csi \xC2\x9B"
         "31m osc \xC2\x9D, nbsp \xC2\xA0",
         "csi \\xc2\\x9b31m osc \\xc2\\x9d, nbsp \xC2\xA0"},
    };
    for (const auto &[raw, shown] : cases) EXPECT_EQ(tarvex::escape_for_terminal(raw), shown);

    // The default mode's line per mesh: escaped for a person, the bytes as read for a script.
    const std::string label = "red\x1b[31m\xC2\x9B";
    const std::string mesh = file("esc.3dmf", label + ": " + kScene.substr(kScene.find("TriMesh")));
    const std::string line = ":  1 triangles 3 points 0 edges\n";
    EXPECT_EQ(run({mesh, out()}, true), 0);
    EXPECT_EQ(err_, "red\\x1b[31m\\xc2\\x9b" + line);
    EXPECT_EQ(run({mesh, out()}, false), 0);
    EXPECT_EQ(err_, label + line);

#if !defined(_WIN32)
    // A name and a token from the input, as full mode prints them.
    const std::string name = path("bell\x07name.3dmf").string();
    tarvex_test::write_file(name, "3DMetafile ( 1 6 Normal toc> )\nFrob\x1b]0;x\x07 ( 1 )\n");
    EXPECT_EQ(run({"--full", "--verbose", name, out()}, false), 0);
    EXPECT_EQ(err_.find('\x1b'), std::string::npos) << err_;
    EXPECT_EQ(err_.find('\x07'), std::string::npos) << err_;
    EXPECT_NE(err_.find("bell\\x07name.3dmf:2: "), std::string::npos) << err_;
#endif
}

// Full mode and every new message say why; the default mode's classic lines stay exact and
// get their reason on a line of its own only on a terminal.
TEST_F(console_messages, failures_give_the_systems_reason) {
    const std::string missing = path("missing.3dmf").string();
    const std::string folder = path("folder.3dmf").string();
    fs::create_directory(folder);
    const std::string in = file("in.3dmf", kScene);
    const std::string clean = file("clean.3dmf", "3DMetafile ( 1 6 Normal toc> )\nBox ( )\n");
    const std::string noFolder = path("no/such/out.wrl").string();
    const std::string noSuch = "  No such file or directory\n", aFolder = "  it is a directory\n";
    // Full mode gives the reason to anyone; the default mode only to a person.
    std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
        {{"--full", missing, out()}, "Can't open " + missing + "!\n", noSuch},
        {{"--full", folder, out()}, "Can't open " + folder + "!\n", aFolder},
        {{missing, out()}, "Can't open " + missing + "!\n", noSuch},
        {{folder, out()}, "Can't open " + folder + "!\n", aFolder},
        {{"--full", clean, noFolder}, "Error writing to " + noFolder + "\n", noSuch},
        {{in, noFolder}, kProgress + "Error writing to " + noFolder + "\n", noSuch},
    };
#if !defined(_WIN32)
    cases.push_back({{in, "/dev/full"},
                     kProgress + "Error writing to /dev/full\n",
                     "  No space left on device\n"});
    if (geteuid() != 0) {  // root reads whatever it likes
        const std::string locked = file("locked.3dmf", kScene);
        fs::permissions(locked, fs::perms::none);
        cases.push_back(
            {{"--full", locked, out()}, "Can't open " + locked + "!\n", "  Permission denied\n"});
    }
#endif
    for (const bool terminal : {false, true})
        for (const auto &[args, said, reason] : cases) {
            EXPECT_EQ(run(args, terminal), 1) << args[0];
            EXPECT_EQ(err_, said + (terminal || args[0] == "--full" ? reason : ""));
        }
}

// --verbose says nothing in the default mode, so it is refused there rather than ignored; too
// many names get the classic usage line, and a person is told what was wrong.
TEST_F(console_messages, options_that_cannot_work_say_so) {
    const std::string in = file("in.3dmf", kScene);
    EXPECT_EQ(run({"--verbose", in, out()}, false), 1);
    EXPECT_EQ(err_, "--verbose lists full mode's warnings, and " + in +
                        " would be read in the default mode: add --full\n");
    EXPECT_FALSE(fs::exists(out()));
    // Where it can work (binary, or --full): full_console's cases, the summary's.

    EXPECT_EQ(run({in, out(), "third"}, true), 1);
    EXPECT_EQ(err_, kUsage +
                        "  too many file names: tarvex converts one 3DMF file into one VRML file; "
                        "--out-dir=DIR converts many\n");
}

// What is 3DMF: after anything the text reader skips, the header word, the binary header, or an
// object type's name (after a label) followed by "(". Other formats, and text that merely
// mentions a type, are not.
TEST_F(console_messages, one_test_says_what_is_3dmf) {
    const std::string licence = [] {
        std::string text;
        while (text.size() < 5 * 1024) text += "# Permission is granted to anyone to use this\r\n";
        return text;
    }();
    const std::pair<std::string, bool> cases[] = {
        {"3DMetafile ( 1 6 Normal toc> )", true},
        {"\f3DMetafile ( 1 6 Normal toc> )", true},
        {",\x01\x1b\t3DMetafile", true},
        {"3dmetafile ( 1 6 Normal toc> )", true},
        {licence + "3DMetafile ( 1 6 Normal toc> )", true},
        {"#" + std::string(10000, 'x') + "\n3DMETAFILE", true},
        {std::string("# a\0b\n\0 3DMetafile", 18), true},
        {std::string("3DMF\0\0\0\x10", 8), true},
        {"TriMesh ( 1 0 0 0 3 0 )", true},
        {"cube: TriMesh (", true},
        {"cube:TriMesh(", true},
        {"# c\r# d\rtrimesh (", true},
        {"Box # the unit box\n (", true},
        {std::string(tarvex::Recognise3dmf::kLookedAtMost, ' ') + "anything", true},
        {"#VRML V2.0 utf8\nGroup { children [ ] }\n", false},
        {"#VRML V2.0 utf8\nDirectionalLight { direction 0 0 -1 }\n", false},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<X3D profile=\"Interchange\">", false},
        {R"({"asset":{"version":"2.0"},"scenes":[]})", false},
        {std::string("glTF\x02\0\0\0", 8), false},
        {"\x89PNG\r\n\x1a\n", false},
        {"TriMesh is the mesh type we read.\n", false},
        {"TriMesh", false},
        {"# TriMesh (", false},
        {"cube: Hello (", false},
        {"1 TriMesh (", false},
        {"3DM", false},
        {"", false},
    };
    for (const auto &[bytes, expected] : cases) {
        EXPECT_EQ(tarvex::is_3dmf(bytes), expected) << bytes.substr(0, 60);
        // Files are looked at in pieces: a verdict never depends on where one ends.
        tarvex::Recognise3dmf byByte;
        for (const char c : bytes) byByte.feed(std::string_view(&c, 1));
        EXPECT_EQ(byByte.finish() == tarvex::Recognise3dmf::Verdict::yes, expected)
            << bytes.substr(0, 60);
    }
    // The default mode's list of names is the readers' own.
    for (auto type = std::size_t(1); type < std::size_t(tarvex::tree::ObjectType::Count); ++type)
        EXPECT_TRUE(tarvex::is_3dmf_type_name(
            tarvex::tree::type_name(static_cast<tarvex::tree::ObjectType>(type))))
            << type;
}

}  // namespace
