#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "core/convert.h"
#include "core/scene_store.h"
#include "tests/core/core_test_support.h"

using namespace tarvex;
using namespace std::string_literals;
using tarvex_test::data_file;
using tarvex_test::progress_calls;
using Calls = std::vector<tarvex_test::ProgressCall>;

namespace {

class writer : public tarvex_test::TempDirTest {
  protected:
    // The file's text. Writing into memory must give the bytes of a binary-mode file (text mode
    // adds CR on Windows), with the same progress.
    std::string write() {
        progress_calls().clear();
        std::string inMemory;
        EXPECT_EQ(write_out_string(inMemory, tarvex_test::recording()), 0);
        const Calls memoryCalls = progress_calls();
        progress_calls().clear();
        EXPECT_EQ(write_out(path("out.bin").string(), OutputMode::binary, tarvex_test::recording()),
                  0);
        EXPECT_EQ(inMemory, tarvex_test::read_file(path("out.bin")));
        EXPECT_EQ(memoryCalls, progress_calls());
        progress_calls().clear();
        EXPECT_EQ(write_out(path("out.wrl").string(), OutputMode::text, tarvex_test::recording()),
                  0);
        return tarvex_test::read_file(path("out.wrl"));
    }
    static bool has(const std::string &s, const std::string &p) { return s.find(p) != s.npos; }
};

// The golden files hold the complete output: the headlight is switched off only when there are
// lights, the light's switch is not written, a whole mesh is written as read whatever its indices
// say, and a mesh cut short keeps only its points read and the triangles naming them.
TEST_F(writer, scenes_match_the_reference_text) {
    EXPECT_EQ(write(), data_file("empty_scene.wrl"));

    newViewpoint("Cam")->position = {1, 2, 3};
    getViewpoint(0)->orientation = {0, 1, 0, 1.570796f};
    newLight("")->on = 0;
    newShape("Box", 3, 1)->geometry.coord.point.v = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    getShape(0)->geometry.coordIndex.v = {{0, 1, 2}};
    getShape(0)->appearance.material.diffuseColor = {0.8f, 0.2f, 0.2f};
    EXPECT_EQ(write(), data_file("complete_output.wrl"));
    EXPECT_EQ(progress_calls(), (Calls{{0, ""}, {33, ""}, {66, ""}}));
    // An output that cannot be opened gives 1, as a failed write does (robustness_test).
    EXPECT_EQ(write_out(path("no/such/dir.wrl").string()), 1);

    clean_up();
    newViewpoint("");
    newShape("", 0, 0);
    newShape("", 1, 1)->geometry.coord.point.v = {{1, 2, 3}};
    getShape(1)->geometry.coordIndex.v = {{-1, INT_MAX, INT_MIN}};
    newShape("", 3, 4)->geometry.coord.point.v = {{4, 5, 6}, {7, 8, 9}};
    getShape(2)->geometry.coordIndex.v = {{0, 1, 0}, {0, 2, 1}, {-1, 0, 1}, {1, 1, 0}};
    EXPECT_EQ(write(), data_file("unnamed_and_partial.wrl"));
}

// A viewpoint or light equal to every earlier one is left out (A A B A: only the second), but
// each record still steps the progress.
TEST_F(writer, repeated_viewpoints_and_lights_are_skipped_but_step_the_progress) {
    for (bool lights : {false, true}) {
        clean_up();
        const std::pair<const char *, float> records[] = {{"a", 1}, {"b", 1}, {"c", 5}, {"d", 1}};
        for (const auto &[name, x] : records)
            lights ? void(newLight(name)->intensity = x) : void(newViewpoint(name)->position.x = x);
        const std::string out = write();
        const std::string def = lights ? "\n    DEF " : "\nDEF ";
        EXPECT_TRUE(has(out, def + "a ") && !has(out, def + "b ") && has(out, def + "c ") &&
                    has(out, def + "d "));
        EXPECT_EQ(progress_calls(), (Calls{{0, ""}, {25, ""}, {50, ""}, {75, ""}}));
    }
}

// Names become valid DEF names: bytes VRML forbids become '_', and a name that would start like
// a number or be a reserved word gets a leading '_'. The description is the name as read, with
// '"' and '\' escaped. Floats are written as "%f" writes them.
TEST_F(writer, names_descriptions_and_floats) {
    std::istringstream cases(
        "x:y/z-1+2\xc3\xa9>x:y/z-1+2\xc3\xa9 True>True .5>_5 1a>_1a +x>_+x -x>_-x DEF>_DEF "
        "EXTERNPROTO>_EXTERNPROTO FALSE>_FALSE IS>_IS NULL>_NULL PROTO>_PROTO ROUTE>_ROUTE TO>_TO "
        "TRUE>_TRUE USE>_USE eventIn>_eventIn eventOut>_eventOut exposedField>_exposedField "
        "field>_field");
    for (std::string c; cases >> c;) {
        clean_up();
        newViewpoint(c.substr(0, c.find('>')));
        EXPECT_TRUE(has(write(), "\nDEF " + c.substr(c.find('>') + 1) + " Viewpoint{\n")) << c;
    }
    clean_up();
    Viewpoint *vp = newViewpoint("1 \"a\\\0\x01\x7f#',.[]{}"s);
    vp->position = {-0.0f, -1.0f, -4e-7f};
    vp->orientation = {0.0078125f, 123456.7890625f, 1e10f, -0.3f};
    EXPECT_TRUE(has(write(),
                    "\nDEF _1__a____________ Viewpoint{\n"
                    "  position -0.000000 -1.000000 -0.000000\n"
                    "  orientation 0.007812 123456.789062 10000000000.000000 -0.300000\n"
                    "  description \"1 \\\"a\\\\\0\x01\x7f#',.[]{}\"\n}\n"s));
}

}  // namespace
