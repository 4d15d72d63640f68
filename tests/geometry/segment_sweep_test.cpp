#include "geometry/segment_sweep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace g = tarvex::geometry;

struct Case {
    std::string name;
    std::vector<g::P2> pos;
    std::vector<g::Segment> segments;
    bool disjoint;
};

bool sweep(const Case &c, long &work, long budget = 1'000'000) {
    return g::only_shared_ends_meet(c.pos, c.segments, work, budget);
}

// Every kind of contact, in every direction the sweep could meet it first: a crossing, an end on
// another segment's inside, lines overlapping, and the same edge twice are contacts; edges
// meeting at a corner they share, in any direction, vertical ones included, are not.
TEST(segment_sweep, contacts_are_found_and_shared_corners_are_not) {
    const std::vector<Case> cases = {
        {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 1}, {1, 2}, {2, 3}, {3, 0}}, true},
        {"square and a hole",
         {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 1}, {1, 3}, {3, 3}, {3, 1}},
         {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}},
         true},
        {"V opening right, then left",
         {{0, 0}, {2, 1}, {2, -1}, {5, 0}, {3, 1}, {3, -1}},
         {{0, 1}, {0, 2}, {3, 4}, {3, 5}},
         true},
        {"crossing", {{0, 0}, {2, 2}, {0, 2}, {2, 0}}, {{0, 1}, {2, 3}}, false},
        {"crossing, vertical and horizontal",
         {{1, 0}, {1, 2}, {0, 1}, {2, 1}},
         {{0, 1}, {2, 3}},
         false},
        {"an end on the inside of a segment begun before",
         {{0, 0}, {4, 0}, {2, 0}, {2, 3}},
         {{0, 1}, {2, 3}},
         false},
        {"an end on the inside of a segment begun after",
         {{0, 1}, {2, 0}, {1, -5}, {1, 5}},
         {{0, 1}, {2, 3}},
         false},
        {"an end on a vertical segment", {{1, 0}, {1, 4}, {1, 2}, {3, 2}}, {{0, 1}, {2, 3}}, false},
        {"an end on a vertical segment, from the left",
         {{1, 0}, {1, 4}, {-3, 2}, {1, 2}},
         {{0, 1}, {2, 3}},
         false},
        {"a corner doubling back along its edge",
         {{0, 0}, {4, 0}, {2, 0}},
         {{0, 1}, {1, 2}},
         false},
        {"collinear overlap, apart", {{0, 0}, {3, 3}, {1, 1}, {5, 5}}, {{0, 1}, {2, 3}}, false},
        {"the same edge twice", {{0, 0}, {1, 1}}, {{0, 1}, {1, 0}}, false},
        {"a segment of no length", {{0, 0}, {1, 1}}, {{0, 0}, {0, 1}}, false},
        {"a crossing found only after a segment between them ends",
         {{0, 0}, {10, 10}, {0, 10}, {10, 0}, {-1, 5}, {2, 5}},
         {{0, 1}, {2, 3}, {4, 5}},
         false},
        {"near but apart", {{0, 0}, {10, 0}, {5, 1e-9}, {6, 1}}, {{0, 1}, {2, 3}}, true},
    };
    for (const Case &c : cases) {
        // As given, each segment's ends swapped, and mirrored (met in another order).
        Case variants[] = {c, c, c};
        for (auto &s : variants[1].segments) std::swap(s.a, s.b);
        for (auto &p : variants[2].pos) p.x = -p.x;
        for (int v = 0; v < 3; ++v) {
            long work = 0;
            EXPECT_EQ(sweep(variants[v], work), c.disjoint) << c.name << ", variant " << v;
        }
    }
}

TEST(segment_sweep, spends_n_log_n_and_stops_at_its_budget) {
    Case zigzag{"zigzag", {}, {}, true};
    constexpr std::uint32_t kCorners = 1000;
    for (std::uint32_t i = 0; i < kCorners; ++i) {
        zigzag.pos.push_back({double(i), double(i % 2)});
        if (i > 0) zigzag.segments.push_back({i - 1, i});
    }
    long work = 0;
    EXPECT_TRUE(sweep(zigzag, work));
    const long needed = work;
    EXPECT_LT(needed, 32 * kCorners);
    work = 0;
    EXPECT_FALSE(sweep(zigzag, work, needed / 2));
    EXPECT_GT(work, needed / 2);
    EXPECT_LE(work, needed);
}

}  // namespace
