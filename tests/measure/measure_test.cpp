// The measure on worlds written by hand, then full mode on hand-made 3DMF files, each held to
// figures worked out on paper from the file (given in the file's comments and below).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <numbers>
#include <string>

#include "conversion/conversion.h"
#include "vrml_measure.h"
#include "writers/vrml97/scene_writer.h"

namespace tarvex::measure {
namespace {

constexpr double kPi = std::numbers::pi;

void expectBox(const Measure &m, Vec3 min, Vec3 max, double tolerance) {
    ASSERT_FALSE(m.box.empty);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(m.box.min[k], min[k], tolerance) << "min " << k;
        EXPECT_NEAR(m.box.max[k], max[k], tolerance) << "max " << k;
    }
}

double areaOf(const Measure &m, Rgb color) {
    const auto it = m.area_by_color.find(color);
    return it == m.area_by_color.end() ? 0 : it->second;
}

// ---- the measure itself

TEST(measure, colours_by_face_by_corner_and_by_material) {
    // A 2x2 square and an arrow of area 1.5 coloured by face; a half-unit triangle whose
    // corners are red, green and blue; one in the default grey.
    const Measure m = measure_vrml(R"(#VRML V2.0 utf8
Shape { geometry IndexedFaceSet {
  coord Coordinate { point [ 0 0 0, 2 0 0, 2 2 0, 0 2 0, 1 0.5 0 ] }
  coordIndex [ 0 1 2 3 -1, 0 1 2 4 -1 ]
  color Color { color [ 1 0 0, 0 1 0 ] } colorPerVertex FALSE } }
Shape { geometry IndexedFaceSet {
  coord Coordinate { point [ 0 0 0, 1 0 0, 0 1 0 ] } coordIndex [ 0 1 2 ]
  color Color { color [ 1 0 0, 0 1 0, 0 0 1 ] } } }
Shape { appearance Appearance { texture PixelTexture { image 1 1 3 0xFF0000 } }
  geometry IndexedFaceSet { coord Coordinate { point [ 0 0 0, 1 0 0, 0 1 0 ] }
                            coordIndex [ 0, 1, 2, -1 ] } }
)");
    ASSERT_TRUE(m.errors.empty()) << m.errors.front();
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), 4, 1e-12);
    EXPECT_NEAR(areaOf(m, {0, 1, 0}), 1.5, 1e-12);  // (0 0)(2 0)(2 2), less (0 0)(2 2)(1 .5)
    EXPECT_NEAR(areaOf(m, {1 / 3.0f, 1 / 3.0f, 1 / 3.0f}), 0.5, 1e-12);
    EXPECT_NEAR(areaOf(m, {0.8f, 0.8f, 0.8f}), 0.5, 1e-12);
    EXPECT_EQ(m.faces, 4u);
    EXPECT_EQ(m.triangles, 6u);
    EXPECT_EQ(m.concave_faces, 1u);
}

TEST(measure, line_colours_texels_lights_and_viewpoints) {
    // Segments 3, 4 and 5 long: red-to-blue corners, one polyline coloured green, one in the
    // material's emissive yellow. The 2 x 1 texture's right texel is blue: a triangle whose
    // texture coordinates average (0.75 0.5) shows it; 0xFF0000 would be its left, red one.
    // The light that is off adds nothing to the intensity; one point needs no brackets.
    const Measure m = measure_vrml(R"(#VRML V2.0 utf8
Viewpoint { position 1 2 3 orientation 0 1 0 0.5 fieldOfView 0.7 description "front" }
DirectionalLight { intensity 0 ambientIntensity 0.3 }
PointLight { location 1 2 3 radius 7 attenuation 0 1 0 }
SpotLight { on FALSE }
Shape { geometry IndexedLineSet { coord Coordinate { point [ 0 0 0, 3 0 0, 3 4 0 ] }
  coordIndex [ 0 1 -1 1 2 -1 ] color Color { color [ 1 0 0, 0 0 1, 0 1 0 ] }
  colorIndex [ 0 1 -1 2 2 -1 ] } }
Shape { geometry IndexedLineSet { coord Coordinate { point [ 0 0 0, 3 0 0 ] }
  coordIndex [ 0 1 -1 ] color Color { color [ 0 1 0 ] } colorPerVertex FALSE } }
Shape { appearance Appearance { material Material { emissiveColor 1 1 0 } }
  geometry IndexedLineSet { coord Coordinate { point [ 0 0 0, 0 0 5 ] } coordIndex [ 0 1 ] } }
Shape { appearance Appearance { texture PixelTexture { image 2 1 3 0xFF0000 0x0000FF } }
  geometry IndexedFaceSet { coord Coordinate { point [ 0 0 0, 2 0 0, 0 2 0 ] }
    coordIndex [ 0 1 2 -1 ] texCoord TextureCoordinate { point [ 0.75 0.5 ] }
    texCoordIndex [ 0 0 0 -1 ] } }
Shape { geometry PointSet { coord Coordinate { point 0 0 -2 } } }
)");
    ASSERT_TRUE(m.errors.empty()) << m.errors.front();
    EXPECT_EQ(m.length_by_color,
              (std::map<Rgb, double>{{{0, 1, 0}, 4 + 3}, {{0.5f, 0, 0.5f}, 3}, {{1, 1, 0}, 5}}));
    EXPECT_EQ(m.area_by_texel, (std::map<Rgb, double>{{{0, 0, 1}, 2}}));
    ASSERT_EQ(m.point_lights.size(), 2u);
    EXPECT_FALSE(m.point_lights[1].on);
    EXPECT_NEAR(m.light_intensity, 1 + 0.3, 1e-12);
    EXPECT_EQ(m.points, 1u);
    ASSERT_EQ(m.viewpoints.size(), 1u);
    EXPECT_EQ(m.viewpoints[0].orientation[3], 0.5);
}

TEST(measure, broken_worlds_say_so) {
    EXPECT_FALSE(measure_vrml("Shape { }").errors.empty());  // no header
    for (const char *body :
         {"Group { children [ USE X ] }",
          "Shape { geometry PointSet { coord Coordinate { point [ 0 0 ] } } }",
          "Shape { geometry IndexedFaceSet { coord Coordinate { point [ 0 0 0 ] } "
          "coordIndex [ 0 0 1 ] } }",
          "Group { children [ Shape { }"})
        EXPECT_FALSE(measure_vrml("#VRML V2.0 utf8\n" + std::string(body)).errors.empty()) << body;
}

// ---- full mode on hand-made files

Measure convert(const std::string &name) {
    conversion::Conversion conversion;
    const std::string path = std::string(TARVEX_DATA_DIR) + "/" + name;
    EXPECT_EQ(conversion.read(path, {.full = true}).status, conversion::Status::ok)
        << conversion.result().message;
    EXPECT_EQ(conversion.diagnostics().summary(), "") << name;
    vrml97::WriteProblems problems;
    const Measure m = measure_vrml(vrml97::write_scene_string(conversion.scene(), &problems));
    EXPECT_FALSE(problems.any()) << name;
    EXPECT_TRUE(m.errors.empty()) << name << ": " << m.errors.front();
    return m;
}

TEST(measured_conversion, box_and_cylinders_with_explicit_axes) {
    const Measure m = convert("box_and_cylinder.3dmf");
    EXPECT_EQ(m.shapes, 3u);
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), 6, 1e-5);  // the unit cube
    // A side of radius 2 and height 3 is 12 pi; each cap 4 pi. Inscribed polygons of n >= 16
    // sides lose under 1% of the side (1 - sin(pi/n) n/pi) and 2.6% of a cap.
    const double side = 12 * kPi, caps = 8 * kPi;
    EXPECT_LE(areaOf(m, {0, 1, 0}), side);
    EXPECT_GE(areaOf(m, {0, 1, 0}), 0.99 * side);
    EXPECT_LE(areaOf(m, {0, 0, 1}), side + caps);
    EXPECT_GE(areaOf(m, {0, 0, 1}), 0.99 * side + 0.974 * caps);
    EXPECT_EQ(m.area_by_color.size(), 3u);
    // Cube 0..1; cylinders x 3..7, y 0..3, z -2..2 and 8..12, within 2 (1 - cos(pi/16)).
    expectBox(m, {0, 0, -2}, {7, 3, 12}, 0.04);
}

TEST(measured_conversion, subdivision_styles_set_the_cylinder_segments) {
    const Measure m = convert("subdivided_cylinders.3dmf");
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), 96 * std::sin(kPi / 8), 1e-4);
    EXPECT_LE(areaOf(m, {0, 0, 1}), 12 * kPi);
    // Edges of at most 0.1 on a radius of 2 subtend at most 2 asin(0.025); such a polygon
    // keeps 0.025 / asin(0.025) of the circle's length. Less 1e-4 for float rounding.
    EXPECT_GE(areaOf(m, {0, 0, 1}), 12 * kPi * 0.025 / std::asin(0.025) - 1e-4);
}

// A face that crosses itself is filled by the even-odd rule, not handed to the viewer: with the
// outer corners at radius R = 1, the inner pentagon has circumradius r = R cos 72 / cos 36; the
// whole star is ten triangles of area R r sin(36) / 2, the pentagon (5/2) r^2 sin(72), and the
// tips are the star less the pentagon. A viewer filling the middle too would show the star.
TEST(measured_conversion, a_face_that_crosses_itself_fills_the_tips_alone) {
    const Measure m = convert("stars.3dmf");
    const double r = std::cos(2 * kPi / 5) / std::cos(kPi / 5);
    const double star = 5 * r * std::sin(kPi / 5), pentagon = 2.5 * r * r * std::sin(2 * kPi / 5);
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), star - pentagon, 1e-5);  // the Mesh face
    EXPECT_NEAR(areaOf(m, {0, 0, 1}), star - pentagon, 1e-5);  // the Polygon
    EXPECT_EQ(m.concave_faces, 0u);  // only triangles: nothing left for a viewer to misread
    expectBox(m, {-0.951057, -0.809017, 0}, {3.951057, 1, 1}, 1e-5);
}

// A simple concave face (area 12) whose fan from its first corner covers 24, drawn twice: the
// world must tell readers it is not convex, or Coin, which fans faces said to be, draws 36.
TEST(measured_conversion, a_simple_concave_face_is_not_fanned) {
    const Measure m = convert("concave_faces.3dmf");
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), 12, 1e-5);  // Polygon
    EXPECT_NEAR(areaOf(m, {0, 0, 1}), 12, 1e-5);  // GeneralPolygon
#ifdef TARVEX_VRML_CHECK
    conversion::Conversion conversion;
    conversion.read(std::string(TARVEX_DATA_DIR) + "/concave_faces.3dmf", {.full = true});
    const std::string path = ::testing::TempDir() + "concave_faces.wrl";
    std::ofstream(path, std::ios::binary) << vrml97::write_scene_string(conversion.scene());
    double coin = -1;
    if (std::FILE *pipe =
            popen((std::string(TARVEX_VRML_CHECK) + " --area '" + path + "'").c_str(), "r")) {
        EXPECT_EQ(std::fscanf(pipe, "area %lf", &coin), 1);
        pclose(pipe);
    }
    EXPECT_NEAR(coin, 24, 1e-5);
    std::remove(path.c_str());
#endif
}

TEST(measured_conversion, trimesh_polygon_polyline_and_point) {
    const Measure m = convert("mesh_lines_points.3dmf");
    EXPECT_EQ(m.shapes, 4u);
    EXPECT_NEAR(areaOf(m, {0, 0, 1}), 6 + 6 + 10, 1e-5);
    EXPECT_NEAR(areaOf(m, {1, 1, 0}), 3, 1e-5);
    EXPECT_EQ(m.triangles, 3u + 4u);  // a hexagon in any triangulation makes four
    EXPECT_NEAR(m.line_length, 7, 1e-5);
    EXPECT_EQ(m.polylines, 1u);
    EXPECT_EQ(m.points, 1u);
    expectBox(m, {-1, 0, -2}, {4, 7, 5}, 1e-5);
}

TEST(measured_conversion, a_group_drawn_again_by_reference_under_three_transforms) {
    const Measure m = convert("shared_tile.3dmf");
    EXPECT_EQ(m.shapes, 4u);
    EXPECT_NEAR(areaOf(m, {1, 1, 0}), 2 + 2 + 8 + 2, 1e-5);
    EXPECT_EQ(m.area_by_color.size(), 1u);
    expectBox(m, {-7, 0, 0}, {12, 14, 0}, 1e-5);
}

TEST(measured_conversion, the_smallest_grids_and_patch) {
    const Measure m = convert("grids_and_patch.3dmf");
    EXPECT_EQ(m.shapes, 3u);
    EXPECT_NEAR(areaOf(m, {1, 0, 0}), 6, 1e-5);
    EXPECT_NEAR(areaOf(m, {0, 1, 0}), 2, 1e-5);
    EXPECT_NEAR(areaOf(m, {0, 0, 1}), 4, 1e-5);  // bilinear over a flat square: exact
    expectBox(m, {0, 0, -1}, {3, 2, 5}, 1e-5);
}

TEST(measured_conversion, lights_and_camera) {
    const Measure m = convert("lights_and_camera.3dmf");
    // The ambient light becomes a directional light of intensity 0 beside the real one.
    ASSERT_EQ(m.lights.size(), 1u);
    EXPECT_EQ(m.lights.at("DirectionalLight"), 2u);
    ASSERT_EQ(m.viewpoints.size(), 1u);
    const Viewpoint &v = m.viewpoints[0];
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v.position[k], (Vec3{0, 0, 5})[k], 1e-6);
    EXPECT_NEAR(v.orientation[3], 0, 1e-6);  // VRML's own view: down -z, y up
    EXPECT_NEAR(v.field_of_view, 0.8, 1e-6);
    EXPECT_NEAR(m.area, 0.5, 1e-6);
}

TEST(measured_conversion, empty_quadrics_stand_in_the_default_frame) {
    // Orientation +x, majorRadius +y, minorRadius +z, origin 0, u and v 0..1, at the default
    // 24 segments around (u = 0, 1/4, 1/2, 3/4 are among them, so the radii are reached).
    // Cylinder side: 24 strips 2 sin(pi/24) wide, 1 long. Cone: 24 flat facets, each a
    // triangle of base 2 sin(pi/24) and height sqrt(1 + cos^2(pi/24)) to the apex at x = 1.
    // Disk: the 24-gon in the y-z plane, 12 sin(pi/12). Torus: a ring of radius 1 in the y-z
    // plane, its tube 1 across along x and the radius.
    const double c = std::cos(kPi / 24), s = std::sin(kPi / 24);
    struct Case {
        const char *file;
        Vec3 min, max;
        double area;
    };
    for (const Case &k :
         {Case{"default_cylinder.3dmf", {0, -1, -1}, {1, 1, 1}, 48 * s},
          Case{"default_cone.3dmf", {0, -1, -1}, {1, 1, 1}, 24 * s * std::sqrt(1 + c * c)},
          Case{"default_disk.3dmf", {0, -1, -1}, {0, 1, 1}, 12 * std::sin(kPi / 12)},
          Case{"default_torus.3dmf", {-1, -2, -2}, {1, 2, 2}, -1}}) {
        SCOPED_TRACE(k.file);
        const Measure m = convert(k.file);
        expectBox(m, k.min, k.max, 1e-5);
        if (k.area >= 0) {
            EXPECT_NEAR(m.area, k.area, 1e-4);
        }
    }
    // The Ellipse: the unit circle in the y-z plane as 24 chords of 2 sin(pi/24).
    const Measure m = convert("default_ellipse.3dmf");
    expectBox(m, {0, -1, -1}, {0, 1, 1}, 1e-5);
    EXPECT_NEAR(m.line_length, 48 * s, 1e-4);
}

TEST(measured_conversion, polyline_colours_by_vertex_segment_line_and_group) {
    // From the file's comment: at y = 0 one colour per segment, blue 1, magenta 2 + 4, red 3;
    // at y = 5 corner colours blue-white (1 long), white-green (2), red-red (3), green-black
    // (4), each segment showing the mean of its two.
    const Measure m = convert("polyline_colours.3dmf");
    EXPECT_NEAR(m.line_length, 20, 1e-5);
    const std::map<Rgb, double> want{{{0, 0, 1}, 1},       {{1, 0, 1}, 6},       {{1, 0, 0}, 3 + 3},
                                     {{0.5f, 0.5f, 1}, 1}, {{0.5f, 1, 0.5f}, 2}, {{0, 0.5f, 0}, 4}};
    ASSERT_EQ(m.length_by_color.size(), want.size());
    for (auto a = m.length_by_color.begin(), b = want.begin(); b != want.end(); ++a, ++b) {
        EXPECT_EQ(a->first, b->first);
        EXPECT_NEAR(a->second, b->second, 1e-5);
    }
}

TEST(measured_conversion, point_and_spot_lights_reach_the_whole_model) {
    // The file's comment works out the farthest corners: 176.686 and 10.863 away. The radius
    // must reach them, and stay within a margin of them.
    const Measure m = convert("far_lights.3dmf");
    expectBox(m, {0, 0, 0}, {3, 3, 3}, 1e-6);
    ASSERT_EQ(m.point_lights.size(), 2u);
    const PointLight &point = m.point_lights[0], &spot = m.point_lights[1];
    EXPECT_EQ(point.location, (Vec3{-100, -100, 100}));
    EXPECT_GE(point.radius, std::sqrt(31218.0));
    EXPECT_LE(point.radius, 1.5 * std::sqrt(31218.0));
    EXPECT_EQ(point.attenuation, (Vec3{0, 1, 0}));
    EXPECT_GE(spot.radius, std::sqrt(118.0));
    EXPECT_LE(spot.radius, 1.5 * std::sqrt(118.0));
    EXPECT_EQ(spot.attenuation, (Vec3{0, 0, 1}));
}

TEST(measured_conversion, trimesh_uvs_per_triangle_pick_their_texels) {
    // From the file's comment: the triangle of area 2 all red, that of area 6 all blue.
    const Measure m = convert("trimesh_triangle_uvs.3dmf");
    EXPECT_NEAR(m.area, 8, 1e-5);
    ASSERT_EQ(m.area_by_texel.size(), 2u);
    EXPECT_NEAR(m.area_by_texel.at({1, 0, 0}), 2, 1e-5);
    EXPECT_NEAR(m.area_by_texel.at({0, 0, 1}), 6, 1e-5);
}

}  // namespace
}  // namespace tarvex::measure
