#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/vrml.h"
#include "tests/core_test_support.h"

using namespace tarvex;
using tarvex_test::data_file;
using tarvex_test::progress_calls;
using tarvex_test::ProgressCall;

namespace {

class writer : public tarvex_test::TempDirTest {
protected:
    std::string write(int expectedResult = 0) {
        int rc = -1;
        std::string out = tarvex_test::write_store(dir_, &rc);
        EXPECT_EQ(rc, expectedResult);
        return out;
    }
};

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

Shape *addShape(std::string_view name, std::vector<SFVec3f> points,
                std::vector<TriangleIndex> triangles) {
    Shape *sp = newShape(name, static_cast<int>(points.size()), static_cast<int>(triangles.size()));
    sp->geometry.coord.point.v = std::move(points);
    sp->geometry.coordIndex.v = std::move(triangles);
    return sp;
}

TEST_F(writer, camera_light_and_box_scene_matches_the_reference_text) {
    Viewpoint *vp = newViewpoint("Cam");
    vp->position = {1, 2, 3};
    vp->orientation = {0, 1, 0, 1.570796f};
    newLight("")->on = 0;  // the switch is not written
    addShape("Box", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})->appearance.material.diffuseColor =
        {0.8f, 0.2f, 0.2f};

    const std::string expected = data_file("complete_output.wrl");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(write(), expected);
    const std::vector<ProgressCall> steps = {{0, ""}, {33, ""}, {66, ""}};
    EXPECT_EQ(progress_calls(), steps);
    // The store is only read: a second write gives the same file.
    EXPECT_EQ(write(), expected);
}

TEST_F(writer, empty_store_writes_the_minimal_world_without_progress) {
    EXPECT_EQ(write(), data_file("empty_scene.wrl"));
    EXPECT_TRUE(progress_calls().empty());
}

TEST_F(writer, unnamed_records_empty_arrays_and_unread_elements) {
    newViewpoint("");
    addShape("", {}, {});
    Shape *partial = newShape("", 3, 2);
    partial->geometry.coord.point.v = {{1, 2, 3}};
    partial->geometry.coordIndex.v = {{-1, INT_MAX, INT_MIN}};
    EXPECT_EQ(write(), data_file("unnamed_and_partial.wrl"));
}

TEST_F(writer, repeated_viewpoints_and_lights_are_skipped_but_still_step_the_progress) {
    newViewpoint("A")->position = {1, 2, 3};
    newViewpoint("again")->position = {1, 2, 3};
    newLight("first");
    newLight("second")->on = 1;
    const std::string out = write();
    EXPECT_EQ(occurrences(out, "Viewpoint{"), 1u);
    EXPECT_EQ(occurrences(out, "DirectionalLight {"), 1u);
    EXPECT_EQ(occurrences(out, "again"), 0u);
    EXPECT_EQ(occurrences(out, "second"), 0u);
    EXPECT_EQ(occurrences(out, "  headlight FALSE\n"), 1u);
    const std::vector<ProgressCall> steps = {{0, ""}, {25, ""}, {50, ""}, {75, ""}};
    EXPECT_EQ(progress_calls(), steps);

    // A, A, B, A: the last differs from B, so only the second is left out.
    clean_up();
    for (float x : {0.0f, 0.0f, 5.0f, 0.0f}) {
        newViewpoint("")->position.x = x;
        newLight("")->intensity = x;
    }
    const std::string abaOut = write();
    EXPECT_EQ(occurrences(abaOut, "Viewpoint{"), 3u);
    EXPECT_EQ(occurrences(abaOut, "DirectionalLight {"), 3u);
}

TEST_F(writer, floats_are_written_as_printf_f) {
    const std::pair<float, std::string> cases[] = {
        {-0.0f, "-0.000000"}, {-1.0f, "-1.000000"}, {0.1f, "0.100000"}, {-0.3f, "-0.300000"},
        {0.0078125f, "0.007812"}, {123456.7890625f, "123456.789062"}, {-4e-7f, "-0.000000"},
        {5.1e-7f, "0.000001"}, {1e10f, "10000000000.000000"},
        {FLT_MAX, "340282346638528859811704183484516925440.000000"}};
    for (const auto &[value, text] : cases) {
        clean_up();
        addShape("", {{value, value, value}}, {});
        EXPECT_EQ(occurrences(write(), "\n            " + text + " " + text + " " + text + "\n"), 1u)
            << text;
    }
}

TEST_F(writer, def_names_are_made_valid_and_descriptions_escaped) {
    std::vector<std::pair<std::string, std::string>> cases = {
        {"Box", "Box"}, {"a b\tc", "a_b_c"}, {std::string("a\0b", 3), "a_b"}, {"\x01\x1f\x7f", "___"},
        {"a\"b#c'd,e.f[g\\h]i{j}k", "a_b_c_d_e_f_g_h_i_j_k"}, {"x:y/z-1+2", "x:y/z-1+2"},
        {"caf\xc3\xa9", "caf\xc3\xa9"}, {"1abc", "_1abc"}, {"+x", "_+x"}, {"-x", "_-x"},
        {".5", "_5"}, {"True", "True"}, {"TOP", "TOP"}, {"fields", "fields"}};
    for (std::string word : {"DEF", "EXTERNPROTO", "FALSE", "IS", "NULL", "PROTO", "ROUTE", "TO",
                             "TRUE", "USE", "eventIn", "eventOut", "exposedField", "field"})
        cases.emplace_back(word, "_" + word);
    for (const auto &[name, def] : cases) {
        SCOPED_TRACE(testing::PrintToString(name));
        clean_up();
        newViewpoint(name);
        newLight(name);
        addShape(name, {}, {});
        const std::string out = write();
        EXPECT_EQ(occurrences(out, "\nDEF " + def + " Viewpoint{\n"), 1u);
        EXPECT_EQ(occurrences(out, "\n    DEF " + def + " DirectionalLight {\n"), 1u);
        EXPECT_EQ(occurrences(out, "\n    DEF " + def + " Shape {\n"), 1u);
        EXPECT_EQ(getShape(0)->defName, name);  // the store keeps the name as read
    }
    clean_up();
    newViewpoint("say \"hi\" \\o/");
    const std::string out = write();
    EXPECT_EQ(occurrences(out, "\nDEF say__hi___o/ Viewpoint{\n"), 1u);
    EXPECT_EQ(occurrences(out, "\n  description \"say \\\"hi\\\" \\\\o/\"\n"), 1u);
    clean_up();
    newViewpoint("1.a b");
    EXPECT_EQ(occurrences(write(), "\n  description \"1.a b\"\n"), 1u);
}

TEST_F(writer, unwritable_outputs_report_failure) {
    newLight("");
    progress_calls().clear();
    EXPECT_EQ(write_out((dir_ / "no" / "such" / "dir.wrl").string()), 1);
    EXPECT_TRUE(progress_calls().empty());
    EXPECT_EQ(write_out(dir_.string()), 1);
    // Opening succeeds but every write fails.
    EXPECT_EQ(write_out("/dev/full"), 1);
    EXPECT_EQ(write_out("/dev/full", OutputMode::binary), 1);
    clean_up();
    EXPECT_EQ(write_out("/dev/full"), 1);
}

}  // namespace
