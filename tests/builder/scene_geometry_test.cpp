// Scene builder tests of the geometry types, their attribute lists, and textures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>

#include "geometry/dvec.h"
#include "scene_test_support.h"

namespace tarvex::builder::test {
namespace {

// Total area of a face set's faces (fans from each face's first corner).
double area(const FaceSet &fs) {
    std::vector<std::int32_t> index;
    if (fs.triangles.empty()) index.assign(fs.coord_index.begin(), fs.coord_index.end());
    for (std::size_t i = 0; i < fs.triangles.size(); i += 3)
        index.insert(index.end(), {std::int32_t(fs.triangles[i]), std::int32_t(fs.triangles[i + 1]),
                                   std::int32_t(fs.triangles[i + 2]), -1});
    const auto p = [&](std::size_t k) {
        const float *c = &fs.coords[3 * index[k]];
        return geometry::DVec{c[0], c[1], c[2]};
    };
    double total = 0;
    for (std::size_t i = 0, start = 0; i < index.size(); ++i) {
        if (index[i] >= 0) continue;
        for (std::size_t k = start + 1; k + 1 < i; ++k)
            total += geometry::length(geometry::cross(p(k) - p(start), p(k + 1) - p(start))) / 2;
        start = i + 1;
    }
    return total;
}

TEST(scene_builder_geometry, faces_with_holes_are_triangulated_even_odd) {
    const char *const files[] = {
        "Mesh ( 8  0 0 0  4 0 0  4 4 0  0 4 0  1 1 0  3 1 0  3 3 0  1 3 0\n"
        "       1 1  4 0 1 2 3  -4 4 5 6 7 )",
        "GeneralPolygon ( 2  4 0 0 0  4 0 0  4 4 0  0 4 0\n"
        "                    4 1 1 0  3 1 0  3 3 0  1 3 0 )",
    };
    for (const char *file : files) {
        const Built b = build(file);
        ASSERT_EQ(b.scene.shapes.size(), 1u) << file;
        EXPECT_NEAR(area(face_set(b, 0)), 12.0, 1e-4) << file;  // 4 × 4 minus 2 × 2
    }
}

// Curves and patches cut short anywhere in their counts or values are skipped with one warning
// each, and nothing is drawn of them.
TEST(scene_builder_geometry, curves_and_patches_cut_short_are_skipped_with_a_warning) {
    const std::pair<const char *, const char *> cases[] = {
        {"NURBPatch ( )", "NURBPatch with inconsistent orders or counts: skipped"},
        {"NURBPatch ( 2 )", "NURBPatch with inconsistent orders or counts: skipped"},
        {"NURBPatch ( 2 2 )", "NURBPatch with inconsistent orders or counts: skipped"},
        {"NURBPatch ( 2 2 2 )", "NURBPatch with inconsistent orders or counts: skipped"},
        {"NURBPatch ( 2 2 2 2  0 0 0 1  1 0 0 1 )",
         "NURBPatch with inconsistent orders or counts: skipped"},
        {"NURBCurve ( 2 )", "NURBCurve with inconsistent order, points or knots: skipped"},
        {"NURBCurve ( 2 2  0 0 0 1  1 0 0 1  0 0 1 )",
         "NURBCurve with inconsistent order, points or knots: skipped"},
    };
    for (const auto &[file, warning] : cases) {
        const Built b = build(file);
        EXPECT_TRUE(b.scene.shapes.empty()) << file;
        ASSERT_EQ(b.diagnostics.entries().size(), 1u) << file;
        EXPECT_EQ(b.diagnostics.entries()[0].text, warning) << file;
    }
}

// Faces too tangled for the even-odd fill (a {601/300} star: some 180,000 crossings) are drawn
// as a fan with a warning, not dropped; faces without area, and objects a geometry's container
// holds where only its attributes belong, are left out with one.
TEST(scene_builder_geometry, faces_are_never_lost_in_silence) {
    std::string star;
    for (std::uint32_t i = 0; i < 601; ++i) {
        const double a = 2 * 3.14159265358979 * ((i * 300u) % 601) / 601;
        star += std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " 0 ";
    }
    std::string indices;
    for (std::uint32_t i = 0; i < 601; ++i) indices += std::to_string(i) + " ";
    const std::pair<std::string, std::string> cases[] = {
        {"GeneralPolygon ( 1 601 " + star + ")",
         "GeneralPolygon is too large or tangled to fill by the even-odd rule: drawn as a fan"},
        {"Mesh ( 601 " + star + " 1 0 601 " + indices + ")",
         "Mesh face 0 is too large or tangled to fill by the even-odd rule: drawn as a fan"},
        {"Mesh ( 5  0 0 0  1 0 0  2 0 0  3 0 0  0 1 0  2 0  4 0 1 2 3  3 0 1 4 )",
         "Mesh face 0 spans no area: skipped"},
        {"Container ( Triangle ( 0 0 0  1 0 0  0 1 0 ) Ellipsoid ( ) )",
         "Ellipsoid inside Triangle's container is not drawn: only its attributes belong there"},
        {"BeginGroup ( DisplayGroup ( ) ) box: Box ( ) EndGroup ( ) Container ( Triangle ( 0 0 0 "
         "1 0 0  0 1 0 ) Reference ( 1 ) ) TableOfContents ( toc2> 2 -1 0 12 1  1 box> )",
         "Reference to Box inside Triangle's container is not drawn: only its attributes belong "
         "there"},
    };
    for (const auto &[file, warning] : cases) {
        const Built b = build(file);
        ASSERT_EQ(b.diagnostics.entries().size(), 1u) << warning;
        EXPECT_EQ(b.diagnostics.entries()[0].text, warning);
        ASSERT_GE(b.scene.shapes.size(), 1u) << warning;
        EXPECT_GT(area(face_set(b, 0)), 0) << warning;
    }
}

TEST(scene_builder_geometry, mesh_face_corner_and_vertex_sets) {
    const Built b = build(R"(
        Container (
          Mesh ( 5  0 0 0  2 0 0  2 2 0  0 2 0  1 3 0   2 0  4 0 1 2 3  3 3 2 4 )
          Container ( FaceAttributeSetList ( 2 Include 1  1 )
                      Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) ) )
          Container ( MeshCorners ( 1  2 1 0 )
                      Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) ) )
        )
    )");
    const FaceSet &fs = face_set(b, 0);
    ASSERT_TRUE(fs.color_per_vertex);
    // Corners: face 0 = 0 1 2 3 (vertex 2 red by its corner set), face 1 = 3 2 4 (blue face).
    expect_all_near(fs.colors, {.8f, .8f, .8f, .8f, .8f, .8f, 1, 0, 0, .8f, .8f,
                                .8f, 0,   0,   1,   0,   0,   1, 0, 0, 1});
}

// A face without a normal of its own, beside one with, gets its plane's normal, every component
// of it: this face's corners (1 1 1), (3 1 2), (1 4 3) turn about (-3 -4 6). The last point is
// used by no face.
TEST(scene_builder_geometry, faces_without_a_normal_get_their_planes) {
    const Built b = build(R"(
        Container (
          Mesh ( 8  0 0 0  1 0 0  1 1 0  0 1 0  1 1 1  3 1 2  1 4 3  5 5 5
                 2 0  4 0 1 2 3  3 4 5 6 )
          Container ( FaceAttributeSetList ( 2 Include 1  0 )
                      Container ( AttributeSet ( ) Normal ( 0 0 1 ) ) )
        )
    )");
    const FaceSet &fs = face_set(b, 0);
    EXPECT_FALSE(fs.normal_per_vertex);
    const double r = std::sqrt(61.0);
    expect_all_near(fs.normals, {0, 0, 1, -3 / r, -4 / r, 6 / r});
}

TEST(scene_builder_geometry, box_face_sets_colour_their_faces) {
    const Built b = build(R"(
        Container (
          Box ( 0 1 0  0 0 1  1 0 0  0 0 0 )
          Container ( FaceAttributeSetList ( 6 Include 2  0 5 )
                      Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) )
                      Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) ) )
        )
    )");
    const FaceSet &fs = face_set(b, 0);
    EXPECT_FALSE(fs.color_per_vertex);
    // In the box's own face order: 0 and 5 coloured, the rest VRML's default grey.
    expect_all_near(fs.colors,
                    {1, 0, 0, .8f, .8f, .8f, .8f, .8f, .8f, .8f, .8f, .8f, .8f, .8f, .8f, 0, 0, 1});
}

TEST(scene_builder_geometry, cap_sets_make_shapes_of_their_own) {
    const Built b = build(R"(
        Container (
          Cone ( 0 1 0  0 0 1  1 0 0  0 0 0 )
          Caps ( Bottom )
          Container ( BottomCapAttributeSet ( )
                      Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) ) )
          Container ( AttributeSet ( ) DiffuseColor ( 0 0 1 ) SpecularColor ( 1 1 1 ) )
        )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 2u);
    const Material &side = b.scene.shapes[0].appearance.material;
    const Material &cap = b.scene.shapes[1].appearance.material;
    EXPECT_EQ(side.diffuse.b, 1.0f);
    EXPECT_EQ(cap.diffuse.r, 1.0f);
    EXPECT_EQ(cap.specular.g, 1.0f);  // the geometry's own set still applies to the cap
    // The bottom cap is a disk of radius 1: area π less the tessellation's chord loss.
    EXPECT_NEAR(area(face_set(b, 1)), 3.14159, 0.1);
}

constexpr std::string_view kPixmap =
    "PixmapTexture ( 2 2 4 16 RGB16 BigEndian BigEndian 0x7C0003E0 0x001F7FFF )";

// `geometry` and its lists in a container whose attribute set shows `texture` through a
// TextureShader, after the `shader`'s own objects.
std::string textured(std::string_view geometry, std::string_view texture = kPixmap,
                     std::string_view shader = "") {
    return "Container ( " + std::string(geometry) +
           " Container ( AttributeSet ( ) Container ( TextureShader ( ) " + std::string(shader) +
           " " + std::string(texture) + " ) ) )";
}

TEST(scene_builder_geometry, trimesh_arrays_bind_to_the_face_set) {
    const Built b = build(R"(
        Container (
          TriMesh ( 2 1 0 0 4 2  0 1 2  0 2 3  0 0 0  1 0 0  1 1 0  0 1 0  0 0 0  1 1 0  False )
          AttributeArray ( 5 0 0 0 0  1 0 0  0 1 0 )
          AttributeArray ( 3 0 2 0 0  0 0 1  0 0 1  0 0 1  0 0 1 )
          AttributeArray ( 1 0 2 1 0  0 0  1 0  1 1  0 1 )
          Container ( AttributeSet ( ) DiffuseColor ( 1 1 1 ) )
        )
    )");
    const FaceSet &fs = face_set(b, 0);
    EXPECT_FALSE(fs.color_per_vertex);
    ASSERT_EQ(fs.colors.size(), 6u);
    EXPECT_EQ(fs.colors[0], 1.0f);
    EXPECT_EQ(fs.colors[4], 1.0f);
    EXPECT_TRUE(fs.normal_per_vertex);
    EXPECT_EQ(fs.normals.size(), 12u);
    // Texture coordinates are only kept when a texture shows them.
    EXPECT_TRUE(fs.tex_coords.empty());
}

TEST(scene_builder_geometry, texture_shader_with_boundaries_and_a_baked_uv_transform) {
    const Built b = build(textured(
        "TriMesh ( 2 0 0 0 4 1  0 1 2  0 2 3  0 0 0  1 0 0  1 1 0  0 1 0  0 0 0  1 1 0  False )"
        "AttributeArray ( 1 0 2 0 0  0 0  1 0  1 1  0 1 )",
        kPixmap, "Shader ( Clamp Wrap ) ShaderUVTransform ( 1 0.5 0  0 1 0  0 0 1 )"));
    ASSERT_EQ(b.scene.textures.size(), 1u);
    const Texture &t = b.scene.textures[0];
    EXPECT_EQ(t.width, 2u);
    EXPECT_FALSE(t.repeat_s);
    EXPECT_TRUE(t.repeat_t);
    const Shape &shape = b.scene.shapes.at(0);
    EXPECT_EQ(shape.appearance.texture, 0u);
    EXPECT_FALSE(shape.appearance.texture_transform);  // a shear: baked instead
    const FaceSet &fs = face_set(b, 0);
    ASSERT_EQ(fs.tex_coords.size(), 8u);
    // (u, v, 1) · M: point 1's uv (1, 0) becomes (1, 0.5).
    EXPECT_FLOAT_EQ(fs.tex_coords[2], 1.0f);
    EXPECT_FLOAT_EQ(fs.tex_coords[3], 0.5f);

    // A polygon's corner uvs: one per corner, the face's run ended by -1.
    const Built p = build(textured(R"(
          Polygon ( 4  0 0 0  1 0 0  1 1 0  0 1 0 )
          Container ( VertexAttributeSetList ( 4 Exclude 0 )
                      Container ( AttributeSet ( ) SurfaceUV ( 0 0 ) )
                      Container ( AttributeSet ( ) SurfaceUV ( 1 0 ) )
                      Container ( AttributeSet ( ) SurfaceUV ( 1 1 ) )
                      Container ( AttributeSet ( ) SurfaceUV ( 0 1 ) ) ))"));
    const FaceSet &polygon = face_set(p, 0);
    EXPECT_TRUE(std::ranges::equal(polygon.tex_coords, std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
    EXPECT_TRUE(
        std::ranges::equal(polygon.tex_coord_index, std::vector<std::int32_t>{0, 1, 2, 3, -1}));
}

// A MipmapTexture's first level is read past the table of all 32 levels, and decodes as the same
// image in a PixmapTexture does.
TEST(scene_builder_geometry, a_mipmap_texture_shows_its_first_level) {
    std::string levels;
    for (int i = 0; i < 31 * 4; ++i) levels += " 0";
    const std::string_view triangle = "TriMesh ( 1 0 0 0 3 0  0 1 2  0 0 0  1 0 0  0 1 0  False )";
    const Built pixmap = build(textured(triangle));
    const Built mipmap =
        build(textured(triangle, "MipmapTexture ( 0 RGB16 BigEndian BigEndian  2 2 4 0" + levels +
                                     "  0x7C0003E0 0x001F7FFF )"));
    ASSERT_EQ(pixmap.scene.textures.size(), 1u);
    ASSERT_EQ(mipmap.scene.textures.size(), 1u) << mipmap.diagnostics.entries().size();
    EXPECT_EQ(mipmap.scene.textures[0].width, 2u);
    EXPECT_EQ(mipmap.scene.textures[0].height, 2u);
    EXPECT_EQ(mipmap.scene.textures[0].pixels, pixmap.scene.textures[0].pixels);
    EXPECT_TRUE(mipmap.diagnostics.entries().empty());
}

TEST(scene_builder_geometry, per_triangle_shaders_split_the_mesh_and_share_pixmaps) {
    const Built b = build(std::string(R"(
        pix: )") + std::string(kPixmap) +
                          R"(
        Container (
          TriMesh ( 3 1 0 0 4 0  0 1 2  0 2 3  1 2 3  0 0 0  1 0 0  1 1 0  0 1 0  0 0 0  1 1 0  False )
          Container ( AttributeArray ( 11 0 0 0 0 )
                      Container ( TextureShader ( ) Reference ( 1 ) )
                      Container ( TextureShader ( ) Shader ( Clamp Clamp ) Reference ( 1 ) )
                      Container ( TextureShader ( ) Reference ( 1 ) ) )
        )
        TableOfContents ( toc2> 2 -1 0 12 1  1 pix> )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 2u);
    EXPECT_EQ(face_set(b, 0).triangles.size(), 6u);  // triangles 0 and 2
    EXPECT_EQ(face_set(b, 1).triangles.size(), 3u);
    // One image, once per pair of repeat flags.
    EXPECT_EQ(b.scene.textures.size(), 2u);
    EXPECT_NE(b.scene.shapes[0].appearance.texture, b.scene.shapes[1].appearance.texture);
}

TEST(scene_builder_geometry, free_texture_shader_applies_to_what_follows_unless_own) {
    const Built b = build("Container ( TextureShader ( ) " + std::string(kPixmap) +
                          " ) Ellipsoid ( 0 1 0  0 0 1  1 0 0  0 0 0 ) " +
                          textured("Triangle ( 0 0 0  1 0 0  0 1 0 )"));
    ASSERT_EQ(b.scene.shapes.size(), 2u);
    EXPECT_EQ(b.scene.shapes[0].appearance.texture, 0u);
    // The surface's own parameters become its texture coordinates.
    EXPECT_FALSE(face_set(b, 0).tex_coords.empty());
    EXPECT_EQ(b.scene.shapes[1].appearance.texture, 1u);
}

TEST(scene_builder_geometry, curves_points_and_markers) {
    const Built b = build(R"(
        Line ( 0 0 0  1 1 0 )
        Ellipse ( 2 0 0  0 1 0  0 0 0  0 0.5 )
        NURBCurve ( 3 3   0 0 0 1  1 1 0 1  2 0 0 1   0 0 0 1 1 1 )
        Marker ( 0 0 0  -4 -4  8 8 1  BigEndian 0x183C7EFFFF7E3C18 )
        Container ( Point ( 1 2 3 ) Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) ) )
    )");
    ASSERT_EQ(b.scene.shapes.size(), 5u);
    EXPECT_TRUE(std::holds_alternative<LineSet>(b.scene.shapes[0].geometry));
    const auto &ellipse = std::get<LineSet>(b.scene.shapes[1].geometry);
    EXPECT_NEAR(ellipse.coords[0], 2.0f, 1e-6);  // starts at u = 0: origin + major
    EXPECT_TRUE(std::holds_alternative<LineSet>(b.scene.shapes[2].geometry));
    EXPECT_TRUE(std::holds_alternative<PointSet>(b.scene.shapes[3].geometry));
    EXPECT_TRUE(has_warning(b.diagnostics, "shown as a point"));
    // Unlit points show the diffuse colour as their emissive colour.
    EXPECT_EQ(b.scene.shapes[4].appearance.material.emissive.r, 1.0f);
}

}  // namespace
}  // namespace tarvex::builder::test
