#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/surface_builder.h"
#include "surface_checks.h"

namespace {

using namespace geometry_test;
namespace g = tarvex::geometry;
using M = g::Subdivision::Method;

TEST(nurbs, rational_circle_with_premultiplied_points_lies_on_the_unit_circle) {
    // Nine points of a quadratic circle; the corner points (±1, ±1) carry weight √2/2 and are
    // stored multiplied by it.
    const float w = std::sqrt(2.0f) / 2;
    const std::vector<float> pts = {1, 0, 0,  1,  w, w, 0, w,  0, 1, 0, 1,  -w, w, 0, w, -1, 0,
                                    0, 1, -w, -w, 0, w, 0, -1, 0, 1, w, -w, 0,  w, 1, 0, 0,  1};
    const std::vector<float> knots = {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1};
    for (g::Subdivision s :
         {g::Subdivision{M::constant, 6, 1}, g::Subdivision{M::world_space, 0.1f, 0},
          g::Subdivision{M::screen_space, 1, 1}}) {
        const auto line = g::tessellate_nurb_curve({3, pts, knots}, s);
        ASSERT_TRUE(line);
        const std::size_t n = line->coords.size() / 3;
        ASSERT_GE(n, 9u);
        for (std::size_t i = 0; i < n; ++i) {
            const float *p = &line->coords[3 * i];
            EXPECT_NEAR(std::hypot(p[0], p[1]), 1, 1e-6);
        }
        EXPECT_EQ(line->coord_index.size(), n + 1);
        EXPECT_EQ(line->coord_index.back(), -1);
        // Closed: it starts and ends at (1, 0).
        EXPECT_NEAR(line->coords[0], 1, 1e-6);
        EXPECT_NEAR(line->coords[3 * n - 3], 1, 1e-6);
    }
    // 6 segments in each of the 4 spans.
    EXPECT_EQ(g::tessellate_nurb_curve({3, pts, knots}, {M::constant, 6, 1})->coords.size(),
              3u * 25);
}

TEST(nurbs, inconsistent_data_is_refused) {
    const std::vector<float> line = {0, 0, 0, 1, 2, 0, 0, 1, 4, 0, 0, 1};
    struct Case {
        const char *what;
        std::uint32_t order;
        std::vector<float> points, knots;
    };
    const Case cases[] = {
        {"order 1", 1, line, {0, 1, 2, 3}},
        {"more order than points", 4, line, {0, 0, 0, 0, 1, 1, 1}},
        {"knot count", 2, line, {0, 0, 1, 1}},
        {"decreasing knots", 2, line, {0, 0, 1, 0.5f, 1}},
        {"empty range", 2, line, {1, 1, 1, 1, 1}},
        {"not a number", 2, line, {0, 0, NAN, 1, 1}},
        {"partial point", 2, {0, 0, 0, 1, 2, 0, 0, 1, 4}, {0, 0, 1, 1}},
        {"order far too high", 100, line, std::vector<float>(103, 0)},
    };
    for (const Case &c : cases)
        EXPECT_FALSE(g::tessellate_nurb_curve({c.order, c.points, c.knots}, {})) << c.what;
    const std::vector<float> knots = {0, 0, 0.5f, 1, 1};
    const auto ok = g::tessellate_nurb_curve({2, line, knots}, {M::constant, 2, 1});
    ASSERT_TRUE(ok);
    // Two linear spans, 2 segments each: x = 0, 1, 2, 3, 4.
    ASSERT_EQ(ok->coords.size(), 15u);
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(ok->coords[3 * i], i, 1e-6);
}

// A bilinear patch over the unit square in z = 0.
const std::vector<float> kSquare = {0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1};
const std::vector<float> kLinear = {0, 0, 1, 1};

// A closed linear trim loop through (u, v) corners, weight 1.
std::vector<float> ring(double lo, double hi) {
    return {float(lo), float(lo), 1,         float(hi), float(lo), 1,         float(hi), float(hi),
            1,         float(lo), float(hi), 1,         float(lo), float(lo), 1};
}
const std::vector<float> kRingKnots = {0, 0, 1, 2, 3, 4, 4};

TEST(nurbs, patch_grid_positions_and_normals) {
    bool trimmed = false;
    const auto s = g::tessellate_nurb_patch({2, 2, 2, 2, kSquare, kLinear, kLinear}, {},
                                            {M::constant, 4, 4}, trimmed);
    ASSERT_TRUE(s);
    EXPECT_TRUE(trimmed);  // nothing to trim
    ASSERT_EQ(s->coords.size(), 3u * 25);
    EXPECT_EQ(faces(*s).size(), 32u);
    for (std::size_t i = 0; i < 25; ++i) {
        EXPECT_NEAR(s->coords[3 * i], (i % 5) / 4.0, 1e-6);
        EXPECT_NEAR(s->coords[3 * i + 1], (i / 5) / 4.0, 1e-6);
        EXPECT_NEAR(normal(*s, i).z, 1, 1e-6);
    }
    for (const Face &f : faces(*s)) EXPECT_GT(face_normal(*s, f).z, 0);

    // q-nurbpatch: orders 4 and 3, 3 rows of 4; clamped knots put the grid's corners on the
    // corner control points.
    const std::vector<float> pts = {-3, -2, 0, 1, -1, -2, 2, 1, 1, -2, 0,  1, 3, -2, 0,  1,
                                    -3, 0,  0, 1, -1, 0,  2, 1, 1, 0,  -2, 1, 3, 0,  -2, 1,
                                    -3, 2,  0, 1, -1, 2,  0, 1, 1, 2,  0,  1, 3, 2,  0,  1};
    const std::vector<float> uk = {0, 0, 0, 0, 1, 1, 1, 1}, vk = {0, 0, 0, 1, 1, 1};
    const auto q =
        g::tessellate_nurb_patch({4, 3, 3, 4, pts, uk, vk}, {}, {M::constant, 10, 6}, trimmed);
    ASSERT_TRUE(q);
    const std::size_t n = q->coords.size() / 3;
    ASSERT_EQ(n, 11u * 7u);
    const float corners[4][3] = {{-3, -2, 0}, {3, -2, 0}, {-3, 2, 0}, {3, 2, 0}};
    const std::size_t at[4] = {0, 10, n - 11, n - 1};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(q->coords[3 * at[c] + k], corners[c][k], 1e-5);
    // Wrong knot count for the columns: refused.
    EXPECT_FALSE(g::tessellate_nurb_patch({4, 3, 3, 4, pts, vk, uk}, {}, {}, trimmed));

    // Curved: quadratic in u over x = 0, 0.5, 1 and z = 0, 0, 1, linear in y: the surface
    // z = x^2, whose normal is (-2x 0 1) / sqrt(4x^2 + 1) everywhere, edges included.
    const std::vector<float> bowl = {0, 0, 0, 1, 0.5f, 0, 0, 1, 1, 0, 1, 1,
                                     0, 1, 0, 1, 0.5f, 1, 0, 1, 1, 1, 1, 1};
    const std::vector<float> quadratic = {0, 0, 0, 1, 1, 1};
    const auto c = g::tessellate_nurb_patch({3, 2, 2, 3, bowl, quadratic, kLinear}, {},
                                            {M::constant, 4, 2}, trimmed);
    ASSERT_TRUE(c);
    ASSERT_EQ(c->coords.size(), 3u * 5 * 3);
    for (std::size_t i = 0; i < 15; ++i) {
        const V at = point(*c, static_cast<std::int32_t>(i));
        EXPECT_NEAR(at.z, at.x * at.x, 1e-6);
        const V want = (1 / std::sqrt(4 * at.x * at.x + 1)) * V{-2 * at.x, 0, 1};
        EXPECT_NEAR(std::abs(dot(normal(*c, static_cast<std::int32_t>(i)), want)), 1, 1e-6)
            << "x " << at.x;
    }
}

TEST(nurbs, knot_spans_beyond_the_grid_cap_are_sampled_in_strides) {
    // Order 2 (linear) over 2000 columns and 40 rows: 1,999 x 39 knot spans. Every span sampled
    // at least once would make 78,000 cells; the grid keeps to its cap.
    const std::uint32_t rows = 40, columns = 2000;
    std::vector<float> pts;
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c)
            pts.insert(pts.end(), {float(c), float(r), float((c + r) % 3), 1});
    const auto knots = [](std::uint32_t n) {
        std::vector<float> k = {0};
        for (std::uint32_t i = 0; i < n; ++i) k.push_back(float(i));
        k.push_back(float(n - 1));
        return k;
    };
    const std::vector<float> uk = knots(columns), vk = knots(rows);
    bool trimmed = false;
    for (const g::Subdivision s :
         {g::Subdivision{M::constant, 24, 12}, g::Subdivision{M::constant, 1, 1}}) {
        const auto p = g::tessellate_nurb_patch({2, 2, rows, columns, pts, uk, vk}, {}, s, trimmed);
        ASSERT_TRUE(p);
        EXPECT_LE(faces(*p).size(), 2 * std::size_t(g::kMaxGridCells));
        EXPECT_LE(p->asked_triangles, 2 * std::uint64_t(g::kMaxGridCells));
        // The grid still spans the whole patch.
        float max_x = 0, max_y = 0;
        for (std::size_t i = 0; i < p->coords.size(); i += 3) {
            max_x = std::max(max_x, p->coords[i]);
            max_y = std::max(max_y, p->coords[i + 1]);
        }
        EXPECT_EQ(max_x, float(columns - 1));
        EXPECT_EQ(max_y, float(rows - 1));
    }
}

TEST(nurbs, a_trim_of_many_long_edges_costs_bounded_work) {
    // A zigzag loop of n edges, each spanning nearly the whole v range. 40,000 of them at the
    // largest grid: stored once, every row looks at them all, and past the cap the trim is given
    // up (untrimmed, with the caller told) instead of running on. A few hundred are trimmed.
    for (const int n : {40000, 200}) {
        std::vector<float> zig, k = {0};
        for (int i = 0; i <= n; ++i)
            zig.insert(zig.end(), {float(i) / n, i % 2 ? 0.99f : 0.01f, 1});
        zig.insert(zig.end(), {0, 0.01f, 1});
        for (int i = 0; i <= n + 1; ++i) k.push_back(float(i));
        k.push_back(float(n + 1));
        const std::vector<std::vector<g::NurbCurve>> loops = {{{2, zig, k}}};
        const bool many = n > 1000;
        const float grid = many ? 1024 : 256;
        bool trimmed = many;
        const auto s = g::tessellate_nurb_patch({2, 2, 2, 2, kSquare, kLinear, kLinear}, loops,
                                                {M::constant, grid, grid}, trimmed);
        ASSERT_TRUE(s);
        EXPECT_EQ(trimmed, !many) << n;
        if (many) {
            // The whole patch untrimmed (256 x 256 cells at the cap), not the rows after giving
            // up; the trim's work reported for the budget.
            EXPECT_EQ(faces(*s).size(), 2u * 256 * 256);
            EXPECT_GT(s->work, std::uint64_t{1} << 24);
        } else {  // about half the cells inside
            EXPECT_LT(faces(*s).size(), 2u * 256 * 256 * 6 / 10);
            EXPECT_GT(faces(*s).size(), 2u * 256 * 256 * 4 / 10);
        }
    }
}

TEST(nurbs, normals_where_the_surface_derivative_vanishes_on_every_edge_row_and_column) {
    // A flat quadratic patch in the plane spanned by U = (2 0 2) and V = (0 3 0), its first
    // and last control rows and columns doubled: the derivative across each edge is zero
    // there, so the edge normals must come from the neighbouring grid points. Every normal is
    // the plane's, (U x V) / |U x V| = (-1 0 1) / sqrt 2, on the side the triangles face.
    const float at[4] = {0, 0, 1, 1};
    std::vector<float> pts;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) pts.insert(pts.end(), {2 * at[c], 3 * at[r], 2 * at[c], 1});
    const std::vector<float> knots = {0, 0, 0, 0.5f, 1, 1, 1};
    const V want = (1 / std::sqrt(2.0)) * V{-1, 0, 1};
    for (const g::Subdivision s :
         {g::Subdivision{M::constant, 4, 4}, g::Subdivision{M::constant, 5, 3}}) {
        bool trimmed = false;
        const auto patch =
            g::tessellate_nurb_patch({3, 3, 4, 4, pts, knots, knots}, {}, s, trimmed);
        ASSERT_TRUE(patch);
        for (const Face &f : faces(*patch)) EXPECT_GT(dot(face_normal(*patch, f), want), 0);
        const std::size_t columns = 2 * static_cast<std::size_t>(s.u) + 1;
        for (std::size_t i = 0; i < patch->coords.size() / 3; ++i) {
            const V n = normal(*patch, static_cast<std::int32_t>(i));
            EXPECT_NEAR(norm(n - want), 0, 1e-5)
                << "row " << i / columns << " column " << i % columns;
        }
    }
}

TEST(nurbs, world_space_subdivision_cuts_a_patch_into_edges_of_the_given_length) {
    // Flat bilinear patches of 4 x 1 and 1 x 3 with edges of 0.5: 8 x 2 and 2 x 6 cells.
    struct Case {
        float width, height;
        std::size_t columns, rows;  // grid points
    };
    for (const Case c : {Case{4, 1, 9, 3}, Case{1, 3, 3, 7}}) {
        const std::vector<float> pts = {0, 0,        0, 1, c.width, 0,        0, 1,
                                        0, c.height, 0, 1, c.width, c.height, 0, 1};
        bool trimmed = false;
        const auto s = g::tessellate_nurb_patch({2, 2, 2, 2, pts, kLinear, kLinear}, {},
                                                {M::world_space, 0.5f, 0}, trimmed);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->coords.size(), 3 * c.columns * c.rows) << c.width << " x " << c.height;
        EXPECT_EQ(faces(*s).size(), 2 * (c.columns - 1) * (c.rows - 1));
    }
}

TEST(nurbs, trim_loops_keep_the_even_odd_inside) {
    // 8 x 8 cells of 1/8 over the unit square: a loop round [0.25, 0.75]² keeps its 4 x 4 cells;
    // adding a loop round the whole square keeps the other 48 cells instead.
    const std::vector<float> inner = ring(0.25, 0.75), outer = ring(0, 1);
    const std::vector<std::vector<g::NurbCurve>> just_inner = {{{2, inner, kRingKnots}}};
    const std::vector<std::vector<g::NurbCurve>> both = {{{2, outer, kRingKnots}},
                                                         {{2, inner, kRingKnots}}};
    const std::vector<float> bad_knots = {0, 1, 2, 3, 4, 5, 6, 7};
    const std::vector<std::vector<g::NurbCurve>> broken = {{{2, inner, bad_knots}}};
    struct Case {
        const std::vector<std::vector<g::NurbCurve>> *loops;
        std::size_t triangles;
        bool trimmed;
    };
    const Case cases[] = {
        {&just_inner, 4 * 4 * 2, true}, {&both, 48 * 2, true}, {&broken, 128, false}};
    for (const Case &c : cases) {
        bool trimmed = !c.trimmed;
        const auto s = g::tessellate_nurb_patch({2, 2, 2, 2, kSquare, kLinear, kLinear}, *c.loops,
                                                {M::constant, 8, 8}, trimmed);
        ASSERT_TRUE(s);
        EXPECT_EQ(trimmed, c.trimmed);
        const auto fs = faces(*s);
        EXPECT_EQ(fs.size(), c.triangles);
        if (c.loops == &just_inner)
            for (const Face &f : fs)
                for (std::int32_t i : f.index) {
                    EXPECT_GE(s->coords[3 * i], 0.25f - 1e-6f);
                    EXPECT_LE(s->coords[3 * i], 0.75f + 1e-6f);
                }
    }
}

}  // namespace
