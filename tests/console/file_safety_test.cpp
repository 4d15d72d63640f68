// Nothing the user had is destroyed: not by a missing input, not by naming the input or another
// 3DMF file as the output, not by a write that fails or is interrupted part-way.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "core/convert.h"
#include "core/output_file.h"
#include "tests/console/console_run.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;
using tarvex_test::data_file;
using tarvex_test::kBinaryHeader;
using tarvex_test::kScene;
using tarvex_test::read_file;

using file_safety = tarvex_test::ConsoleRun;

// The empty world of an input that cannot be opened goes only where it destroys nothing.
TEST_F(file_safety, an_input_that_cannot_be_opened_leaves_an_existing_output_alone) {
    const std::string old = file("old.wrl", "#VRML V2.0 utf8\n# the user's own world\n");
    const auto before = files();
    for (const bool full : {false, true}) {
        for (const std::string &input : {std::string("-v"), path("missing.3dmf").string()}) {
            std::vector<std::string> args{input, old};
            if (full) args.insert(args.begin(), "--full");
            // What it says: console_messages.failures_give_the_systems_reason.
            EXPECT_EQ(run(args), 1) << input;
            EXPECT_EQ(files(), before) << input;
        }
    }
    // A new file still receives the empty world, as before.
    EXPECT_EQ(run({"-v", path("new.wrl").string()}), 1);
    std::string world = read_file(path("new.wrl"));
    std::erase(world, '\r');  // Windows writes its own line ends
    EXPECT_EQ(world, data_file("empty_scene.wrl"));
}

// The input itself, under any name, and any file that begins like a 3DMF file, text or binary,
// is refused before anything is read; the reason follows only for a person at a terminal.
TEST_F(file_safety, the_input_and_other_3dmf_files_are_never_written_over) {
    const std::string input = file("scene.3dmf", kScene);
    const std::string other = file("other.3dmf", kScene);
    const std::string commented = file("commented.q3d", "# made by hand\n\n  " + kScene);
    const std::string binary = file("binary.3dmf", kBinaryHeader);
    // What the readers take for 3DMF, though it does not begin with the header (the rest of what
    // they take: console_messages.one_test_says_what_is_3dmf).
    const std::string licence = file("licence.wrl", std::string(5000, '\n') + "# end\n" + kScene);
    const std::string fragment = file("fragment.x3d", "cube: TriMesh ( 1 0 0 0 3 0 )\n");
    fs::create_directory(path("sub"));
#if !defined(_WIN32)
    fs::create_symlink("../scene.3dmf", path("sub/link.wrl"));
    fs::create_hard_link(input, path("hard.wrl"));
#endif
    const auto before = files();
    const std::vector<std::vector<std::string>> refused {
        {input, input}, {input, path("sub/../scene.3dmf").string()}, {"--full", input, input},
            {input, other}, {"--full", input, other},  // `tarvex --full *.3dmf` in a folder of two
            {input, commented}, {binary, binary}, {input, binary}, {input, licence},
            {"--format=glb", input, fragment}, {"--format=x3d", input, fragment},
#if !defined(_WIN32)
            {input, path("sub/link.wrl").string()}, {input, path("hard.wrl").string()},
#endif
    };
    for (const auto &args : refused) {
        SCOPED_TRACE(args.back());
        EXPECT_EQ(run(args), 1);
        EXPECT_EQ(err_, "Error writing to " + args.back() + "\n");
        EXPECT_EQ(files(), before);
    }
    EXPECT_EQ(run({input, input}, true), 1);
    EXPECT_EQ(err_, "Error writing to " + input +
                        "\n  it is the input file itself, which the conversion would destroy\n");
    // The library's own writers refuse a 3DMF file too, whoever calls them.
    ASSERT_EQ(tarvex::read_in(input), tarvex::CNV_OK);
    EXPECT_EQ(tarvex::write_out(other), 1);
    EXPECT_EQ(files(), before);
    // A file that merely mentions the header further in is an ordinary output.
    const std::string notes = file("notes.txt", "see 3DMetafile ( 1 6 Normal toc> )\n");
    EXPECT_EQ(run({input, notes}), 0);
    EXPECT_TRUE(read_file(notes).starts_with("#VRML V2.0 utf8"));
}

#if !defined(_WIN32)

// A file name too long to carry the temporary's suffix still gets a temporary.
TEST_F(file_safety, a_long_output_name_is_replaced_whole) {
    const std::string input = file("scene.3dmf", kScene);
    const std::string name = path(std::string(240, 'w') + ".wrl").string();
    tarvex_test::write_file(name, "old");
    EXPECT_EQ(run({input, name}), 0);
    EXPECT_TRUE(read_file(name).starts_with("#VRML V2.0 utf8\n"));
    EXPECT_EQ(files().size(), 2u);
}

// Runs `body` in a child process and returns its wait status.
template <class Body>
int inChild(Body body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Where no temporary can be made beside a file, the file is not written in place: a failure
// part-way would leave it truncated. Root may write anywhere, so the write runs as nobody.
TEST_F(file_safety, no_temporary_beside_a_file_means_no_write) {
    ASSERT_EQ(tarvex::read_in(file("scene.3dmf", kScene)), tarvex::CNV_OK);
    fs::create_directory(path("locked"));
    const std::string target = file("locked/world.wrl", "old");
    fs::permissions(target, fs::perms::all);
    fs::permissions(path("locked"), fs::perms(0555));
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    const int status = inChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
        if (access(path("locked").c_str(), W_OK) == 0) return 3;  // the directory must refuse
        return tarvex::write_out(target);
    });
    fs::permissions(path("locked"), fs::perms::owner_all);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(path("locked")), {}), 1);
}

// A batch run by a user to whom a folder above is closed (so that no name has a canonical form)
// still names its outputs and ends; a file or folder it cannot read is a failure it names.
TEST_F(file_safety, a_batch_under_a_closed_folder_ends_and_names_what_it_cannot_read) {
    fs::create_directories(path("closed/work/in/sub"));
    for (const char *name :
         {"in/a.3dmf", "in/unreadable.3dm", "in/unreadable.png", "in/sub/c.3dmf"})
        file(std::string("closed/work/") + name, kScene);
    for (const char *name : {"", "/in", "/in/a.3dmf"})
        fs::permissions(path(std::string("closed/work") + name), fs::perms::all);
    for (const char *name : {"/in/sub", "/in/unreadable.3dm", "/in/unreadable.png"})
        fs::permissions(path(std::string("closed/work") + name), fs::perms::none);
    fs::permissions(path("closed"), fs::perms::owner_all);
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    const int status = inChild([&] {
        alarm(60);  // a search for a free name that never ends fails here
        if (chdir(path("closed/work").c_str()) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            return 2;
        std::ostringstream out, err;
        const std::vector<std::string> args{"--jobs=1", "--out-dir=out", "in"};
        const int ran = tarvex::run_tarvex(args, out, err, false);
        tarvex_test::write_file("said", err.str());
        return ran;
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(
        read_file(path("closed/work/said")),
        "Can't search the folder in/sub\n  Permission denied\n"
        "Can't open in/unreadable.3dm!\n  Permission denied\n"
        "1 converted, 0 with warnings, 2 failed\nfailed: in/sub\nfailed: in/unreadable.3dm\n");
    EXPECT_TRUE(fs::is_regular_file(path("closed/work/out/a.wrl")));
}

// The temporary is never more readable than the file it replaces, and an interrupted run leaves
// neither it nor a changed file behind, however many files it was writing.
TEST_F(file_safety, the_temporary_keeps_the_files_privacy_and_goes_on_a_signal) {
    const std::string target = file("private.wrl", "secret");
    fs::create_directory(path("more"));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            // As a new program would be, whatever the test runner ignores; and never left waiting.
            for (const int reset : {SIGINT, SIGTERM, SIGHUP}) std::signal(reset, SIG_DFL);
            alarm(60);
            std::vector<std::unique_ptr<tarvex::OutputFile>> more;
            for (int i = 0; i < 100; ++i)
                more.push_back(std::make_unique<tarvex::OutputFile>(
                    path("more/" + std::to_string(i) + ".wrl").string(), true));
            tarvex::OutputFile output(target, true);
            if (!output.stream() || std::fputs("partial world", output.stream()) < 0 ||
                std::fflush(output.stream()) != 0)
                _exit(2);
            if (write(ready[1], "x", 1) != 1) _exit(3);
            for (;;) pause();
        }
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        close(ready[1]);
        const auto during = files();
        ASSERT_EQ(during.size(), 102u);
        for (const auto &[name, bytes] : during) {
            if (name == "private.wrl" || name.starts_with("more/")) continue;
            EXPECT_TRUE(name.starts_with(".private.wrl.tarvex-")) << name;
            EXPECT_EQ(bytes, "partial world");
            EXPECT_EQ(fs::status(path(name)).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(files(), (std::map<std::string, std::string>{{"private.wrl", "secret"}}));
    }
}

#endif

}  // namespace
