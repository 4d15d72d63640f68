#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <string>

#include "core/vrml.h"

using namespace tarvex;

namespace {

class store : public ::testing::Test {
protected:
    void SetUp() override { clean_up(); }
    void TearDown() override { clean_up(); }
};

// The float members that the duplicate tests compare.
std::array<float *, 8> compared(Viewpoint &v) {
    return {&v.fieldOfView, &v.orientation.x, &v.orientation.y, &v.orientation.z,
            &v.orientation.angle, &v.position.x, &v.position.y, &v.position.z};
}
std::array<float *, 8> compared(DirectionalLight &l) {
    return {&l.ambientIntensity, &l.color.r, &l.color.g, &l.color.b,
            &l.direction.x, &l.direction.y, &l.direction.z, &l.intensity};
}

// Other defaults show in the reader's and writer's results; these two are never written.
TEST_F(store, viewpoint_defaults_that_are_not_written) {
    const Viewpoint *vp = newViewpoint("");
    ASSERT_NE(vp, nullptr);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(vp->fieldOfView), 0x3F490FD8u);  // 0.785398, not pi/4
    EXPECT_EQ(vp->jump, 1);
}

TEST_F(store, counts_growth_failure_and_emptying) {
    const Shape *a = newShape("a", 0, 0);
    EXPECT_EQ(newShape("x", -1, 0), nullptr);
    EXPECT_EQ(newShape("x", 0, -1), nullptr);
    // A declared count commits no memory: elements arrive as they are read.
    const Shape *huge = newShape("b", INT_MAX, INT_MAX);
    ASSERT_NE(huge, nullptr);
    EXPECT_TRUE(huge->geometry.coord.point.v.empty() && huge->geometry.coordIndex.v.empty());
    newViewpoint("v");
    newLight("l");
    ASSERT_EQ(numberOfShapes(), 2);
    EXPECT_EQ(getShape(0), a);
    EXPECT_EQ(getShape(1), huge);

    newSceneGraph();
    EXPECT_EQ(numberOfShapes() + numberOfViewpoints() + numberOfLights(), 0);
    newShape("c", 0, 0);
    newViewpoint("w");
    newLight("m");
    EXPECT_EQ(getShape(0)->defName + getViewpoint(0)->defName + getLight(0)->defName, "cwm");
    clean_up();
    EXPECT_EQ(numberOfShapes() + numberOfViewpoints() + numberOfLights(), 0);
}

TEST_F(store, a_record_repeats_only_when_equal_to_every_earlier_one_but_for_names) {
    auto add = [](float x, std::string_view name = "A") { newViewpoint(name)->position.x = x; };
    add(1), add(1, "other name"), add(1);
    EXPECT_EQ(viewpointIsUnique(0), 1);
    EXPECT_EQ(viewpointIsUnique(1), 0);
    EXPECT_EQ(viewpointIsUnique(2), 0);
    clean_up();
    add(1), add(2), add(1);
    EXPECT_EQ(viewpointIsUnique(1), 1);
    EXPECT_EQ(viewpointIsUnique(2), 1);  // equals the first, differs from the second
    clean_up();
    add(0.0f), add(-0.0f);
    getViewpoint(1)->description = "different";
    EXPECT_EQ(viewpointIsUnique(1), 0);

    for (std::size_t field = 0; field <= 8; ++field) {
        clean_up();
        newViewpoint("A");
        Viewpoint *b = newViewpoint("A");
        field == 8 ? void(b->jump = 0) : void(*compared(*b)[field] += 0.5f);
        EXPECT_EQ(viewpointIsUnique(1), 1) << "viewpoint member " << field;
        newLight("A");
        DirectionalLight *l = newLight("A");
        field == 8 ? void(l->on = 0) : void(*compared(*l)[field] += 0.5f);
        EXPECT_EQ(lightIsUnique(1), 1) << "light member " << field;
    }
    clean_up();
    newLight("one"), newLight("two"), newLight("");
    EXPECT_EQ(lightIsUnique(0), 1);
    EXPECT_EQ(lightIsUnique(1), 0);
    EXPECT_EQ(lightIsUnique(2), 0);
}

}  // namespace
