#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/orient.h"

using namespace tarvex;

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(orient, build_rotate_quaternion_halves_the_angle_and_clamps_the_cosine) {
    // cosine -> (z; w) for the axis (0, 0, 1); the real part of a half turn is cos(pi/2) as
    // computed, not an exact zero.
    const double cases[][3] = {{0.0, std::sqrt(0.5), std::sqrt(0.5)}, {0.5, 0.5, 0.8660254037844386},
                               {1.0, 0, 1}, {1.5, 0, 1}, {nan, 0, 1},
                               {-1.0, 1, 6.123233995736766e-17}, {-3.0, 1, 6.123233995736766e-17}};
    for (const auto &[cosAngle, z, w] : cases) {
        const _Quaternion q = Build_Rotate_Quaternion({0, 0, 1}, cosAngle);
        EXPECT_TRUE(q.vect_part.x == 0 && q.vect_part.y == 0) << cosAngle;
        EXPECT_NEAR(q.vect_part.z, z, 1e-15) << cosAngle;
        EXPECT_NEAR(q.real_part, w, 1e-16) << cosAngle;
    }
    // The axis is scaled as given, not normalised.
    EXPECT_NEAR(Build_Rotate_Quaternion({0, 2, 0}, -1.0).vect_part.y, 2.0, 1e-15);
}

struct Camera {
    _Vector pos, at, up, axis;
    double angle;
    _Vector upAfter;
};

void check(const Camera &c, double tolerance) {
    SCOPED_TRACE(testing::Message() << "pos " << c.pos.x << ',' << c.pos.y << ',' << c.pos.z << " at "
                                    << c.at.x << ',' << c.at.y << ',' << c.at.z << " up " << c.up.x
                                    << ',' << c.up.y << ',' << c.up.z);
    _Vector up = c.up, axis{9, 9, 9};
    double angle = 99;
    Convert_Camera_Model(c.pos, c.at, up, axis, angle);
    EXPECT_NEAR(axis.x, c.axis.x, tolerance);
    EXPECT_NEAR(axis.y, c.axis.y, tolerance);
    EXPECT_NEAR(axis.z, c.axis.z, tolerance);
    EXPECT_NEAR(angle, c.angle, tolerance);
    if (!std::isnan(c.upAfter.x)) {
        EXPECT_DOUBLE_EQ(up.x, c.upAfter.x);
        EXPECT_DOUBLE_EQ(up.y, c.upAfter.y);
        EXPECT_DOUBLE_EQ(up.z, c.upAfter.z);
    }
}

constexpr _Vector unchecked{nan, 0, 0};

TEST(orient, camera_placements_give_the_composed_rotation) {
    const double s = std::sqrt(0.5);
    const Camera cases[] = {
        {{0, 0, 10}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 0, {0, 1, 0}},
        {{0, 0, -10}, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, pi, unchecked},
        {{10, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, 1.57079633, unchecked},
        {{0, 10, 0}, {0, 0, 0}, {0, 0, -1}, {-1, 0, 0}, 1.57079633, unchecked},
        {{0, 0, 10}, {0, 0, 0}, {1, 0, 0}, {0, 0, -1}, 1.57079633, unchecked},
        {{0, 0, 10}, {0, 0, 0}, {0, -1, 0}, {0, 0, -1}, pi, unchecked},
        {{5, 5, 5}, {0, 0, 0}, {0, 1, 0}, {-0.590284499, 0.769273736, 0.244503845}, 0.987861057, unchecked},
        {{1, 2, 3}, {4, 6, 3}, {0, 0, 1}, {0.904534034, -0.301511345, -0.301511345}, 1.67096375, unchecked},
        // Tilts of the view (then rolls of up) on either side of the 1e-8 squared-length
        // threshold: below it the first rotation is skipped and the roll takes the fallback axis.
        {{0, 0, 0}, {0.00001, 0, -1}, {0, 1, 0}, {1, 0, 0}, 0, unchecked},
        {{0, 0, 0}, {0.00007, 0, -1}, {0, 1, 0}, {1, 0, 0}, 0, unchecked},
        {{0, 0, 0}, {0.0002, 0, -1}, {0, 1, 0}, {0, -1.00000000125, 0}, 0.000199999997, unchecked},
        {{0, 0, 0}, {0, 0, -1}, {0.001, 1, 0}, {0, 0, -1}, 0.000999999667, unchecked},
        {{0, 0, 0}, {0, 0, -1}, {0.00001, 1, 0}, {0, 0, 1}, 0.0000100000004, unchecked},
        {{0, 0, 0}, {0, 0, -1}, {0.00007, 1, 0}, {0, 0, 0.999999955}, 7.00000029e-05, unchecked},
        {{0, 0, 0}, {0, 0, -1}, {1e-7, 1, 0}, {0, 0, 1}, 9.88431212e-08, unchecked},  // half-angle sine 5e-8
        {{0, 0, 0}, {0, 0, -1}, {0.0002, 1, 0}, {0, 0, -1.00000000125}, 0.000199999997, unchecked},
        // Half-turn rolls take a fallback axis; an angle above pi is kept.
        {{0, 0, 0}, {-1, 2, 2}, {-1, 1, 0}, {-0.196116135, 0.784464541, -0.588348405}, 3.88917700, unchecked},
        {{0, 0, 0}, {1, 0, 0}, {0, -1, 0}, {-0.707106781, 0, -0.707106781}, pi, unchecked},
        // `up` comes back scaled to unit length, not made perpendicular to the view.
        {{0, 0, 10}, {0, 0, 0}, {0, 2, 2}, {1, 0, 0}, 0, {0, s, s}},
    };
    for (const Camera &c : cases) check(c, 1e-8);
}

TEST(orient, degenerate_cameras_get_defined_orientations) {
    const Camera cases[] = {
        // No usable view direction: the Viewpoint default, with `up` untouched.
        {{1, 2, 3}, {1, 2, 3}, {0, 2, 0}, {0, 0, 1}, 0, {0, 2, 0}},
        {{0, 0, 0}, {1e200, 0, 0}, {0, 2, 0}, {0, 0, 1}, 0, {0, 2, 0}},  // overflows when squared
        {{0, 0, 0}, {nan, 0, 0}, {0, 2, 0}, {0, 0, 1}, 0, {0, 2, 0}},
        {{0, 0, 0}, {0, inf, 0}, {0, 2, 0}, {0, 0, 1}, 0, {0, 2, 0}},
        // No usable up, or up along the view: the first rotation alone.
        {{10, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 1, 0}, pi / 2, {0, 0, 0}},
        {{10, 0, 0}, {0, 0, 0}, {inf, 0, 0}, {0, 1, 0}, pi / 2, {inf, 0, 0}},
        {{10, 0, 0}, {0, 0, 0}, {3, 0, 0}, {0, 1, 0}, pi / 2, {1, 0, 0}},
        {{0, 0, 10}, {0, 0, 0}, {0, 0, 5}, {1, 0, 0}, 0, {0, 0, 1}},
    };
    for (const Camera &c : cases) check(c, 1e-12);
}

}  // namespace
