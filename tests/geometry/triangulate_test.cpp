#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "geometry/tessellation.h"
#include "surface_checks.h"

namespace {

namespace g = tarvex::geometry;
using namespace geometry_test;
using Contours = std::vector<std::vector<std::uint32_t>>;

using Loops = std::vector<std::vector<std::pair<double, double>>>;

struct Result {
    bool ok = false;
    std::vector<float> points;
    std::vector<std::uint32_t> triangles;
    double signed_area = 0;         // of the triangles, in the xy plane
    double loops_area = 0;          // the loops' own shoelace area, of the same float points
    std::vector<double> centroids;  // x y per triangle
};

// Points given in xy (z = 0); each contour lists its points in order. `work` as the
// triangulation takes it.
Result run(const Loops &loops, std::uint64_t *work = nullptr) {
    Result r;
    Contours contours;
    for (const auto &loop : loops) {
        contours.emplace_back();
        for (auto [x, y] : loop) {
            contours.back().push_back(static_cast<std::uint32_t>(r.points.size() / 3));
            r.points.insert(r.points.end(), {float(x), float(y), 0});
        }
    }
    const auto at = [&](std::uint32_t i) { return &r.points[3 * i]; };
    for (const auto &c : contours)
        for (std::size_t i = 0; i < c.size(); ++i) {
            const float *p = at(c[i]), *q = at(c[(i + 1) % c.size()]);
            r.loops_area += (double(p[0]) * q[1] - double(q[0]) * p[1]) / 2;
        }
    r.ok = g::triangulate_contours(r.points, contours, r.triangles, work);
    for (std::size_t t = 0; t + 2 < r.triangles.size(); t += 3) {
        const float *a = at(r.triangles[t]), *b = at(r.triangles[t + 1]),
                    *c = at(r.triangles[t + 2]);
        r.signed_area += ((double(b[0]) - a[0]) * (double(c[1]) - a[1]) -
                          (double(b[1]) - a[1]) * (double(c[0]) - a[0])) /
                         2;
        r.centroids.push_back((a[0] + b[0] + c[0]) / 3.0);
        r.centroids.push_back((a[1] + b[1] + c[1]) / 3.0);
    }
    return r;
}

bool in_box(double x, double y, double x0, double y0, double x1, double y1) {
    return x > x0 && x < x1 && y > y0 && y < y1;
}

TEST(triangulate, even_odd_areas) {
    struct Case {
        double area;                 // expected, worked out by hand
        std::array<double, 4> hole;  // x0 y0 x1 y1: a box no triangle centroid may fall in
        const char *name;
        std::size_t points = 0;  // with the crossings added; 0: not counted
    };
    const std::pair<Case, Loops> cases[] = {
        {{16 - 4, {1, 1, 3, 3}, "square with square hole"},
         {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{1, 1}, {3, 1}, {3, 3}, {1, 3}}}},
        {{12, {1, 1, 3, 3}, "hole wound the same way"},
         {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{1, 1}, {1, 3}, {3, 3}, {3, 1}}}},
        {{9 - 2, {1, 1, 2, 3}, "U shape (concave)"},
         {{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}}},
        {{4, {}, "collinear and repeated points"},
         {{{0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 1}, {2, 2}, {0, 2}, {0, 0}}}},
        {{4 + 4 - 2 * 1, {1, 1, 2, 2}, "overlapping squares cancel where both cover"},
         {{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, {{1, 1}, {3, 1}, {3, 3}, {1, 3}}}},
        {{16 - 1.5, {}, "triangular hole touching a corner"},
         {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{0, 0}, {2, 1}, {1, 2}}}},
        {{18 - 2, {1, 1, 2, 2}, "two holes side by side"},
         {{{0, 0}, {6, 0}, {6, 3}, {0, 3}},
          {{1, 1}, {2, 1}, {2, 2}, {1, 2}},
          {{4, 1}, {5, 1}, {5, 2}, {4, 2}}}},
        {{2, {}, "bow tie crossing itself: two triangles of area 1 meeting at (1, 1)"},
         {{{0, 0}, {2, 2}, {2, 0}, {0, 2}}}},
        // q-genpoly-star0: the edges cross around a pentagon of area 2.4 (corners (-1.5, 0),
        // (1.5, 0), (1.8, -0.4), (0, -1), (-1.8, -0.4)); the tips are the shoelace area 12 less
        // twice the doubly covered pentagon.
        {{7.2, {-1.4, -0.5, 1.4, 0}, "star fills the tips, not the centre", 5 + 5},
         {{{0, 2}, {-3, -2}, {3, 0}, {-3, 0}, {3, -2}}}},
    };
    for (const auto &[c, loops] : cases) {
        const Result r = run(loops);
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(r.ok);
        // Every triangle counter-clockwise: the area sums without cancelling.
        EXPECT_NEAR(std::abs(r.signed_area), c.area, 1e-5) << c.name;
        EXPECT_GT(r.signed_area, 0) << c.name;
        for (std::size_t k = 2; k < r.points.size(); k += 3) EXPECT_EQ(r.points[k], 0) << c.name;
        EXPECT_EQ(c.points ? r.points.size() / 3 : 0, c.points);
        for (std::size_t t = 0; t < r.centroids.size(); t += 2)
            EXPECT_FALSE(in_box(r.centroids[t], r.centroids[t + 1], c.hole[0], c.hole[1], c.hole[2],
                                c.hole[3]))
                << c.name;
    }
}

TEST(triangulate, winding_follows_the_first_contour_in_any_plane) {
    // A clockwise square in a tilted plane (y, z) = t (0.6, 0.8): triangles must wind the same
    // way around the plane's normal as the contour does.
    std::vector<float> pts;
    const double sq[4][2] = {{0, 0}, {0, 2}, {2, 2}, {2, 0}};  // clockwise in (x, t)
    for (auto &p : sq) pts.insert(pts.end(), {float(p[0]), float(0.6 * p[1]), float(0.8 * p[1])});
    Contours contours{{0, 1, 2, 3}};
    std::vector<std::uint32_t> tris;
    ASSERT_TRUE(g::triangulate_contours(pts, contours, tris));
    ASSERT_EQ(tris.size(), 6u);
    // In-plane axes (1,0,0) and (0,0.6,0.8) have the cross product (0,-0.8,0.6); the contour runs
    // clockwise in them, so its Newell normal is 4 (0,0.8,-0.6). Each triangle's normal must point
    // the same way, and the areas add up to 4.
    double area = 0;
    const auto at = [&](std::uint32_t i) { return V{pts[3 * i], pts[3 * i + 1], pts[3 * i + 2]}; };
    for (std::size_t t = 0; t < tris.size(); t += 3) {
        const V n = cross(at(tris[t + 1]) - at(tris[t]), at(tris[t + 2]) - at(tris[t]));
        EXPECT_GT(n.y * 0.8 - n.z * 0.6, 0);
        area += norm(n) / 2;
    }
    EXPECT_NEAR(area, 4, 1e-5);
}

TEST(triangulate, no_area_is_refused) {
    EXPECT_FALSE(run({}).ok);
    EXPECT_FALSE(run({{{1, 1}, {1, 1}, {1, 1}}}).ok);
    // A contour traced twice cancels itself out.
    EXPECT_FALSE(run({{{0, 0}, {1, 0}, {0, 1}}, {{0, 0}, {1, 0}, {0, 1}}}).ok);
    // Indices out of range are ignored, not read.
    std::vector<float> pts{0, 0, 0, 1, 0, 0, 0, 1, 0};
    Contours contours{{0, 1, 99, 2}};
    std::vector<std::uint32_t> tris;
    EXPECT_TRUE(g::triangulate_contours(pts, contours, tris));
    EXPECT_EQ(tris.size(), 3u);
}

// Outlines that defeat ear clipping and hole bridges, each to be filled exactly (no fan) within
// a few dozen steps a corner: round outlines of many corners close together (teeth as deep as
// wide put the inner corners in a line but for float rounding; teeth of one depth crowd
// together), a square hole that half the corners of a 20,000-gon see (the bridge takes the
// first it finds; both loops counter-clockwise, so a fan would add the hole), a plate with a
// row of square holes, a plate with an 8 x 8 grid of them (collinear corners blocked every
// bridge), a spiral corridor, and a comb.
TEST(triangulate, crowded_outlines_are_filled_exactly_in_steps_per_corner) {
    struct Outline {
        const char *name;
        std::uint64_t steps_per_corner;
        Loops loops;
        double area = 0;  // 0: the loops' signed area
    };
    const auto toothed = [](std::uint32_t corners, double inner) {  // every other corner at `inner`
        std::vector<std::pair<double, double>> loop;
        for (std::uint32_t i = 0; i < corners; ++i) {
            const double a = 2 * std::numbers::pi * i / corners, r = i % 2 ? 1.0 : inner;
            loop.push_back({r * std::cos(a), r * std::sin(a)});
        }
        return Loops{loop};
    };
    const auto plate = [](int columns, int rows) {  // unit holes one apart, wound as the plate
        Loops loops{{{0, 0},
                     {2.0 * columns + 1, 0},
                     {2.0 * columns + 1, 2.0 * rows + 1},
                     {0, 2.0 * rows + 1}}};
        for (int i = 0; i < columns; ++i)
            for (int j = 0; j < rows; ++j) {
                const double x = 2 * i + 1, y = 2 * j + 1;
                loops.push_back({{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}});
            }
        return loops;
    };
    std::vector<std::pair<double, double>> spiral(4000);  // 20 turns out, 0.5 wide, and back
    for (int i = 0; i < 2000; ++i) {
        const double a = 20 * 2 * std::numbers::pi * i / 1999, r = 1 + a / (2 * std::numbers::pi);
        spiral[i] = {r * std::cos(a), r * std::sin(a)};
        spiral[3999 - i] = {(r - 0.5) * std::cos(a), (r - 0.5) * std::sin(a)};
    }
    std::vector<std::pair<double, double>> comb{{0, 0}, {4000, 0}, {4000, 2}};
    for (int t = 1999; t >= 0; --t)
        comb.insert(comb.end(), {{2.0 * t + 1, 2}, {2.0 * t + 1, 12}, {2.0 * t, 12}, {2.0 * t, 2}});
    const Outline outlines[] = {
        {"64000 teeth as deep as wide", 40, toothed(64000, 1 - 4 * std::numbers::pi / 64000)},
        {"32000 teeth 0.02 deep", 120, toothed(32000, 0.98)},
        {"a hole in a 20000-gon",
         60,
         {toothed(20000, 1)[0], {{-0.05, -0.05}, {0.05, -0.05}, {0.05, 0.05}, {-0.05, 0.05}}},
         10000 * std::sin(2 * std::numbers::pi / 20000) - 0.01},
        {"1000 holes in a row", 60, plate(1000, 1), 2001 * 3 - 1000},
        {"8 x 8 holes in a grid", 60, plate(8, 8), 17 * 17 - 64},
        {"spiral of 4000 corners", 60, {spiral}},
        {"comb of 2000 teeth", 60, {comb}},
    };
    for (const Outline &o : outlines) {
        SCOPED_TRACE(o.name);
        std::uint64_t work = UINT64_MAX, corners = 0;
        for (const auto &loop : o.loops) corners += loop.size();
        const Result r = run(o.loops, &work);
        EXPECT_TRUE(r.ok);
        EXPECT_LE(work, o.steps_per_corner * corners);
        const double area = o.area != 0 ? o.area : r.loops_area;
        EXPECT_NEAR(r.signed_area, area, 1e-5 * std::max(1.0, area));
    }
}

TEST(triangulate, random_tangles_are_covered_exactly_once) {
    // Polygons on a small integer grid cross themselves, touch, overlap and repeat points. At
    // sample points off the grid lines, the triangles must cover each point exactly as often as
    // the even-odd rule fills it: once inside, never outside, never twice.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 6), count(3, 9), holes(0, 2);
    for (int round = 0; round < 60; ++round) {
        Loops loops(1 + holes(rng));
        for (auto &l : loops) {
            const int n = count(rng);
            for (int i = 0; i < n; ++i) l.push_back({coord(rng), coord(rng)});
        }
        const Result r = run(loops);
        for (double y = 0.0371; y < 6; y += 0.1) {
            for (double x = 0.0123; x < 6; x += 0.1) {
                bool inside = false;
                for (const auto &l : loops)
                    for (std::size_t i = 0, j = l.size() - 1; i < l.size(); j = i++)
                        if ((l[i].second > y) != (l[j].second > y) &&
                            x < l[j].first + (y - l[j].second) * (l[i].first - l[j].first) /
                                                 (l[i].second - l[j].second))
                            inside = !inside;
                int covered = 0;
                for (std::size_t t = 0; t + 2 < r.triangles.size(); t += 3) {
                    const float *a = &r.points[3 * r.triangles[t]];
                    const float *b = &r.points[3 * r.triangles[t + 1]];
                    const float *c = &r.points[3 * r.triangles[t + 2]];
                    const auto side = [&](const float *p, const float *q) {
                        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]);
                    };
                    const double s1 = side(a, b), s2 = side(b, c), s3 = side(c, a);
                    covered += (s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0);
                }
                ASSERT_EQ(covered, inside ? 1 : 0) << "round " << round << " at " << x << " " << y;
            }
        }
    }
}

// Contours a VRML reader fills as the even-odd rule does go as one polygon; any that crosses or
// touches itself, repeats a corner or folds back does not. In any plane: each case is tried in
// xy, in yz and tilted.
TEST(triangulate, simple_contours_are_told_from_the_rest) {
    const struct {
        const char *name;
        std::vector<std::pair<double, double>> corners;
        bool simple;
    } cases[] = {
        {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true},
        {"clockwise L", {{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}, true},
        {"triangle with a corner twice", {{0, 0}, {1, 0}, {1, 0}}, true},
        {"bow tie", {{0, 0}, {1, 1}, {1, 0}, {0, 1}}, false},
        {"star", {{0, 1}, {-0.59, -0.81}, {0.95, 0.31}, {-0.95, 0.31}, {0.59, -0.81}}, false},
        {"corner twice in a row", {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}, false},
        {"corner met again", {{0, 0}, {2, 0}, {1, 1}, {2, 2}, {0, 2}, {1, 1}}, false},
        {"corner on a far edge", {{0, 0}, {2, 0}, {2, 2}, {1, 0}, {0, 2}}, false},
        {"spike back along an edge", {{0, 0}, {2, 0}, {1, 0}, {1, 1}}, false},
        {"no area", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, false},
    };
    for (const auto &c : cases) {
        for (int plane = 0; plane < 3; ++plane) {
            std::vector<float> pts;
            std::vector<std::uint32_t> contour;
            for (auto [x, y] : c.corners) {
                contour.push_back(static_cast<std::uint32_t>(pts.size() / 3));
                if (plane == 0) pts.insert(pts.end(), {float(x), float(y), 0});
                if (plane == 1) pts.insert(pts.end(), {5, float(x), float(y)});
                if (plane == 2)
                    pts.insert(pts.end(), {float(x), float(y), float(0.5 * x + 0.25 * y)});
            }
            EXPECT_EQ(g::contour_is_simple(pts, contour), c.simple) << c.name << " " << plane;
        }
    }
    // Too many corners to look at, or an index past the points: triangulated, not trusted.
    std::vector<float> circle;
    std::vector<std::uint32_t> all;
    for (std::uint32_t i = 0; i <= g::kMaxSimpleContour; ++i) {
        const double a = 2 * std::numbers::pi * i / (g::kMaxSimpleContour + 1);
        circle.insert(circle.end(), {float(std::cos(a)), float(std::sin(a)), 0});
        all.push_back(i);
    }
    EXPECT_FALSE(g::contour_is_simple(circle, all));
    all.pop_back();
    EXPECT_TRUE(g::contour_is_simple(circle, all));
    all.back() = g::kMaxSimpleContour + 7;
    EXPECT_FALSE(g::contour_is_simple(circle, all));
}

TEST(triangulate, hostile_self_crossing_polygon_ends_quickly) {
    // A {n/k} star polygon: every edge crosses thousands of others.
    const std::uint32_t n = 100001, k = 50000;
    std::vector<float> pts;
    Contours contours(1);
    for (std::uint32_t i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * ((std::uint64_t{i} * k) % n) / n;
        pts.insert(pts.end(), {float(std::cos(a)), float(std::sin(a)), 0});
        contours[0].push_back(i);
    }
    std::vector<std::uint32_t> tris;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(g::triangulate_contours(pts, contours, tris));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30);
    EXPECT_EQ(pts.size(), 3u * n);  // no crossings left behind
    for (std::uint32_t i : tris) EXPECT_LT(i, n);
}

}  // namespace
