// tarvex --out-dir=DIR INPUT...: which files a batch finds, where their worlds go, what it says,
// and that each world is the one converting the file alone writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/console/console_run.h"

namespace {

namespace fs = std::filesystem;
using tarvex_test::kBinaryHeader;
using tarvex_test::kScene;
using tarvex_test::read_file;
const std::string kFragment = "camera: CameraPlacement ( 0 0 5  0 0 0  0 1 0 )\n";
const std::string kWithBox = "3DMetafile ( 1 6 Normal toc> )\nBox ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n";
const std::string kSkipsObject = "3DMetafile ( 1 6 Normal toc> )\nFrobnicator ( 1 2 3 )\nBox ( )\n";
const std::string kCutOff = kWithBox + "TriMesh ( 1 0 0 0 3 0\n";

class batch : public tarvex_test::ConsoleRun {
  protected:
    std::string put(const std::string &name, const std::string &bytes) {
        fs::create_directories(path(name).parent_path());
        return file(name, bytes);
    }
    // What converting `input` alone with `options` writes.
    std::string alone(const std::string &input, std::vector<std::string> options = {}) {
        const std::string target = path("alone.wrl").string();
        options.push_back(input);
        options.push_back(target);
        run(options);
        std::string world = read_file(target);
        fs::remove(target);
        return world;
    }
    std::string outDir() const { return path("out").string(); }
};

// A folder is searched below its subfolders for 3DMF files, whatever their names; each world
// keeps its place below the folder and is the one the file gives alone. A file named like 3DMF
// that is not is a failure; other files are passed over.
TEST_F(batch, folders_are_searched_by_content_and_keep_their_structure) {
    const std::string in = path("in").string();
    put("in/a.3dmf", kScene);
    put("in/sub/b.q3d", "# written by hand\n\n" + kScene);
    put("in/sub/deeper/camera", kFragment);
    put("in/sub/binary.dat", kBinaryHeader);
    put("in/licence.txt", std::string(5000, '#') + "\n\f" + kScene);
    put("in/notes.txt", "TriMesh is the mesh type we read.\n");
    const std::string picture = put("in/picture.3DMF", "\x89PNG\r\n\x1a\n");
    put("in/world.wrl", "#VRML V2.0 utf8\nGroup { }\n");
    const auto inputsBefore = files(in);

    EXPECT_EQ(run({"--jobs=1", "--out-dir=" + outDir(), in}), 1) << err_;
    const std::string binary = path("in/sub/binary.dat").string();
    EXPECT_EQ(err_, picture + " is not a 3DMF file (it looks like a PNG image)\n" + binary +
                        ": byte 0: nothing drawable in the file: the world is empty\n" + binary +
                        ": 1 warning\n5 converted, 1 with warnings, 1 failed\nfailed: " + picture +
                        "\n");
    const auto written = files(outDir());
    const std::map<std::string, std::string> expected = {
        {"a.wrl", alone(path("in/a.3dmf").string())},
        {"licence.wrl", alone(path("in/licence.txt").string())},
        {"sub/b.wrl", alone(path("in/sub/b.q3d").string())},
        {"sub/deeper/camera.wrl", alone(path("in/sub/deeper/camera").string())},
        {"sub/binary.wrl", alone(path("in/sub/binary.dat").string())}};
    EXPECT_EQ(written, expected);
    EXPECT_NE(written.at("a.wrl").find("DEF cube"), std::string::npos);
    EXPECT_EQ(files(in), inputsBefore);
}

// Two inputs that would give one name: the first in order keeps it, the next gets a number and
// the user is told. An input is never a name given to an output, even with the worlds written
// beside the inputs.
TEST_F(batch, name_clashes_are_numbered_and_never_land_on_an_input) {
    put("in/a.3dm", kScene);
    put("in/a.3dmf", kScene);
    put("in/A.q3d", kFragment);
    put("in/x.wrl", kScene);  // a 3DMF file despite its name
    const std::string in = path("in").string();
    EXPECT_EQ(run({"--out-dir=" + in, in}), 0) << err_;
    const auto renamed = [&](const std::string &input, const std::string &as,
                             const std::string &wanted) {
        return path("in/" + input).string() + ": written as " + path("in/" + as).string() +
               ", since " + path("in/" + wanted).string() +
               " is taken by another file of this run\n";
    };
    // Names are compared regardless of case, as some systems do: A.wrl and a.wrl are one.
    EXPECT_EQ(err_, renamed("a.3dm", "a-2.wrl", "a.wrl") + renamed("a.3dmf", "a-3.wrl", "a.wrl") +
                        renamed("x.wrl", "x-2.wrl", "x.wrl") +
                        "4 converted, 0 with warnings, 0 failed\n");
    const auto all = files(in);
    EXPECT_EQ(all.at("x.wrl"), kScene);
    EXPECT_EQ(all.at("a.3dm"), kScene);
    EXPECT_EQ(all.at("A.wrl"), alone(path("in/A.q3d").string()));
    EXPECT_EQ(all.at("a-2.wrl"), alone(path("in/a.3dm").string()));
    EXPECT_EQ(all.at("a-3.wrl"), alone(path("in/a.3dmf").string()));
    EXPECT_EQ(all.at("x-2.wrl"), alone(path("in/x.wrl").string()));
    EXPECT_EQ(all.size(), 8u);

    // A world and a folder of worlds with one name: the world is numbered, whatever the timing.
    put("two/a.3dmf", kScene);
    put("two/a.wrl/b.3dmf", kScene);
    EXPECT_EQ(run({"--out-dir=" + outDir(), path("two").string()}), 0) << err_;
    EXPECT_EQ(files(outDir()), (std::map<std::string, std::string>{
                                   {"a-2.wrl", alone(path("two/a.3dmf").string())},
                                   {"a.wrl/b.wrl", alone(path("two/a.wrl/b.3dmf").string())}}));
}

// Bad files among good ones: each failure names its file and says why, the good ones are all
// written, the summary counts both, and the exit status says that something failed.
TEST_F(batch, one_bad_file_among_good_ones_fails_alone_and_says_why) {
    const std::string good = put("in/good.3dmf", kWithBox);
    const std::string warned = put("in/warned.3dmf", kSkipsObject);
    const std::string cut = put("in/cut.3dmf", kCutOff);
    const std::string png = put("named/picture.3dmf", "\x89PNG\r\n\x1a\n");
    const std::string missing = path("named/missing.3dmf").string();
    put("out/kept.wrl", kScene);  // an old 3DMF file where a world would go
    const std::string kept = put("more/kept.3dmf", kScene);
    EXPECT_EQ(run({"--full", "--jobs=1", "--out-dir=" + outDir(), path("in").string(), png, missing,
                   kept}),
              1);
    const std::string batchSaid = err_;
    // The cut file says in the batch what it says alone, where it fails too.
    EXPECT_EQ(run({"--full", cut, path("alone.wrl").string()}), 1);
    EXPECT_EQ(err_, cut + ":3: TriMesh has fewer values than its counts say: skipped\n" + cut +
                        ":4: expected ')' to close the TriMesh opened on line 3, found the end of "
                        "the file\n1 warning\n");
    // A line that does not name its file gets the name in front.
    EXPECT_EQ(batchSaid, err_.substr(0, err_.size() - 10) + cut + ": 1 warning\n" + warned +
                             ": skipped: 1 Frobnicator\n" + png +
                             " is not a 3DMF file (it looks like a PNG image)\n" + "Can't open " +
                             missing + "!\n  No such file or directory\n" + kept +
                             ": Error writing to " + path("out/kept.wrl").string() +
                             "\n  it holds a 3DMF scene; give a new name for the VRML world\n" +
                             "2 converted, 1 with warnings, 4 failed\n" + "failed: " + cut +
                             "\nfailed: " + png + "\nfailed: " + missing + "\nfailed: " + kept +
                             "\n");
    const auto written = files(outDir());
    EXPECT_EQ(written.at("good.wrl"), alone(good, {"--full"}));
    EXPECT_EQ(written.at("warned.wrl"), alone(warned, {"--full"}));
    // What was read before the failure is written, as alone.
    EXPECT_EQ(written.at("cut.wrl"), alone(cut, {"--full"}));
    EXPECT_NE(written.at("cut.wrl").find("IndexedFaceSet"), std::string::npos);
    EXPECT_EQ(written.at("kept.wrl"), kScene);
    EXPECT_EQ(written.count("picture.wrl") + written.count("missing.wrl"), 0u);
}

// Parallel jobs write exactly what one job writes, in either mode, and so does each file alone.
TEST_F(batch, parallel_jobs_write_the_same_bytes_as_one_job_and_as_each_file_alone) {
    const std::string variants[] = {kScene,       kFragment,     kWithBox,
                                    kSkipsObject, kBinaryHeader, "# comment\n" + kScene};
    for (int i = 0; i < 24; ++i)
        put("in/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".3dmf",
            variants[i % std::size(variants)]);
    const std::string in = path("in").string();
    for (const bool full : {false, true}) {
        std::map<std::string, std::string> worlds[2];
        for (const int jobs : {1, 2}) {
            const std::string target = path("out" + std::to_string(jobs)).string();
            std::vector<std::string> args = {"--jobs=" + std::to_string(jobs),
                                             "--out-dir=" + target, in};
            if (full) args.insert(args.begin(), "--full");
            EXPECT_EQ(run(args), 0) << err_;
            // In full mode the skipped object and three_objects' Light and stray value warn, and
            // so do the camera and the empty binary file (read in full either way), which draw
            // nothing.
            EXPECT_TRUE(err_.ends_with(full ? "24 converted, 20 with warnings, 0 failed\n"
                                            : "24 converted, 4 with warnings, 0 failed\n"))
                << err_;
            worlds[jobs - 1] = files(target);
            fs::remove_all(target);
        }
        ASSERT_EQ(worlds[0].size(), 24u);
        EXPECT_EQ(worlds[0], worlds[1]);
        for (const auto &[name, world] : worlds[0]) {
            fs::path input = path("in") / name;
            input.replace_extension(".3dmf");
            EXPECT_EQ(world, alone(input.string(), full ? std::vector<std::string>{"--full"}
                                                        : std::vector<std::string>{}))
                << name;
        }
    }
}

// Progress is for a person: a line that rewrites itself on a terminal, nothing for a script.
TEST_F(batch, progress_shows_only_on_a_terminal) {
    put("in/a.3dmf", kScene);
    put("in/b.3dmf", kScene);
    const std::vector<std::string> args = {"--jobs=1", "--out-dir=" + outDir(),
                                           path("in").string()};
    EXPECT_EQ(run(args, false), 0);
    EXPECT_EQ(err_, "2 converted, 0 with warnings, 0 failed\n");
    EXPECT_EQ(run(args, true), 0);
    EXPECT_NE(err_.find("\r\x1b[K[0/2] " + path("in/a.3dmf").string()), std::string::npos);
    EXPECT_NE(err_.find("\r\x1b[K[1/2] " + path("in/b.3dmf").string()), std::string::npos);
    EXPECT_TRUE(err_.ends_with("\r\x1b[K2 converted, 0 with warnings, 0 failed\n")) << err_;

    // What the default mode left out, file by file and summed up, for a person only; full reads
    // (--full, or a format other than VRML 97) leave nothing out.
    const std::string box = put("in/box.3dmf", kWithBox);
    EXPECT_EQ(run(args, false), 0);
    EXPECT_EQ(err_, "3 converted, 0 with warnings, 0 failed\n");
    EXPECT_EQ(run(args, true), 0);
    EXPECT_TRUE(err_.ends_with("\r\x1b[K3 converted, 0 with warnings, 0 failed\n" + box +
                               ": the default mode skipped 1 object (1 Box), and the world is "
                               "empty\nhint: the default mode skipped drawable objects in 1 of 3 "
                               "files; tarvex --full converts them\n"))
        << err_;
    for (const char *full : {"--full", "--format=x3d"}) {
        EXPECT_EQ(run({full, "--jobs=1", "--out-dir=" + outDir(), path("in").string()}, true), 0);
        EXPECT_EQ(err_.find("default mode"), std::string::npos) << err_;
    }
    fs::remove(path("in/box.3dmf"));

    // A long name keeps its end, cut at a whole character, so that the line fits a terminal.
    const std::string folder = "in/" + std::string(50, 'x') + "/\xC3\xA9" + std::string(52, 'y');
    put(folder + "/c.3dmf", kScene);
    EXPECT_EQ(run(args, true), 0);
    EXPECT_NE(err_.find("[2/3] ..." + std::string(52, 'y') + "/c.3dmf\r"), std::string::npos)
        << err_;
    EXPECT_EQ(err_.find("[2/3] ...\xA9"), std::string::npos) << err_;
}

// What a batch cannot start with is refused before any file is written.
TEST_F(batch, bad_batch_arguments_are_refused_before_anything_is_written) {
    const std::string in = put("in/a.3dmf", kScene);
    put("blocker", "a file where the folder should go");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--out-dir=" + outDir()}, "--out-dir needs the files or folders to convert\n"},
        {{"--jobs=2", in},
         "--jobs converts many files: give the folder for them with --out-dir=DIR\n"},
        {{"--jobs=0", "--out-dir=" + outDir(), in},
         "Bad number for --jobs: \"0\" (how many files at once, 1 to 1024)\n"},
        {{"--jobs=2x", "--out-dir=" + outDir(), in},
         "Bad number for --jobs: \"2x\" (how many files at once, 1 to 1024)\n"},
        {{"--out-dir=" + outDir(), in, "-"},
         "the standard streams cannot be among many inputs: name the files\n"},
        {{"--verbose", "--out-dir=" + outDir(), in},
         "--verbose lists full mode's warnings: add --full\n"},
        {{"--out-dir=" + path("blocker/x").string(), in},
         "Can't make the folder " + path("blocker/x").string() + "\n  Not a directory\n"},
        {{"--out-dir=" + outDir(), path("empty").string()}, "no 3DMF file found\n"},
    };
    fs::create_directory(path("empty"));
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(run(args), 1) << args[0];
        EXPECT_EQ(err_, message);
    }
    EXPECT_EQ(files().size(), 2u);
}

}  // namespace
