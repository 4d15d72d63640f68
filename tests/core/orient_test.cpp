#include "core/orient.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tarvex;

namespace {

constexpr double pi = 3.14159265358979323846, inf = INFINITY, nan = NAN;

// cosine -> (z; w) for the axis (0, 0, 2): the axis is scaled as given, not normalised, and the
// real part of a half turn is cos(pi/2) as computed, not an exact zero.
TEST(orient, build_rotate_quaternion_halves_the_angle_and_clamps_the_cosine) {
    const double cases[][3] = {
        {0.5, 1, 0.8660254037844386}, {1.5, 0, 1}, {nan, 0, 1}, {-3.0, 2, 6.123233995736766e-17}};
    for (const auto &[c, z, w] : cases) {
        const _Quaternion q = Build_Rotate_Quaternion({0, 0, 2}, c);
        const double errors[] = {q.vect_part.x, q.vect_part.y, q.vect_part.z - z, q.real_part - w};
        for (double error : errors) EXPECT_LT(std::abs(error), 1e-15) << c;
    }
}

// A row gives the view direction (the target minus the position, which is (1, 2, 3) throughout)
// and the up vector, then the expected axis, angle and up vector after the call (nan: unchecked).
TEST(orient, camera_placements_give_the_composed_rotation) {
    const double cases[][13] = {
        {0, 0, -10, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0},
        {0, 0, 10, 0, 1, 0, 0, 1, 0, pi, 0, 1, 0},
        {-10, 0, 0, 0, 1, 0, 0, 1, 0, 1.57079633, 0, 1, 0},
        {0, -10, 0, 0, 0, -1, -1, 0, 0, 1.57079633, 0, 0, -1},
        {0, 0, -10, 1, 0, 0, 0, 0, -1, 1.57079633, 1, 0, 0},
        {0, 0, -10, 0, -1, 0, 0, 0, -1, pi, 0, -1, 0},
        {-5, -5, -5, 0, 1, 0, -0.590284499, 0.769273736, 0.244503845, 0.987861057, 0, 1, 0},
        {3, 4, 0, 0, 0, 1, 0.904534034, -0.301511345, -0.301511345, 1.67096375, 0, 0, 1},
        // Tilts of the view, then rolls of up, on either side of the 1e-8 squared-length
        // threshold: below it the first rotation is skipped and the roll takes the fallback axis
        // (the roll of 1e-7 has a half-angle sine of 5e-8, just above the same threshold).
        {0.00007, 0, -1, 0, 1, 0, 1, 0, 0, 0, nan},
        {0.0002, 0, -1, 0, 1, 0, 0, -1.00000000125, 0, 0.000199999997, nan},
        {0, 0, -1, 0.00007, 1, 0, 0, 0, 0.999999955, 7.00000029e-05, nan},
        {0, 0, -1, 1e-7, 1, 0, 0, 0, 1, 9.88431212e-08, nan},
        {0, 0, -1, 0.0002, 1, 0, 0, 0, -1.00000000125, 0.000199999997, nan},
        // Half-turn rolls take a fallback axis; an angle above pi is kept.
        {-1, 2, 2, -1, 1, 0, -0.196116135, 0.784464541, -0.588348405, 3.88917700, nan},
        {1, 0, 0, 0, -1, 0, -0.707106781, 0, -0.707106781, pi, nan},
        // `up` comes back scaled to unit length, not made perpendicular to the view.
        {0, 0, -10, 0, 2, 2, 1, 0, 0, 0, 0, 0.707106781, 0.707106781},
        // No usable view direction (zero, overflowing when squared, or not a number): the
        // Viewpoint default, with `up` untouched.
        {0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 2, 0},
        {1e200, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 2, 0},
        {nan, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 2, 0},
        // No usable up, or up along the view: the first rotation alone.
        {-10, 0, 0, 0, 0, 0, 0, 1, 0, pi / 2, 0, 0, 0},
        {-10, 0, 0, inf, 0, 0, 0, 1, 0, pi / 2, inf, 0, 0},
        {-10, 0, 0, 3, 0, 0, 0, 1, 0, pi / 2, 1, 0, 0}};
    for (const auto &r : cases) {
        _Vector up{r[3], r[4], r[5]}, axis{9, 9, 9};
        double angle = 99;
        Convert_Camera_Model({1, 2, 3}, {1 + r[0], 2 + r[1], 3 + r[2]}, up, axis, angle);
        const double got[] = {axis.x, axis.y, axis.z, angle, up.x, up.y, up.z};
        for (int k = 0; k < (std::isnan(r[10]) ? 4 : 7); ++k)
            EXPECT_TRUE(std::abs(got[k] - r[6 + k]) <= 1e-8 || got[k] == r[6 + k])
                << "row " << &r - cases << " value " << k << ": " << got[k];
    }
}

}  // namespace
