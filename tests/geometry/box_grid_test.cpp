#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "surface_checks.h"

namespace {

using namespace geometry_test;
namespace g = tarvex::geometry;

struct ExpectedFace {
    V normal;
    int axis;  // coordinate that is constant on the face
    double value;
};

TEST(box, corners_normals_and_face_numbering) {
    // q-box: a 6 x 4 x 2 box centred on the origin. Face numbers follow the Box page:
    // orientation (y) far/near, major (z) far/near, minor (x) far/near. Swapping major and minor
    // makes the axis triple left-handed: the faces must still face out, with 2/3 and 4/5 swapped.
    const ExpectedFace right_handed[6] = {{{0, 1, 0}, 1, 2}, {{0, -1, 0}, 1, -2},
                                          {{0, 0, 1}, 2, 1}, {{0, 0, -1}, 2, -1},
                                          {{1, 0, 0}, 0, 3}, {{-1, 0, 0}, 0, -3}};
    const int swap_order[6] = {0, 1, 4, 5, 2, 3};
    for (const bool swapped : {false, true}) {
        const g::Vec3 along_z{0, 0, 2}, along_x{6, 0, 0};
        const g::Surface s = g::tessellate_box({0, 4, 0}, swapped ? along_x : along_z,
                                               swapped ? along_z : along_x, {-3, -2, -1});
        const auto fs = faces(s);
        ASSERT_EQ(fs.size(), 6u);
        std::set<std::tuple<float, float, float>> corners;
        for (std::size_t i = 0; i < s.coords.size(); i += 3)
            corners.insert({s.coords[i], s.coords[i + 1], s.coords[i + 2]});
        EXPECT_EQ(corners.size(), 8u);
        for (float x : {-3.f, 3.f})
            for (float y : {-2.f, 2.f})
                for (float z : {-1.f, 1.f}) EXPECT_TRUE(corners.count({x, y, z}));
        for (std::size_t f = 0; f < 6; ++f) {
            const ExpectedFace &e = right_handed[swapped ? swap_order[f] : f];
            EXPECT_EQ(fs[f].source, f);
            ASSERT_EQ(fs[f].index.size(), 4u);
            const V wound = face_normal(s, fs[f]);
            EXPECT_GT(dot(wound, e.normal), 0) << "face " << f;
            for (std::int32_t i : fs[f].index) {
                const V p = point(s, i), n = normal(s, i);
                EXPECT_EQ((&p.x)[e.axis], e.value) << "face " << f;
                EXPECT_NEAR(norm(n - e.normal), 0, 1e-6) << "face " << f;
            }
        }
    }
}

TEST(trigrid, alternating_diagonals_numbered_cell_by_cell) {
    // 3 x 3 points, index = row * 3 + column.
    std::vector<float> pts;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) pts.insert(pts.end(), {float(c), float(r), 0});
    const g::Surface s = g::tessellate_trigrid(3, 3, pts);
    const std::vector<std::int32_t> expected = {
        0, 1, 4, -1, 0, 4, 3, -1,  // cell (0,0): diagonal 0-4
        1, 2, 4, -1, 2, 5, 4, -1,  // cell (0,1): diagonal 2-4
        3, 4, 6, -1, 4, 7, 6, -1,  // cell (1,0): diagonal 4-6
        4, 5, 8, -1, 4, 8, 7, -1,  // cell (1,1): diagonal 4-8
    };
    EXPECT_EQ(s.coord_index, expected);
    ASSERT_EQ(s.face_source.size(), 8u);
    for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(s.face_source[i], i);
    // Too few points, or a grid without cells: nothing.
    EXPECT_TRUE(g::tessellate_trigrid(3, 3, std::span(pts).first(20)).coord_index.empty());
    EXPECT_TRUE(g::tessellate_trigrid(1, 9, pts).coord_index.empty());
}

}  // namespace
