// The console program in full mode: --verbose, warnings told once by kind, what the writer mends,
// and binary input, which is read in full mode whether or not --full was given. (--full itself,
// and a file cut off part-way: console_messages and batch.)
#include <gtest/gtest.h>

#include "tests/console/console_run.h"

using tarvex_test::binary_triangle;
using tarvex_test::read_file;

namespace {

using full_console = tarvex_test::ConsoleRun;

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

// A clean binary file converts without a word, a value in one that is not finite costs only
// itself. (Read without --full, binary goes to full mode too: below, and
// console.the_program_uses_the_standard_streams.)
TEST_F(full_console, a_binary_file_converts_in_full_mode_and_loses_only_a_bad_value) {
    EXPECT_EQ(run({"--full", file("triangle.3dmf", binary_triangle()), out()}), 0) << err_;
    EXPECT_EQ(err_, "");
    const std::string clean = read_file(out());
    EXPECT_NE(clean.find("IndexedFaceSet"), std::string::npos) << clean;
    EXPECT_NE(clean.find("-1 0 0"), std::string::npos) << clean;

    // A value that is not a finite number costs that value, not the rest of the file.
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
