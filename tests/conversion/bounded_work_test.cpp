// Bounded work on any file: inputs that used to grow faster than their size (fanned-out attribute
// sets, a long label or type name used many times, greedy surfaces, knot-heavy patches) convert
// within the work and output budgets, coarsening surfaces rather than stopping, and say so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <variant>

#include "bench/hostile_inputs.h"
#include "console/command_line.h"
#include "conversion/conversion.h"
#include "tests/console/console_run.h"

namespace {

using tarvex::conversion::Conversion;
using tarvex::conversion::Status;
const tarvex::conversion::Options kFull{.full = true};
using namespace tarvex::hostile;  // the generators the benchmark times

std::size_t coarsening_warnings(const tarvex::tree::Diagnostics &d) {
    std::size_t n = 0;
    for (const auto &e : d.entries())
        n += e.text.find("subdivided more coarsely") != std::string::npos;
    return n;
}

using bounded_work = tarvex_test::ConsoleRun;

// ---- the output budget --------------------------------------------------------------------

TEST_F(bounded_work, greedy_tori_are_all_coarsened_into_the_budget_with_one_warning) {
    const std::string text = greedy_tori(10);
    const std::string in = file("tori.3dmf", text);
    Conversion c;
    ASSERT_EQ(c.read(in, kFull).status, Status::ok) << c.result().message;
    const std::uint64_t budget = tarvex::builder::default_max_output(text.size());
    EXPECT_GT(c.build().output_asked, 5 * budget);  // what made the old allowance fail
    EXPECT_LE(c.build().output_made, budget);
    EXPECT_LT(c.build().detail, 0.25);
    EXPECT_EQ(c.scene().shapes.size(), 10u);  // every torus kept, none dropped
    EXPECT_EQ(c.diagnostics().warning_count(), 1u);
    EXPECT_EQ(coarsening_warnings(c.diagnostics()), 1u);
    // All ten in proportion: the same grid each.
    const auto points = [](const tarvex::scene::Shape &shape) {
        return std::get<tarvex::scene::FaceSet>(shape.geometry).coords.size();
    };
    for (const auto &shape : c.scene().shapes)
        EXPECT_EQ(points(shape), points(c.scene().shapes[0]));

    // The estimate holds for the bytes written, and the console exits 0.
    EXPECT_EQ(run({"--full", in, path("out.wrl").string()}), 0) << err_;
    const std::uint64_t written = std::filesystem::file_size(path("out.wrl"));
    EXPECT_LE(written, budget);
    EXPECT_GT(written, budget / 2);  // coarsened in proportion, not to nothing
}

TEST_F(bounded_work, max_output_raises_the_budget_and_bad_sizes_are_refused) {
    const std::string in = file("tori.3dmf", greedy_tori(10));
    Conversion c;
    ASSERT_EQ(c.read(in, {.full = true, .max_output = std::uint64_t{200} << 20}).status,
              Status::ok);
    EXPECT_EQ(c.build().detail, 1);
    EXPECT_EQ(c.diagnostics().warning_count(), 0u);
    EXPECT_EQ(c.build().output_made, c.build().output_asked);

    // A limit below the default coarsens more, every torus still kept (shapes: the test above).
    EXPECT_EQ(run({"--full", "--max-output=2M", in, path("o.wrl").string()}), 0) << err_;
    EXPECT_LE(std::filesystem::file_size(path("o.wrl")), std::uint64_t{2} << 20);
    for (const std::string bad :
         {"--max-output=", "--max-output=0", "--max-output=1.5G", "--max-output=12T",
          "--max-output=-3", "--max-output=99999999999G"}) {
        EXPECT_EQ(run({"--full", bad, in, path("bad.wrl").string()}), 1) << bad;
        EXPECT_NE(err_.find("Bad size for --max-output"), std::string::npos) << bad << ": " << err_;
        EXPECT_FALSE(std::filesystem::exists(path("bad.wrl"))) << bad;
    }
    // Without its value it is no option: console.options_are_told_apart_from_file_names.
}

TEST(command_line, sizes_take_binary_multiples) {
    using tarvex::parse_size;
    EXPECT_EQ(parse_size("300M"), std::uint64_t{300} << 20);
    EXPECT_EQ(parse_size("2G"), std::uint64_t{2} << 30);
    EXPECT_EQ(parse_size("2g"), std::uint64_t{2} << 30);
    EXPECT_EQ(parse_size("64k"), std::uint64_t{64} << 10);
    EXPECT_EQ(parse_size("123456789"), 123456789u);
    EXPECT_EQ(parse_size("18446744073709551615"), std::nullopt);  // 20 digits
    EXPECT_EQ(parse_size("17179869184G"), std::nullopt);          // 2^64 bytes
    EXPECT_EQ(parse_size("17179869183G"), std::uint64_t{17179869183} << 30);
    for (const char *bad : {"", "G", "0", "0M", "1.5G", " 3M", "3M ", "3MB", "+3", "0x10"})
        EXPECT_EQ(parse_size(bad), std::nullopt) << bad;
}

TEST_F(bounded_work, sphere_scenes_convert_whole) {
    // (What fits is drawn whole: max_output_raises_the_budget_and_bad_sizes_are_refused.)
    // 10,000 at the default ask for more than the ceiling: all coarsened, all kept.
    const std::string many = spheres(10000, "");
    Conversion m;
    ASSERT_EQ(m.read(file("many.3dmf", many), kFull).status, Status::ok) << m.result().message;
    EXPECT_EQ(m.scene().shapes.size(), 10000u);
    EXPECT_GT(m.build().output_asked, std::uint64_t{256} << 20);
    EXPECT_LE(m.build().output_made, std::uint64_t{256} << 20);
    EXPECT_LT(m.build().detail, 1);
    EXPECT_EQ(coarsening_warnings(m.diagnostics()), 1u);
    EXPECT_EQ(m.diagnostics().warning_count(), 1u);
    // The budget bounds the work done for it too.
    EXPECT_LE(m.build().work, m.build().work_budget);
}

#if !defined(_WIN32)
// A stream is held in memory whole: one without end stops at the cap, with the reason.
TEST(stream_input, stops_past_the_most_a_stream_may_hold) {
    Conversion conversion;
    const auto &result = conversion.read("/dev/zero", {.full = true, .max_stream = 1 << 20}, {});
    EXPECT_EQ(result.status, Status::failed);
    EXPECT_EQ(result.message,
              "/dev/zero: more than 1 MiB from a stream, more than is held in "
              "memory: save it to a file and name that");
}
#endif

// What the file draws once is bounded by its size and never stops on the world's limit, however
// low (a 4 MB file of distinct boxes once did, its world estimated at twice what it wrote); the
// estimate is within a tenth of the world written.
TEST_F(bounded_work, a_world_drawn_once_never_stops_and_is_estimated_within_a_tenth) {
    std::string boxes = tarvex::hostile::kHead;
    for (int i = 0; i < 3000; ++i)
        boxes += "Box ( 1 0 0 0 1 0 0 0 1 " + std::to_string(i % 60) + " " +
                 std::to_string(i / 60) + " 0 )\n";
    Conversion c;
    ASSERT_EQ(c.read(file("boxes.3dmf", boxes), {.full = true, .max_output = 1}).status, Status::ok)
        << c.result().message;
    ASSERT_EQ(c.write(path("boxes.wrl").string()), 0);
    const auto written = static_cast<double>(std::filesystem::file_size(path("boxes.wrl")));
    EXPECT_NEAR(static_cast<double>(c.build().output_other), written, 0.1 * written);
}

TEST(output_budget, grows_with_the_input_up_to_its_ceiling) {
    using tarvex::builder::default_max_output;
    EXPECT_EQ(default_max_output(0), std::uint64_t{16} << 20);
    EXPECT_EQ(default_max_output(1000), (std::uint64_t{16} << 20) + 1000000);
    EXPECT_EQ(default_max_output(1u << 20), std::uint64_t{256} << 20);
    EXPECT_EQ(default_max_output(~std::uint64_t{0}), std::uint64_t{256} << 20);
}

// ---- the work budget ----------------------------------------------------------------------

TEST_F(bounded_work, attribute_sets_are_resolved_once_per_set) {
    // 30 wide and 5 deep: 30^5 = 24 million paths, 3,630 References in the file.
    const std::string text = fanned_sets(30, 5);
    Conversion c;
    ASSERT_EQ(c.read(file("sets.3dmf", text), kFull).status, Status::ok) << c.result().message;
    EXPECT_EQ(c.scene().shapes.size(), 30u);
    // The last level's colour reaches every point: each set took its last child's.
    ASSERT_TRUE(c.scene().shapes[0].appearance.material.diffuse.r > 0.9f);
    // Linear in the file: a few units a value, not per path.
    EXPECT_LT(c.build().work, 20 * text.size());
    EXPECT_EQ(c.diagnostics().warning_count(), 0u);
}

TEST_F(bounded_work, a_long_label_on_a_shared_group_is_held_once) {
    // A 1 MB label on a group drawn 2,000 times in different colours (no drawing can be reused).
    const std::string label(1 << 20, 'n');
    std::ostringstream t;
    t << "3DMetafile ( 1 6 Normal toc> )\n"
      << label << ": BeginGroup ( DisplayGroup ( ) ) Point ( 0 0 0 ) EndGroup ( )\n";
    for (int i = 0; i < 2000; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << i / 2000.0
          << " 0 0 ) Reference ( 1 ) EndGroup ( )\n";
    t << "toc: TableOfContents ( toc2> 2 -1 0 12 1 1 " << label << "> )\n";
    Conversion c;
    ASSERT_EQ(c.read(file("label.3dmf", t.str()), {.full = true, .outline = true}).status,
              Status::ok)
        << c.result().message;
    EXPECT_EQ(c.scene().shapes.size(), 2001u);
    std::size_t name_bytes = 0, label_bytes = 0;
    std::set<const char *> held;  // the scene holds the name once, its nodes point at it
    for (const auto &node : c.scene().nodes) {
        name_bytes += node.name.size();
        if (!node.name.empty()) held.insert(node.name.view().data());
    }
    EXPECT_EQ(held.size(), 1u);
    for (const auto &item : c.outline()) label_bytes += item.label.size();
    EXPECT_GT(name_bytes, 2000u * 100);  // the name is there, cut short
    EXPECT_LT(name_bytes, 2002u * 128);
    EXPECT_LT(label_bytes, 2002u * 128);
    // Written with one DEF name a node: the output stays small.
    ASSERT_EQ(c.write(path("label.wrl").string()), 0);
    EXPECT_LT(std::filesystem::file_size(path("label.wrl")), 2002u * 1000);
}

// A binary file declaring a custom type with a `name_bytes` long name, then `uses` objects of it.
std::string binary_custom_type(std::size_t name_bytes, int uses) {
    using tarvex_test::put_u32;
    std::string b = "3DMF";
    for (const std::uint32_t word : {16u, 0x00010006u, 1u, 0u, 0u}) put_u32(b, word);
    const std::size_t padded = (name_bytes + 1 + 3) / 4 * 4;
    b += "type";
    put_u32(b, static_cast<std::uint32_t>(4 + padded));
    put_u32(b, 0xFFFFFFFF);  // code -1
    b += std::string(name_bytes, 'T') + std::string(padded - name_bytes, '\0');
    for (int i = 0; i < uses; ++i) {
        put_u32(b, 0xFFFFFFFF);
        put_u32(b, 0);
    }
    return b;
}

TEST_F(bounded_work, a_long_custom_type_name_is_kept_once_and_quoted_short) {
    const std::string bytes = binary_custom_type(1 << 20, 100000);
    Conversion c;
    ASSERT_EQ(c.read(file("type.3dmf", bytes), kFull).status, Status::ok) << c.result().message;
    // Every object names its type through the one copy the tree keeps.
    const auto &tree = c.tree();
    std::uint32_t first = 0, last = 0, unknown = 0;
    for (std::uint32_t n = 1; n < tree.node_count(); ++n)
        if (tree.node(n).type == tarvex::tree::ObjectType::Unknown) {
            if (unknown++ == 0) first = n;
            last = n;
        }
    ASSERT_EQ(unknown, 100000u);
    EXPECT_EQ(tree.name_of(first).size(), std::size_t{1} << 20);
    EXPECT_EQ(tree.name_of(first).data(), tree.name_of(last).data());
    // Each skipped, all under one name; that name is cut short and the entries bounded in
    // diagnostics.summary_counts_everything_but_keeps_bounded_records.
    const auto &skipped = c.diagnostics().skipped_counts();
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped.begin()->second, 100000u);
}

// One self-crossing polygon of `vertices` points drawn `uses` times in different colours: each
// drawing triangulates it again.
std::string tangled_polygon_used(int vertices, int uses) {
    std::ostringstream t;
    t << "3DMetafile ( 1 6 Normal toc> )\nstar: GeneralPolygon ( 1 " << vertices << "\n";
    for (int i = 0; i < vertices; ++i) {
        // A star polygon {n/k}: every edge crosses many others.
        const double a = 2 * 3.14159265358979 * ((i * (vertices / 2 - 1)) % vertices) / vertices;
        t << std::cos(a) << " " << std::sin(a) << " 0\n";
    }
    t << "0 )\n";
    for (int i = 0; i < uses; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << i / double(uses)
          << " 1 0 ) Reference ( 1 ) EndGroup ( )\n";
    t << "toc: TableOfContents ( toc2> 2 -1 0 12 1 1 star> )\n";
    return t.str();
}

// An object drawn again through References is not triangulated again: each further use costs
// the same small amount (its shape and output), and 150 uses of a polygon that takes most of a
// triangulation's cap convert, where each used to be triangulated anew.
TEST_F(bounded_work, a_polygon_used_again_is_triangulated_once) {
    std::uint64_t work[3] = {};
    const int uses[3] = {1, 2, 150};
    for (int i = 0; i < 3; ++i) {
        Conversion c;
        ASSERT_EQ(c.read(file("star.3dmf", tangled_polygon_used(3001, uses[i])), kFull).status,
                  Status::ok)
            << c.result().message;
        EXPECT_EQ(c.scene().shapes.size() > 0, true);
        work[i] = c.build().work;
    }
    const std::uint64_t first = work[0], more = work[1] - work[0];
    EXPECT_LT(more * 10, first);  // a use costs a small part of the triangulation
    EXPECT_LE(work[2], first + 149 * more + 149 * 64);  // up to the colour's bytes
    EXPECT_EQ(run({"--full", path("star.3dmf").string(), path("star.wrl").string()}), 0) << err_;
}

// 15,000 corners close together along one long edge, drawn 150 times: the triangulation used to
// outrun its own steps, and its repeats the file's budget.
TEST_F(bounded_work, a_crowded_polygon_used_150_times_converts_whole) {
    Conversion c;
    ASSERT_EQ(c.read(file("comb.3dmf", zigzag_polygon_used(15000, 150)), kFull).status, Status::ok)
        << c.result().message;
    EXPECT_LT(c.build().work, 40'000'000u);
    EXPECT_EQ(c.scene().shapes.size(), 151u);  // where it stands, and through the 150 References
    for (const auto &shape : c.scene().shapes) {
        const auto *faces = std::get_if<tarvex::scene::FaceSet>(&shape.geometry);
        ASSERT_NE(faces, nullptr);
        // At least one triangle a tooth, and no fan: a fan from the first corner crosses teeth.
        const auto ends = std::count(faces->coord_index.begin(), faces->coord_index.end(), -1);
        EXPECT_GE(faces->triangles.size() / 3 + static_cast<std::size_t>(ends), 3750u);
    }
    EXPECT_EQ(c.diagnostics().entries().size(), 0u);
}

}  // namespace
