// The object tree's number conversions and sharing, and the diagnostics' summary and bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace {

using tarvex::tree::Diagnostics;
using tarvex::tree::ObjectTree;
using tarvex::tree::ObjectType;

// Numbers keep what the file said until the builder asks for a kind; arrays are then converted
// in place and handed out without copying, and anything not a number refuses the whole run.
TEST(object_tree, numbers_convert_in_place_only_when_all_of_a_run_can) {
    ObjectTree tree;
    const std::uint32_t node = tree.add_node(ObjectType::TriMesh, "TriMesh", tree.root(), 7);
    tree.add_uns(3);
    tree.add_int(-2);
    tree.add_float(1.5f);
    tree.add_uns(4'294'967'295u);
    tree.add_float(2.0f);
    tree.add_word("True");
    const std::uint32_t first = tree.node(node).first_value;

    EXPECT_EQ(tree.as_integer(first + 1), -2);
    EXPECT_EQ(tree.as_integer(first + 2), std::nullopt);  // 1.5 is no integer
    EXPECT_EQ(tree.as_float(first + 3), 4294967296.0f);   // rounded as its text would be
    EXPECT_EQ(tree.as_float(first + 5), std::nullopt);

    EXPECT_TRUE(tree.floats(first, 6).empty());         // the word
    EXPECT_TRUE(tree.unsigned_ints(first, 2).empty());  // the negative
    const auto floats = tree.floats(first, 3);
    EXPECT_EQ(std::vector(floats.begin(), floats.end()), (std::vector{3.0f, -2.0f, 1.5f}));
    EXPECT_EQ(tree.floats(first, 3).data(), floats.data());  // no copy, and idempotent
    const auto one = tree.floats(first + 2, 1);
    EXPECT_EQ(std::vector(one.begin(), one.end()), std::vector{1.5f});
    const auto integral = tree.unsigned_ints(first + 4, 1);  // 2.0 counts as an integer
    EXPECT_EQ(std::vector(integral.begin(), integral.end()), std::vector{2u});
    EXPECT_TRUE(tree.floats(first + 4, 3).empty());  // runs past the last value
}

TEST(object_tree, reparenting_moves_the_last_node_under_another) {
    ObjectTree tree;
    const std::uint32_t a = tree.add_node(ObjectType::Triangle, "Triangle", 0, 1);
    const std::uint32_t b = tree.add_node(ObjectType::AttributeSet, "AttributeSet", 0, 1);
    tree.reparent_last(a);
    EXPECT_EQ(tree.node(0).first_child, a);
    EXPECT_EQ(tree.node(0).last_child, a);
    EXPECT_EQ(tree.node(a).next_sibling, ObjectTree::kNone);
    EXPECT_EQ(tree.node(a).first_child, b);
    EXPECT_EQ(tree.node(b).parent, a);
}

// Warnings that differ only in their numbers and quoted words are one kind; skipped objects are
// no warnings (the summary counts them by type).
TEST(diagnostics, warnings_fall_into_kinds_by_their_text) {
    Diagnostics diagnostics;
    diagnostics.warn(7, "the value at byte 36 is not a finite number: dropped");
    diagnostics.skipped(8, "NURBCurve");
    diagnostics.warn(9, "'nan' is not a finite number: dropped");
    diagnostics.warn(12, "the value at byte 1040 is not a finite number: dropped");
    diagnostics.warn(15, "Triangle needs three points: skipped");
    diagnostics.warn(16, "Triangle needs three points: dropped");  // as long, yet another kind
    diagnostics.warn(20, "'-inf' is not a finite number: dropped");
    diagnostics.warn(21, "'nan is not a finite number");  // an unclosed quote is text
    diagnostics.warn(22, "nan is not a finite number");   // ... and stays there
    diagnostics.warn(23, "Mesh face (3) dropped");
    diagnostics.warn(24, "Mesh face () dropped");  // where a number was is part of the kind
    const std::vector<Diagnostics::Kind> kinds = diagnostics.kinds();
    std::vector<std::pair<std::uint64_t, std::size_t>> where;
    for (const Diagnostics::Kind &kind : kinds) where.emplace_back(kind.position, kind.count);
    ASSERT_EQ(where, (decltype(where){
                         {7, 2}, {9, 2}, {15, 1}, {16, 1}, {21, 1}, {22, 1}, {23, 1}, {24, 1}}));
    EXPECT_EQ(kinds[1].text, "'nan' is not a finite number: dropped");
}

TEST(diagnostics, summary_counts_everything_but_keeps_bounded_records) {
    Diagnostics diagnostics;
    EXPECT_EQ(diagnostics.summary(), "");
    diagnostics.skipped(4, "ViewHints");
    diagnostics.skipped(2, "NURBCurve");
    diagnostics.skipped(9, "NURBCurve");
    diagnostics.skipped(10, "");
    EXPECT_EQ(diagnostics.summary(), "skipped: 1 (unnamed), 2 NURBCurve, 1 ViewHints");
    diagnostics.warn(3, "stray value");
    EXPECT_EQ(diagnostics.summary(), "skipped: 1 (unnamed), 2 NURBCurve, 1 ViewHints; 1 warning");
    EXPECT_EQ(diagnostics.entries()[0].text, "skipped ViewHints");
    EXPECT_EQ(diagnostics.where(3), "line 3");

    Diagnostics junk;
    junk.position_kind = tarvex::tree::PositionKind::byte;
    for (int i = 0; i < 5000; ++i) {
        junk.warn(i, "junk");
        junk.skipped(i, "Junk" + std::to_string(i));
    }
    EXPECT_EQ(junk.warning_count(), 5000u);
    EXPECT_EQ(junk.entries().size(), Diagnostics::kMaxEntries);
    EXPECT_EQ(junk.skipped_counts().size(), Diagnostics::kMaxSkippedNames + 1);
    EXPECT_EQ(junk.skipped_counts().find(Diagnostics::kOtherTypes)->second,
              5000 - Diagnostics::kMaxSkippedNames);
    EXPECT_EQ(junk.where(12), "byte 12");

    // Bounded in bytes too: a name or a warning as long as the file is kept cut short, at a
    // character boundary.
    Diagnostics longs;
    const std::string name(1 << 20, 'N');
    for (int i = 0; i < 3000; ++i) {
        longs.warn(i, "warning about " + name);
        longs.skipped(i, name);
    }
    std::size_t bytes = 0;
    for (const auto &e : longs.entries()) {
        EXPECT_LE(e.text.size(), Diagnostics::kMaxEntryBytes);
        bytes += e.text.size();
    }
    EXPECT_LE(bytes, Diagnostics::kMaxEntries * Diagnostics::kMaxEntryBytes);

    // A type name of up to 80 bytes is shown whole in the summary; a longer one is cut to 80
    // with "…" (three bytes) at its end.
    Diagnostics edge;
    edge.skipped(1, std::string(80, 'A'));
    edge.skipped(2, std::string(81, 'B'));
    EXPECT_EQ(edge.skipped_counts().count(std::string(80, 'A')), 1u);
    EXPECT_EQ(edge.skipped_counts().count(std::string(77, 'B') + "…"), 1u);
    ASSERT_EQ(longs.skipped_counts().size(), 1u);
    EXPECT_LE(longs.skipped_counts().begin()->first.size(), Diagnostics::kMaxNameBytes);
    EXPECT_EQ(longs.skipped_counts().begin()->second, 3000u);
    EXPECT_EQ(tarvex::tree::shortened("short", 10), "short");
    EXPECT_EQ(tarvex::tree::shortened("abcdefghij", 6), "abc…");
    // "é" is two bytes: never cut in half.
    EXPECT_EQ(tarvex::tree::shortened("aéééé", 7), "aé…");
}

}  // namespace
