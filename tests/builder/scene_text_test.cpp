// Scene builder tests on small 3DMF texts, with expectations worked out by hand: one file of
// cases grouped by object kind, each group short.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <variant>

#include "scene_test_support.h"

namespace tarvex::builder::test {
namespace {

TEST(scene_builder, transforms_compose_in_file_order_and_end_with_their_group) {
    const Built b = build(R"(
        BeginGroup ( DisplayGroup ( ) )
          Translate ( 1 2 3 )
          Scale ( 2 2 2 )
          Point ( 1 0 0 )
          BeginGroup ( DisplayGroup ( ) )
            Rotate ( Z 1.5707963 )
            Point ( 1 0 0 )
          EndGroup ( )
          Point ( 0 1 0 )
        EndGroup ( )
        Point ( 1 0 0 )
    )");
    const auto placed = placed_shapes(b.scene);
    ASSERT_EQ(placed.size(), 4u);
    // Scale acts first (written last), then the translation.
    expect_near(world_point(b.scene, placed[0], 0), {3, 2, 3}, "scaled then translated");
    // The nested rotation acts before the outer scale and translation: (1,0,0) -> (0,1,0).
    expect_near(world_point(b.scene, placed[1], 0), {1, 4, 3}, "rotated, scaled, translated");
    // The rotation ended with its group.
    expect_near(world_point(b.scene, placed[2], 0), {1, 4, 3}, "after the inner group");
    // Everything ended with the outer group.
    expect_near(world_point(b.scene, placed[3], 0), {1, 0, 0}, "after the outer group");
}

TEST(scene_builder, a_mirroring_scale_is_baked_with_the_winding_reversed) {
    const Built b = build(R"(
        Translate ( 0 0 5 )
        Scale ( 1 1 -1 )
        Triangle ( 0 0 1  1 0 1  0 1 1 )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const FaceSet &fs = face_set(b, 0);
    EXPECT_FALSE(fs.ccw);
    EXPECT_EQ(count_nodes(b.scene, Node::Kind::transform), 0u);
    const auto placed = placed_shapes(b.scene);
    expect_near(world_point(b.scene, placed[0], 0), {0, 0, 4}, "first corner");
    expect_near(world_point(b.scene, placed[0], 2), {0, 1, 4}, "third corner");
}

TEST(scene_builder, forward_direction_mirrors_z_of_what_follows) {
    const Built b = build(R"(
        Point ( 0 0 1 )
        ForwardDirection ( 0 0 -1 )
        Translate ( 0 0 2 )
        Triangle ( 0 0 1  1 0 1  0 1 1 )
        Container ( DirectionalLight ( 0 0 1 True ) LightData ( True 1 1 1 1 ) )
        Matrix ( 1 1 0 0  1 2 0 0  0 1 2 0  0 0 0 1 )
        Triangle ( 0 0 1  1 0 1  0 1 1 )
    )");
    const auto placed = placed_shapes(b.scene);
    ASSERT_EQ(placed.size(), 3u);
    expect_near(world_point(b.scene, placed[0], 0), {0, 0, 1}, "before");
    expect_near(world_point(b.scene, placed[1], 0), {0, 0, -3}, "after");
    // Rows (1 1 0), (1 2 0), (0 1 2), then the translation, then z mirrored.
    expect_near(world_point(b.scene, placed[2], 0), {0, 1, -4}, "sheared first");
    expect_near(world_point(b.scene, placed[2], 1), {1, 2, -4}, "sheared second");
    expect_near(world_point(b.scene, placed[2], 2), {1, 3, -4}, "sheared third");
    EXPECT_FALSE(face_set(b, 1).ccw);
    ASSERT_EQ(b.scene.lights.size(), 1u);
    EXPECT_EQ(b.scene.lights[0].direction.z, -1.0f);
}

TEST(scene_builder, attributes_inherit_per_type_from_group_to_vertex) {
    const Built b = build(R"(
        Container ( AttributeSet ( ) DiffuseColor ( 0 1 0 ) SpecularColor ( 1 1 1 ) )
        Container (
          Triangle ( 0 0 0  1 0 0  0 1 0 )
          Container ( AttributeSet ( ) SpecularColor ( 0.5 0.5 0.5 ) )
          Container ( VertexAttributeSetList ( 3 Include 1  0 )
                      Container ( AttributeSet ( ) Normal ( 0 0.6 0.8 ) ) )
        )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const Material &m = b.scene.shapes[0].appearance.material;
    // The group's colour survives the geometry's set and the vertex's normal.
    EXPECT_EQ(m.diffuse, (Color{0, 1, 0}));
    EXPECT_EQ(m.specular.r, 0.5f);
    const FaceSet &fs = face_set(b, 0);
    EXPECT_TRUE(fs.colors.empty());
    // One per corner, each face's run ended by -1; the others take the face's normal.
    expect_all_near(fs.normals, {0, 0.6f, 0.8f, 0, 0, 1, 0, 0, 1});
    EXPECT_TRUE(std::ranges::equal(fs.normal_index, std::vector{0, 1, 2, -1}));
}

TEST(scene_builder, vertex_colours_over_face_colours_bind_per_corner) {
    const Built b = build(R"(
        Container (
          Polygon ( 4  0 0 0  1 0 0  1 1 0  0 1 0 )
          Container ( AttributeSet ( ) DiffuseColor ( 1 1 1 ) )
          Container ( VertexAttributeSetList ( 4 Exclude 1  1 )
                      Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )
                      Container ( AttributeSet ( ) DiffuseColor ( 0 1 0 ) )
                      Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) ) )
        )
    )");
    const FaceSet &fs = face_set(b, 0);
    ASSERT_TRUE(fs.color_per_vertex);
    // Corners 0..3: vertex 1 is excluded and keeps the geometry's white.
    expect_all_near(fs.colors, {1, 0, 0, 1, 1, 1, 0, 1, 0, 0, 0, 1});
    EXPECT_FALSE(fs.convex);
}

TEST(scene_builder, set_lists_that_count_more_parts_than_exist_are_clamped) {
    const Built b = build(R"(
        Container (
          PolyLine ( 3  0 0 0  1 0 0  1 1 0 )
          Container ( GeometryAttributeSetList ( 5 Exclude 0 )
                      Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )
                      Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) ) )
        )
    )");
    const auto &ls = std::get<LineSet>(b.scene.shapes.at(0).geometry);
    // One two-point polyline per segment, a colour each.
    EXPECT_EQ(ls.coord_index.size(), 6u);
    EXPECT_FALSE(ls.color_per_vertex);
    ASSERT_EQ(ls.colors.size(), 6u);
    EXPECT_EQ(ls.colors[0], 1.0f);
    EXPECT_EQ(ls.colors[5], 1.0f);
    EXPECT_TRUE(has_warning(b.diagnostics, "clamped"));
}

// The transparency of a file's last shape: TransparencyColor values are transparency when one
// in the file is (0 0 0), else opacity; a face's corners are averaged.
TEST(scene_builder, transparency_colour_reading_is_chosen_per_file) {
    const auto point = [](const char *rgb) {
        return "Container ( Point ( 0 0 0 ) Container ( AttributeSet ( ) TransparencyColor ( " +
               std::string(rgb) + " ) ) ) ";
    };
    const std::pair<std::string, float> cases[] = {
        {point("0 0 0") + point("0.9 0.6 0.9"), 0.8f},
        {point("0.2 0.2 0.5"), 0.7f},
        {R"(Container ( Triangle ( 0 0 0  1 0 0  0 1 0 )
              Container ( VertexAttributeSetList ( 3 Exclude 0 )
                          Container ( AttributeSet ( ) TransparencyColor ( 0 0 0 ) )
                          Container ( AttributeSet ( ) TransparencyColor ( 0.6 0.6 0.6 ) )
                          Container ( AttributeSet ( ) TransparencyColor ( 0.3 0.3 0.3 ) ) ) ))",
         0.3f},
    };
    for (const auto &[file, want] : cases) {
        const Built b = build(file);
        ASSERT_FALSE(b.scene.shapes.empty()) << file;
        EXPECT_NEAR(b.scene.shapes.back().appearance.material.transparency, want, 1e-6) << file;
    }
}

TEST(scene_builder, material_follows_the_attributes_and_illumination) {
    const Built b = build(R"(
        Container ( Triangle ( 0 0 0  1 0 0  0 1 0 )
          Container ( AttributeSet ( ) SpecularControl ( 64 ) AmbientCoefficient ( 2 )
                      SpecularColor ( 1 1 1 ) ) )
        LambertIllumination ( )
        Container ( Triangle ( 0 0 0  1 0 0  0 1 0 )
          Container ( AttributeSet ( ) SpecularColor ( 1 1 1 ) DiffuseColor ( 0 0 1 ) ) )
        NULLIllumination ( )
        Container ( Triangle ( 0 0 0  1 0 0  0 1 0 )
          Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) ) )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 3u);
    const Material &phong = b.scene.shapes[0].appearance.material;
    EXPECT_EQ(phong.shininess, 0.5f);
    EXPECT_EQ(phong.ambient_intensity, 1.0f);
    EXPECT_EQ(phong.specular.g, 1.0f);
    EXPECT_EQ(phong.diffuse.r, 0.8f);  // no DiffuseColor anywhere: VRML's default
    EXPECT_EQ(b.scene.shapes[1].appearance.material.specular.g, 0.0f);
    const Material &unlit = b.scene.shapes[2].appearance.material;
    EXPECT_EQ(unlit.emissive.b, 1.0f);
    EXPECT_EQ(unlit.diffuse.b, 0.0f);
}

TEST(scene_builder, styles_set_solid_ccw_fill_and_subdivision) {
    const Built b = build(R"(
        BackfacingStyle ( Culled )
        OrientationStyle ( Clockwise )
        InterpolationStyle ( None )
        Triangle ( 0 0 0  1 0 0  0 1 0 )
        FillStyle ( Edges )
        Triangle ( 0 0 0  1 0 0  0 1 0 )
        FillStyle ( Points )
        Triangle ( 0 0 0  1 0 0  0 1 0 )
        Line ( 0 0 0  1 2 3 )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 4u);
    const FaceSet &fs = face_set(b, 0);
    EXPECT_TRUE(fs.solid);
    EXPECT_FALSE(fs.ccw);
    EXPECT_EQ(fs.crease_angle, 0.0f);
    const auto &edges = std::get<LineSet>(b.scene.shapes[1].geometry);
    EXPECT_TRUE(std::ranges::equal(edges.coord_index, std::vector{0, 1, 2, 0, -1}));
    EXPECT_EQ(std::get<PointSet>(b.scene.shapes[2].geometry).coords.size(), 9u);
    EXPECT_TRUE(std::ranges::equal(std::get<PointSet>(b.scene.shapes[3].geometry).coords,
                                   std::vector<float>{0, 0, 0, 1, 2, 3}));

    // Screen-space subdivision cannot be honoured: the default counts replace an earlier style.
    const Built s = build(R"(
        BeginGroup ( DisplayGroup ( ) )
          SubdivisionStyle ( Constant 5 2 )
          SubdivisionStyle ( ScreenSpace 10 )
          Cylinder ( 0 3 0  2 0 0  0 0 -2  0 0 0 )
        EndGroup ( )
        Cylinder ( 0 3 0  2 0 0  0 0 -2  0 0 0 )
    )");
    ASSERT_EQ(s.scene.shapes.size(), 2u);
    EXPECT_EQ(face_set(s, 0).coords.size(), face_set(s, 1).coords.size());
    EXPECT_TRUE(has_warning(s.diagnostics, "ScreenSpace: default segment counts used"));
}

constexpr std::string_view kSharedGroup = R"(
    BeginGroup ( DisplayGroup ( ) )
      Translate ( 1 0 0 )
      Reference ( 1 )
    EndGroup ( )
    BeginGroup ( DisplayGroup ( ) )
      Translate ( 0 1 0 )
      Reference ( 1 )
    EndGroup ( )
    TableOfContents ( toc2> 2 -1 0 12 1  1 shared> )
)";

TEST(scene_builder, a_group_referenced_twice_with_the_same_state_is_used_again) {
    const Built b = build(std::string(R"(
        shared: BeginGroup ( DisplayGroup ( ) ) Point ( 0 0 1 ) EndGroup ( )
        Translate ( 0 0 0 )
    )") + std::string(kSharedGroup));
    EXPECT_EQ(b.scene.shapes.size(), 2u);  // the group itself and its first reference
    EXPECT_EQ(count_nodes(b.scene, Node::Kind::use), 1u);
    const auto placed = placed_shapes(b.scene);
    ASSERT_EQ(placed.size(), 3u);
    expect_near(world_point(b.scene, placed[1], 0), {1, 0, 1}, "first reference");
    expect_near(world_point(b.scene, placed[2], 0), {0, 1, 1}, "second reference");
}

TEST(scene_builder, a_group_referenced_under_different_state_is_converted_again) {
    const Built b = build(std::string(R"(
        shared: BeginGroup ( DisplayGroup ( ) ) Point ( 0 0 1 ) EndGroup ( )
        Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )
        BeginGroup ( DisplayGroup ( ) ) Reference ( 1 ) EndGroup ( )
        Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) )
    )") + std::string(kSharedGroup));
    EXPECT_EQ(count_nodes(b.scene, Node::Kind::use), 1u);  // the two blue ones share
    ASSERT_EQ(b.scene.shapes.size(), 3u);
    EXPECT_EQ(b.scene.shapes[1].appearance.material.emissive.r, 1.0f);
    EXPECT_EQ(b.scene.shapes[2].appearance.material.emissive.b, 1.0f);
}

TEST(scene_builder, a_reference_cycle_ends_with_an_error) {
    Built b;
    EXPECT_FALSE(built(b, R"(
        loop: BeginGroup ( DisplayGroup ( ) )
          Point ( 0 0 0 )
          Reference ( 1 )
        EndGroup ( )
        TableOfContents ( toc2> 2 -1 0 12 1  1 loop> )
    )"));
    EXPECT_EQ(b.result.message, "Reference 1 leads back into itself");
    EXPECT_EQ(b.result.position, 4u);
    EXPECT_EQ(b.scene.shapes.size(), 1u);  // what was built before stays
}

TEST(scene_builder, exponential_references_stop_at_the_expansion_bound) {
    // Each level draws the one below twice: 2^40 points. The mirroring makes every drawing a
    // conversion of its own (baked geometry cannot be shared).
    std::ostringstream text;
    text << "Scale ( -1 1 1 )\n";
    for (int level = 0; level < 40; ++level) {
        text << "g" << level << ": BeginGroup ( DisplayGroup ( ) )\n";
        if (level == 0)
            text << "Point ( 0 0 0 )\n";
        else
            text << "Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) ) Reference ( " << level
                 << " )\nContainer ( AttributeSet ( ) DiffuseColor ( 0 1 0 ) ) Reference ( "
                 << level << " )\n";
        text << "EndGroup ( )\n";
    }
    text << "TableOfContents ( toc2> 41 -1 0 12 40\n";
    for (int level = 0; level < 40; ++level) text << level + 1 << " g" << level << ">\n";
    text << ")\n";
    Built b;
    EXPECT_FALSE(built(b, text.str()));
    // Stopped where the world grew past its limit, not after the 2^40 drawings, and within the
    // work budget.
    EXPECT_NE(b.result.message.find("The scene would write more than"), std::string::npos)
        << b.result.message;
    EXPECT_LE(b.result.work, b.result.work_budget);
    const std::uint64_t input = 8 * (b.tree.value_count() + b.tree.node_count());
    const std::uint64_t limit = scene_output_limit(input, default_max_output(input));
    EXPECT_GT(b.result.output_repeated, limit);
    EXPECT_LT(b.result.output_repeated, limit + 4000);  // by one shape and its nodes at most
}

TEST(scene_builder, groups_kinds_and_states) {
    const Built b = build(R"(
        BeginGroup ( DisplayGroup ( ) DisplayGroupState ( DoNotDraw ) ) Point ( 9 9 9 ) EndGroup ( )
        BeginGroup ( DisplayGroup ( ) DisplayGroupState ( IsInline | NoBoundingBox ) )
          Translate ( 0 0 5 )
        EndGroup ( )
        Point ( 0 0 0 )
        BeginGroup ( OrderedDisplayGroup ( ) )
          Point ( 0 0 0 )
          Translate ( 1 0 0 )
        EndGroup ( )
        BeginGroup ( IOProxyDisplayGroup ( ) )
          Point ( 0 2 0 )
          Point ( 0 3 0 )
        EndGroup ( )
        BeginGroup ( InfoGroup ( ) )
          CString ( "made by hand" )
          Unicode ( 2 0x00E90041 )
        EndGroup ( )
    )");
    const auto placed = placed_shapes(b.scene);
    ASSERT_EQ(placed.size(), 3u);
    expect_near(world_point(b.scene, placed[0], 0), {0, 0, 5}, "inline group's translation");
    expect_near(world_point(b.scene, placed[1], 0), {1, 0, 5}, "ordered group's state first");
    expect_near(world_point(b.scene, placed[2], 0), {0, 2, 5}, "first proxy alternative");
    ASSERT_EQ(b.scene.info.size(), 2u);
    EXPECT_EQ(b.scene.info[0], "made by hand");
    EXPECT_EQ(b.scene.info[1],
              "\xC3\xA9"
              "A");  // UTF-16 é A as UTF-8
}

TEST(scene_builder, lights_and_cameras) {
    const Built b = build(R"(
        Container ( PointLight ( 0 5 0  0 1 0  True ) LightData ( True 2 1 0.5 0 ) )
        Container ( SpotLight ( 0 0 0  0 0 -2  False  InverseDistanceSquared 0.2 0.4 None )
                    LightData ( False 0.5 1 1 1 ) )
        Container ( ViewAngleAspectCamera ( 45 2 )
                    CameraPlacement ( 0 0 10  0 0 0  0 1 0 )
                    CameraRange ( 1 250 ) )
        Box ( 2 0 0  0 2 0  0 0 2  0 0 0 )
    )");
    ASSERT_EQ(b.scene.lights.size(), 2u);
    const Light &point = b.scene.lights[0];
    EXPECT_EQ(point.kind, Light::Kind::point);
    EXPECT_EQ(point.intensity, 1.0f);  // clamped
    // Reaches the box's corner farthest from (0 5 0), (2 0 2) at √33, with a margin under 25%.
    EXPECT_GE(point.radius, std::sqrt(33.0f));
    EXPECT_LE(point.radius, 1.25f * std::sqrt(33.0f));
    const Light &spot = b.scene.lights[1];
    EXPECT_FALSE(spot.on);
    EXPECT_EQ(spot.direction.z, -1.0f);
    EXPECT_EQ(spot.beam_width, spot.cut_off_angle);  // no fall-off: a hard edge
    EXPECT_NEAR(spot.cut_off_angle, 0.4f, 1e-6);
    // From the origin the farthest corner is (2 2 2), √12 away.
    EXPECT_GE(spot.radius, std::sqrt(12.0f));
    EXPECT_LE(spot.radius, 1.25f * std::sqrt(12.0f));
    ASSERT_EQ(b.scene.viewpoints.size(), 1u);
    // 45 degrees across the longer side of a 2:1 view.
    EXPECT_NEAR(b.scene.viewpoints[0].field_of_view,
                2 * std::atan(std::tan(45 * 3.14159265 / 360) / 2), 1e-5);
    EXPECT_EQ(b.scene.viewpoints[0].position.z, 10.0f);
    ASSERT_TRUE(b.scene.visibility_limit);
    EXPECT_EQ(*b.scene.visibility_limit, 250.0f);
}

TEST(scene_builder, view_hints_give_background_and_the_lowest_attributes) {
    const Built b = build(R"(
        Container ( ViewHints ( ) ImageClearColor ( 0 0 0.2 )
                    Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) SpecularColor ( 0 1 0 ) ) )
        Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) )
        Point ( 0 0 0 )
    )");
    ASSERT_TRUE(b.scene.background);
    EXPECT_EQ(b.scene.background->b, 0.2f);
    ASSERT_EQ(b.scene.shapes.size(), 1u);
    const Material &m = b.scene.shapes[0].appearance.material;
    EXPECT_EQ(m.emissive.b, 1.0f);  // the group's colour over the hints'
    EXPECT_EQ(m.specular.g, 1.0f);  // the hints' specular where nothing else says
}

TEST(scene_builder, a_light_drawn_again_through_a_reference_is_one_light) {
    const Built b = build(R"(
        Scale ( 1 1 -1 )
        lit: BeginGroup ( DisplayGroup ( ) )
          Container ( AmbientLight ( ) LightData ( True 0.5 1 1 1 ) )
          Point ( 0 0 0 )
        EndGroup ( )
        Reference ( 1 )
        TableOfContents ( toc2> 2 -1 0 12 1  1 lit> )
    )");
    EXPECT_EQ(b.scene.shapes.size(), 2u);
    ASSERT_EQ(b.scene.lights.size(), 1u);
    EXPECT_EQ(b.scene.lights[0].kind, Light::Kind::ambient);
    EXPECT_EQ(b.scene.lights[0].intensity, 0.5f);
}

TEST(scene_builder, malformed_objects_are_skipped_at_their_line) {
    const Built b = build(
        "Triangle ( 0 0 0  1 0 0 )\n"
        "Polygon ( 9  0 0 0  1 0 0  1 1 0 )\n"
        "Mesh ( 3  0 0 0  1 0 0  0 1 0  1 0  3  0 1 7 )\n"
        "Translate ( 1 x 0 )\n"
        "Point ( 1 2 3 )\n");
    EXPECT_EQ(b.scene.shapes.size(), 1u);
    std::vector<std::uint64_t> lines;
    for (const auto &e : b.diagnostics.entries()) lines.push_back(e.position);
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{1, 2, 3, 4}));
}

TEST(scene_builder, every_child_of_an_attribute_set_the_builder_does_not_know_is_reported_once) {
    // Unknown types and known objects that are no attributes, in a geometry's own set, in a
    // group's set and in a set reached through a reference; the attributes beside them hold.
    const Built b = build(R"(
        Container ( Triangle ( 0 0 0  1 0 0  0 1 0 )
                    Container ( AttributeSet ( ) Sparkle ( 3 ) DiffuseColor ( 1 0 0 )
                                BackfacingStyle ( Both ) ) )
        BeginGroup ( DisplayGroup ( ) )
          Container ( AttributeSet ( ) Glow ( ) DiffuseColor ( 0 1 0 ) )
          Triangle ( 0 0 1  1 0 1  0 1 1 )
        EndGroup ( )
        shared: Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) Translate ( 1 0 0 ) )
        Container ( Triangle ( 0 0 2  1 0 2  0 1 2 ) Reference ( 1 ) )
        TableOfContents ( toc2> 2 -1 0 12 1  1 shared> )
    )");
    std::map<std::string, std::size_t, std::less<>> skipped = b.diagnostics.skipped_counts();
    // The shared set is read where it stands and again for the reference, and reports its
    // Translate at each reading (a fault of its own, still open): here only that it is told.
    EXPECT_GE(skipped["Translate"], 1u);
    skipped.erase("Translate");
    const std::map<std::string, std::size_t, std::less<>> want{
        {"BackfacingStyle", 1}, {"Glow", 1}, {"Sparkle", 1}};
    EXPECT_EQ(skipped, want);
    ASSERT_EQ(b.scene.shapes.size(), 3u);
    const Color want_colors[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(b.scene.shapes[i].appearance.material.diffuse, want_colors[i]) << i;
}

TEST(scene_builder, the_outline_puts_each_member_one_level_below_its_group) {
    const Built b = build(R"(
        Point ( 0 0 0 )
        BeginGroup ( DisplayGroup ( ) )
          Point ( 1 0 0 )
          BeginGroup ( DisplayGroup ( ) )
            Triangle ( 0 0 0  1 0 0  0 1 0 )
          EndGroup ( )
          Point ( 2 0 0 )
        EndGroup ( )
        Point ( 3 0 0 )
    )");
    std::vector<std::pair<std::uint32_t, std::string>> got;
    for (const OutlineItem &i : b.outline) got.emplace_back(i.depth, i.type);
    const std::vector<std::pair<std::uint32_t, std::string>> want{
        {0, "Point"},    {0, "DisplayGroup"}, {1, "Point"}, {1, "DisplayGroup"},
        {2, "Triangle"}, {1, "Point"},        {0, "Point"}};
    EXPECT_EQ(got, want);
}

TEST(scene_builder, names_come_from_name_elements_and_labels) {
    const Built b = build(R"(
        Container ( Point ( 0 0 0 )
                    Container ( Apple Computer, Inc.:NameElement ( ) CString ( "dot" ) ) )
        spot: Point ( 1 0 0 )
        BeginGroup ( DisplayGroup ( )
                     Container ( Apple Computer, Inc.:NameElement ( ) CString ( "team" ) ) )
        EndGroup ( )
    )");
    std::vector<std::string> names;
    for (const Node &n : b.scene.nodes)
        if (!n.name.empty()) names.emplace_back(n.name);
    EXPECT_EQ(names, (std::vector<std::string>{"dot", "spot", "team"}));
    ASSERT_GE(b.outline.size(), 3u);
    EXPECT_EQ(b.outline[1].label, "spot");
    EXPECT_EQ(b.outline[1].size, "1 point");
    EXPECT_TRUE(b.outline[2].is_group);
    EXPECT_EQ(b.outline[2].type, "DisplayGroup");
    EXPECT_EQ(b.outline[2].size, "0 objects");
}

}  // namespace
}  // namespace tarvex::builder::test
