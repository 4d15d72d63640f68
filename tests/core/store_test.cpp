#include <gtest/gtest.h>

#include <array>
#include <bit>

#include "core/scene_store.h"

using namespace tarvex;

namespace {

// The defaults that are never written (the others show in the writer's golden files), counts,
// and emptying (clean_up is exercised by the next test).
TEST(store, defaults_counts_and_emptying) {
    clean_up();
    const Viewpoint *vp = newViewpoint("v");
    EXPECT_EQ(std::bit_cast<unsigned>(vp->fieldOfView), 0x3F490FD8u);  // 0.785398, not pi/4
    EXPECT_TRUE(vp->jump == 1 && vp->description == "v" && newLight("")->on == 1);
    EXPECT_TRUE(newShape("x", -1, 0) == nullptr && newShape("x", 0, -1) == nullptr);
    EXPECT_NE(newShape("s", 2147483647, 2147483647), nullptr);  // a count commits no memory
    EXPECT_TRUE(numberOfShapes() == 1 && numberOfViewpoints() == 1 && numberOfLights() == 1);
    newSceneGraph();
    EXPECT_EQ(numberOfShapes() + numberOfViewpoints() + numberOfLights(), 0);
}

// A record repeats only when it equals every earlier one. For each compared member in turn, a
// row gives its values in three records (named A, B, A) and whether each record is unique: -0
// equals 0 (all three are equal), and A B A keeps the third.
TEST(store, repeats_equal_every_earlier_record_in_every_compared_member_but_the_name) {
    const std::pair<std::array<float, 3>, std::array<int, 3>> cases[] = {
        {{0.0f, -0.0f, 0.0f}, {1, 0, 0}}, {{1, 2, 1}, {1, 1, 1}}};
    for (int n = 0; n < 36; ++n) {
        const int member = n / 2;
        const auto isUnique = member < 8 || member == 16 ? viewpointIsUnique : lightIsUnique;
        const auto &[values, unique] = cases[n % 2];
        clean_up();
        for (int i = 0; i < 3; ++i) {
            Viewpoint &v = *newViewpoint(i == 1 ? "B" : "A");
            DirectionalLight &l = *newLight(i == 1 ? "B" : "A");
            float *floats[] = {
                &v.fieldOfView,       &v.orientation.x, &v.orientation.y, &v.orientation.z,
                &v.orientation.angle, &v.position.x,    &v.position.y,    &v.position.z,
                &l.ambientIntensity,  &l.color.r,       &l.color.g,       &l.color.b,
                &l.direction.x,       &l.direction.y,   &l.direction.z,   &l.intensity};
            member < 16 ? void(*floats[member] = values[i])
                        : void((member == 16 ? v.jump : l.on) = static_cast<int>(values[i]));
        }
        for (int i = 0; i < 3; ++i) EXPECT_EQ(isUnique(i), unique[i]) << member << ' ' << i;
    }
}

}  // namespace
