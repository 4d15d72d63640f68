// The console program in full mode: --full and --verbose, failures that name the file and the
// line, and binary input, which is read in full mode whether or not --full was given.
#include <gtest/gtest.h>

#include "tests/console/console_run.h"

using tarvex_test::binary_triangle;
using tarvex_test::read_file;

namespace {

using full_console = tarvex_test::ConsoleRun;

TEST_F(full_console, full_mode_writes_every_object_and_sums_up_what_it_could_not) {
    const std::string in = file("in.3dmf",
                                "3DMetafile ( 1 6 Normal toc> )\n"
                                "block: Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n"
                                "Frobnicator ( 1 2 3 )\n"
                                "Container ( Point ( 0 1 0 ) Container ( AttributeSet ( )\n"
                                "  DiffuseColor ( 1 0 0 ) ) )\n");
    // The default mode keeps only triangle meshes: nothing of this.
    EXPECT_EQ(run({in, out()}), 0);
    EXPECT_EQ(read_file(out()).find("geometry"), std::string::npos);

    EXPECT_EQ(run({"--full", in, out()}), 0);
    EXPECT_EQ(err_, "skipped: 1 Frobnicator\n");
    const std::string world = read_file(out());
    EXPECT_NE(world.find("DEF block"), std::string::npos) << world;
    EXPECT_NE(world.find("IndexedFaceSet"), std::string::npos);
    EXPECT_NE(world.find("PointSet"), std::string::npos);
}

// Without --verbose each kind of warning is told once, with its first place and how many more
// there were; --verbose lists every one.
TEST_F(full_console, each_kind_of_warning_is_told_once_with_a_count) {
    const std::string in = file("warned.3dmf",
                                "3DMetafile ( 1 6 Normal toc> )\n"
                                "Point ( 0 nan 0 )\n"
                                "Point ( inf 1 0 )\n"
                                "Point ( 0 2 nan )\n"
                                "EndGroup ( )\n");
    EXPECT_EQ(run({"--full", in, out()}), 0);
    EXPECT_EQ(err_, in + ":2: 'nan' is not a finite number: dropped (and 2 more like it)\n" + in +
                        ":5: EndGroup without an open BeginGroup: ignored\n" + in +
                        ":2: Point needs three finite numbers: skipped (and 2 more like it)\n" +
                        in + ":1: nothing drawable in the file: the world is empty\n8 warnings\n");
    EXPECT_EQ(run({"--verbose", "--full", in, out()}), 0);
    EXPECT_NE(err_.find(in + ":3: 'inf' is not a finite number: dropped\n"), std::string::npos)
        << err_;
}

// A file cut off in an object cannot be read on from: the message names the file, the line and
// what was missing; what came before is still written, and the exit status says it failed.
TEST_F(full_console, a_failure_names_the_line_and_keeps_what_was_read) {
    const std::string in = file("cut.3dmf",
                                "3DMetafile ( 1 6 Normal toc> )\n"
                                "Box ( 0 2 0  0 0 1  3 0 0  0 0 0 )\n"
                                "TriMesh ( 1 0 0 0 3 0\n"
                                "  0 1 2\n");
    EXPECT_EQ(run({"--full", in, out()}), 1);
    EXPECT_TRUE(err_.starts_with(in + ":")) << err_;
    EXPECT_NE(err_.find("TriMesh"), std::string::npos) << err_;
    EXPECT_NE(read_file(out()).find("IndexedFaceSet"), std::string::npos);
}

// A clean binary file converts without a word. (Read without --full, binary goes to full mode
// too: console.the_program_uses_the_standard_streams and a_binary_value_that_is_not_finite.)
TEST_F(full_console, a_binary_file_converts_in_full_mode) {
    EXPECT_EQ(run({"--full", file("triangle.3dmf", binary_triangle()), out()}), 0) << err_;
    EXPECT_EQ(err_, "");
    const std::string world = read_file(out());
    EXPECT_NE(world.find("IndexedFaceSet"), std::string::npos) << world;
    EXPECT_NE(world.find("-1 0 0"), std::string::npos) << world;
}

// A value that is not a finite number costs that value, not the rest of the file.
TEST_F(full_console, a_binary_value_that_is_not_finite_loses_nothing_after_it) {
    std::string bytes = binary_triangle();
    std::string bad = bytes.substr(24);
    bad.replace(8, 4, std::string("\x7F\xC0\0\0", 4));  // its first coordinate: a NaN
    const std::string in = file("nan.3dmf", bytes.insert(24, bad));
    EXPECT_EQ(run({"--verbose", in, out()}), 0) << err_;
    EXPECT_NE(err_.find(in + ": byte 24: the value at byte 32 is not a finite number: dropped\n"),
              std::string::npos)
        << err_;
    const std::string world = read_file(out());
    EXPECT_NE(world.find("-1 0 0"), std::string::npos) << world;
}

// A mend the writer makes so that the world stays readable is told, never silent: points of a
// cylinder near the float range overflow to infinity.
TEST_F(full_console, what_the_writer_mends_is_reported) {
    const std::string in = file("huge.3dmf",
                                "3DMetafile ( 1 6 Normal toc> )\n"
                                "Cylinder ( 3e38 0 0  0 3e38 0  0 0 3e38  3e38 0 0 )\n");
    EXPECT_EQ(run({"--full", in, out()}), 0);
    EXPECT_TRUE(err_.starts_with(out() + ": ")) << err_;
    EXPECT_TRUE(err_.ends_with(" numbers that are not finite written as 0\n")) << err_;
    EXPECT_EQ(read_file(out()).find("nan"), std::string::npos);
}

}  // namespace
