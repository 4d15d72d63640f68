#include "writers/vrml97/scene_writer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <tuple>

#include "builder/texture_decode.h"
#include "test_support.h"
#include "writers/x3d/x3d_writer.h"

namespace tarvex::vrml97 {
namespace {

using namespace scene;
using builder::decode_pixmap;
using builder::PixelType;
using builder::Pixmap;
using measure::occurrences;

using Kind = Node::Kind;

// Independent VRML readers run over text the writer produced: Coin through vrml_check and
// tovrmlx3d through tovrmlx3d_check (tests/tools), each where it is installed.
#ifdef TARVEX_VRML_CHECK
constexpr const char *kCoinCheck = TARVEX_VRML_CHECK;
#else
constexpr const char *kCoinCheck = nullptr;
#endif
#ifdef TARVEX_TOVRMLX3D_CHECK
constexpr const char *kTovrmlx3dCheck = TARVEX_TOVRMLX3D_CHECK;
#else
constexpr const char *kTovrmlx3dCheck = nullptr;
#endif

bool tovrmlx3dAvailable() {
    static const bool available =
        kTovrmlx3dCheck && std::system("command -v tovrmlx3d >/dev/null 2>&1") == 0;
    return available;
}

// Runs `command`; its output and a failing status come back as the complaint.
std::string run(const std::string &command) {
    std::FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "cannot run " + command;
    std::string output;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0) output.append(block, n);
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return "";  // reader not installed
    if (status != 0 && output.empty()) output = "failed without a message";
    return status == 0 ? std::string() : output;
}

// What the installed readers said about `text` (saved as `name`.wrl in the test's temporary
// folder): empty when each accepted it silently.
std::string readerComplaints(const std::string &text, const std::string &name) {
    const std::string path = ::testing::TempDir() + name + ".wrl";
    std::ofstream(path, std::ios::binary) << text;
    std::string complaints;
    if (kCoinCheck) complaints += run(std::string(kCoinCheck) + " '" + path + "'");
    if (tovrmlx3dAvailable()) complaints += run(std::string(kTovrmlx3dCheck) + " '" + path + "'");
    if (complaints.empty()) std::remove(path.c_str());
    return complaints;
}

// A node under `parent` (kNone: none) showing the shape or standing for the node `target`.
std::uint32_t addNode(Scene &s, Kind kind, std::uint32_t target = kNone, scene::Name name = {},
                      std::uint32_t parent = 0) {
    s.nodes.emplace_back().kind = kind;
    s.nodes.back().name = name;
    (kind == Kind::use ? s.nodes.back().used : s.nodes.back().shape) = target;
    const auto index = static_cast<std::uint32_t>(s.nodes.size() - 1);
    if (parent != kNone) s.nodes[parent].children.push_back(index);
    return index;
}

Scene colouredTriangle() {
    Scene s;
    FaceSet f;
    f.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
    f.triangles = s.keep(std::vector<std::uint32_t>{0, 1, 2});
    f.colors = s.keep(std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1});
    s.shapes.push_back(Shape{{}, f});
    addNode(s, Kind::shape, 0, "tri");
    return s;
}

// A transform holding a group holding one point without colours: unlit in VRML, so the point
// shows its diffuse colour as emissive.
Scene transformWithGroup() {
    Scene s;
    PointSet p;
    p.coords = s.keep(std::vector<float>{0.5f, 0, -1});
    s.shapes.push_back(Shape{{}, p});
    const std::uint32_t t = addNode(s, Kind::transform, kNone, "arm");
    s.nodes[t].transform.translation = {1, 2, 3};
    s.nodes[t].transform.rotation = {0, 1, 0, 1.5f};
    s.nodes[t].transform.scale = {2, 2, 2};
    addNode(s, Kind::shape, 0, {}, addNode(s, Kind::group, kNone, {}, t));
    return s;
}

// The 2x2 RGB16 sample pixmap (red green / blue white, top row first) through the decoder: VRML
// gets the bottom row first.
Scene texturedQuad() {
    Scene s;
    static const std::uint8_t image[] = {0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0x7F, 0xFF};
    Pixmap pixmap;
    pixmap.width = pixmap.height = 2;
    pixmap.row_bytes = 4;
    pixmap.pixel_size = 16;
    pixmap.type = PixelType::RGB16;
    pixmap.image = image;
    std::string problem;
    std::optional<Texture> texture = decode_pixmap(pixmap, problem);
    if (!texture) ADD_FAILURE() << problem;
    s.textures.push_back(texture.value_or(Texture{}));
    s.textures.back().repeat_s = false;
    FaceSet f;
    f.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    f.coord_index = s.keep(std::vector<std::int32_t>{0, 1, 2, 3, -1});
    f.tex_coords = s.keep(std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1});
    f.convex = false;
    Appearance a;
    a.texture = 0;
    s.shapes.push_back(Shape{a, f});
    addNode(s, Kind::shape, 0);
    return s;
}

// A use before its node (the node is written in full there, the node's own place becomes USE),
// a use after it, and a use of a node without a name.
Scene defAndUse() {
    Scene s;
    PointSet p;
    p.coords = s.keep(std::vector<float>{1, 2, 3});
    p.colors = s.keep(std::vector<float>{0, 1, 0});
    s.shapes.push_back(Shape{{}, p});
    addNode(s, Kind::use, 3);              // 1
    addNode(s, Kind::group, kNone, "g");   // 2
    addNode(s, Kind::shape, 0, "box", 2);  // 3
    addNode(s, Kind::use, 2);              // 4
    addNode(s, Kind::shape, 0);            // 5
    addNode(s, Kind::use, 5);              // 6
    return s;
}

// One name four times, and names VRML does not allow as they are.
Scene names() {
    Scene s;
    s.viewpoints.emplace_back().name = "cam";
    s.viewpoints.back().description = "say \"hi\"";
    s.lights.emplace_back().name = "cam";
    addNode(s, Kind::group, kNone, "cam");
    addNode(s, Kind::group, kNone, "cam_1");
    addNode(s, Kind::group, kNone, "1st view.a");
    addNode(s, Kind::group, kNone, "USE");
    return s;
}

// Lines show their diffuse colour when they have no colours of their own, not otherwise.
Scene lines() {
    Scene s;
    LineSet l;
    l.coords = s.keep(std::vector<float>{0, 0, 0, 1, 1, 1});
    l.coord_index = s.keep(std::vector<std::int32_t>{0, 1, -1});
    Appearance a;
    a.material.diffuse = {1, 0.5f, 0};
    s.shapes.push_back(Shape{a, l});
    l.colors = s.keep(std::vector<float>{0, 0, 1});
    l.color_per_vertex = false;
    s.shapes.push_back(Shape{a, l});
    addNode(s, Kind::shape, 0);
    addNode(s, Kind::shape, 1);
    return s;
}

Scene lightsAndWorld() {
    Scene s;
    s.info = {"made by hand"};
    s.background = Color{0, 0, 0.5f};
    s.visibility_limit = 250;
    s.lights.resize(3);
    Light &ambient = s.lights[0], &point = s.lights[1], &spot = s.lights[2];
    ambient.kind = Light::Kind::ambient;
    ambient.intensity = 0.3f;
    ambient.color = {1, 0.5f, 0.25f};
    point.kind = Light::Kind::point;
    point.intensity = 0.5f;
    point.location = {1, 2, 3};
    point.attenuation = {0, 1, 0};
    point.radius = 50;
    spot.kind = Light::Kind::spot;
    spot.on = false;
    spot.location = {0, 5, 0};
    spot.direction = {0, -1, 0};
    spot.beam_width = 0.5f;
    spot.cut_off_angle = 0.75f;
    return s;
}

// Every index array and binding at once: per-face colours through colorIndex, per-vertex normals
// through normalIndex, texture coordinates through texCoordIndex, two faces; material fields and
// face set flags away from their defaults (solid TRUE is the default, so not written).
Scene indexedBindings() {
    Scene s;
    FaceSet f;
    f.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 2, 0});
    f.coord_index = s.keep(std::vector<std::int32_t>{0, 1, 2, 3, -1, 3, 2, 4, -1});
    f.colors = s.keep(std::vector<float>{1, 0, 0, 0, 0, 1});
    f.color_index = s.keep(std::vector<std::int32_t>{1, 0});
    f.color_per_vertex = false;
    f.normals = s.keep(std::vector<float>{0, 0, 1});
    f.normal_index = s.keep(std::vector<std::int32_t>{0, 0, 0, 0, -1, 0, 0, 0, -1});
    f.tex_coords = s.keep(std::vector<float>{0, 0, 1, 1});
    f.tex_coord_index = s.keep(std::vector<std::int32_t>{0, 1, 1, 0, -1, 0, 1, 0, -1});
    f.ccw = false;
    f.crease_angle = 0.5f;
    f.solid = true;
    Appearance a;
    a.material.specular = {0.25f, 0.25f, 0.25f};
    a.material.shininess = 0.5f;
    a.material.transparency = 0.125f;
    a.material.ambient_intensity = 0.75f;
    a.texture_transform = TextureTransform{{0.5f, 0.5f}, 1, {2, 3}, {0, 1}};
    a.texture = 0;
    s.textures.push_back(Texture{1, 1, 4, {0xFF, 0x80, 0x00, 0x40}});
    s.shapes.push_back(Shape{a, f});
    addNode(s, Kind::shape, 0);
    return s;
}

// A texture shown by two shapes is written once and used again; one shown once has no name.
TEST(vrml97_writer, WritesATextureSharedByShapesOnce) {
    Scene s = indexedBindings();  // its one shape shows texture 0
    s.textures.push_back(Texture{1, 1, 3, {1, 2, 3}});
    s.shapes.insert(s.shapes.end(), 2, s.shapes[0]);
    s.shapes.back().appearance.texture = 1;
    addNode(s, Kind::shape, 1);
    addNode(s, Kind::shape, 2);
    const std::string text = write_scene_string(s);
    EXPECT_EQ(occurrences(text, "texture DEF texture0 PixelTexture {"), 1u);
    EXPECT_EQ(occurrences(text, "texture USE texture0\n"), 1u);
    // Texture 1, shown once, is written where it shows.
    EXPECT_EQ(occurrences(text, "PixelTexture {"), 2u);
}

// Each TextureTransform field is written exactly when either of its numbers leaves the default.
TEST(vrml97_writer, WritesATextureTransformsFieldsAwayFromTheirDefaults) {
    const struct {
        TextureTransform t;
        const char *lines;
    } cases[] = {
        {TextureTransform{}, "    textureTransform TextureTransform {\n    }\n"},
        {TextureTransform{{0, 0.5f}, 0, {1, 1}, {0, 0}}, "{\n      center 0 0.5\n    }\n"},
        {TextureTransform{{0.5f, 0}, 0, {1, 1}, {0, 0}}, "{\n      center 0.5 0\n    }\n"},
        {TextureTransform{{0, 0}, 0.25f, {1, 1}, {0, 0}}, "{\n      rotation 0.25\n    }\n"},
        {TextureTransform{{0, 0}, 0, {1, 2}, {0, 0}}, "{\n      scale 1 2\n    }\n"},
        {TextureTransform{{0, 0}, 0, {2, 1}, {0, 0}}, "{\n      scale 2 1\n    }\n"},
        {TextureTransform{{0, 0}, 0, {1, 1}, {0, 3}}, "{\n      translation 0 3\n    }\n"},
        {TextureTransform{{0, 0}, 0, {1, 1}, {3, 0}}, "{\n      translation 3 0\n    }\n"},
    };
    for (const auto &c : cases) {
        Scene scene = indexedBindings();
        scene.shapes[0].appearance.texture_transform = c.t;
        const std::string text = write_scene_string(scene);
        EXPECT_NE(text.find(c.lines), std::string::npos) << c.lines << "\n" << text;
    }
}

// Each world written out by hand from the VRML 97 node and field definitions, in
// tests/writers/vrml97/data/<name>.wrl.
const struct {
    const char *name;
    Scene (*build)();
} kCases[] = {
    {"coloured_triangle", colouredTriangle},
    {"transform_with_group", transformWithGroup},
    {"textured_quad", texturedQuad},
    {"def_and_use", defAndUse},
    {"names", names},
    {"lines", lines},
    {"lights_and_world", lightsAndWorld},
    {"indexed_bindings", indexedBindings},
};

std::string readText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string expectedText(const char *name) {
    return readText(std::string(TARVEX_SOURCE_DIR) + "/tests/writers/vrml97/data/" + name + ".wrl");
}

TEST(vrml97_writer, WritesEachSceneExactly) {
    for (const auto &c : kCases) {
        const Scene scene = c.build();
        WriteProblems problems;
        // gtest shows where multi-line texts differ.
        EXPECT_EQ(write_scene_string(scene, &problems), expectedText(c.name)) << c.name;
        EXPECT_FALSE(problems.any()) << c.name;
    }
}

// The check is worth only as much as the readers' refusals: a broken world must draw complaints
// from each installed reader.
TEST(vrml97_writer, EverySceneLoadsInVrmlReaders) {
    if (!kCoinCheck && !tovrmlx3dAvailable())
        GTEST_SKIP() << "neither Coin nor tovrmlx3d is installed";
    if (!kCoinCheck || !tovrmlx3dAvailable())
        std::printf("only %s checks the worlds\n", kCoinCheck ? "Coin" : "tovrmlx3d");
    for (const auto &c : kCases) {
        EXPECT_EQ(readerComplaints(write_scene_string(c.build()), c.name), "") << c.name;
    }
    const std::string broken =
        "#VRML V2.0 utf8\n"
        "Shape { geometry IndexedFaceSet { coord Coordinate { point [ 0 0 "
        "0, 1 0 0 ] } coordIndex [ 0, 1, 5, -1 ] solid MAYBE } }\n";
    const std::string complaints = readerComplaints(broken, "broken");
    if (kCoinCheck) {
        EXPECT_NE(complaints.find("Invalid value \"MAYBE\""), std::string::npos) << complaints;
    }
    if (tovrmlx3dAvailable()) {
        EXPECT_NE(complaints.find("tovrmlx3d reported"), std::string::npos) << complaints;
    }
}

// Faults a correct builder never makes still give a world every reader loads, and are counted.
TEST(vrml97_writer, MendsBrokenScenesAndCountsWhatItMended) {
    Scene s;
    FaceSet f;
    f.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 0, std::nanf(""), 0});
    f.colors = s.keep(std::vector<float>{1, 0, 0});  // per face, but two faces below
    f.color_per_vertex = false;
    f.triangles = s.keep(std::vector<std::uint32_t>{0, 1, 5, 2, 1, 0});
    Appearance a;
    a.texture = 7;  // no such texture
    s.shapes.push_back(Shape{a, f});
    addNode(s, Kind::shape, 0);
    addNode(s, Kind::shape, 9);  // no such shape
    FaceSet clean;
    clean.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
    clean.triangles = s.keep(std::vector<std::uint32_t>{0, 1, 2});
    s.textures.push_back(Texture{2, 2, 3, {255, 0, 0}});  // one pixel of four
    Appearance shortOfPixels;
    shortOfPixels.texture = 0;
    s.shapes.push_back(Shape{shortOfPixels, clean});
    addNode(s, Kind::shape, 1);
    PointSet points;  // short of colours
    points.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0});
    points.colors = s.keep(std::vector<float>{1, 0, 0});
    s.shapes.push_back(Shape{{}, points});
    addNode(s, Kind::shape, 2);
    const std::uint32_t loop = addNode(s, Kind::group, kNone, "loop");
    addNode(s, Kind::use, loop, {}, loop);  // a group inside itself
    addNode(s, Kind::use, 100);             // a use of nothing
    const std::uint32_t first = addNode(s, Kind::use, 0);
    s.nodes[first].used = addNode(s, Kind::use, first, {}, kNone);  // uses that use each other

    WriteProblems problems;
    const std::string text = write_scene_string(s, &problems);
    const auto counts = [](const WriteProblems &p) {
        return std::tuple(p.non_finite_numbers, p.bad_indices, p.dropped);
    };
    // Dropped: two colour arrays, missing texture, short texture, shape, two cycles, use of
    // nothing.
    EXPECT_EQ(counts(problems), counts({1, 1, 8}));
    EXPECT_NE(text.find("image 0 0 0\n"), std::string::npos);
    EXPECT_NE(text.find("        0 0 0,\n"), std::string::npos);
    EXPECT_NE(text.find("      0, 1, 0, -1,\n"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(readerComplaints(text, "mended"), "");
    WriteProblems x3d;  // the X3D writer mends alike
    x3d::write_x3d_string(s, &x3d);
    EXPECT_EQ(counts(x3d), counts(problems));
}

// Nesting deeper than any call stack: written iteratively, indentation capped. The deepest group
// holds many points, whose lines at the widest indentation must each fit the room reserved.
TEST(vrml97_writer, WritesDeepNestingWithoutRecursion) {
    constexpr std::uint32_t kDepth = 100000;
    constexpr int kPoints = 5000;
    Scene s;
    std::vector<float> coords;
    for (int i = 0; i < kPoints; ++i) coords.insert(coords.end(), {float(i), 0, 0});
    PointSet p;
    p.coords = s.keep(std::move(coords));
    s.shapes.push_back(Shape{{}, p});
    std::uint32_t parent = 0;
    for (std::uint32_t i = 0; i < kDepth; ++i) parent = addNode(s, Kind::group, kNone, {}, parent);
    addNode(s, Kind::shape, 0, {}, parent);
    const std::string text = write_scene_string(s);
    const std::string deepest(2 * kMaxIndentLevels, ' ');
    EXPECT_NE(
        text.find("\n" + deepest + "Group {\n" + deepest + "children [\n" + deepest + "Shape {\n"),
        std::string::npos);
    std::size_t at = 0;
    for (int i = 0; i < kPoints && at != std::string::npos; ++i) {
        at = text.find("\n" + deepest + std::to_string(i) + " 0 0,\n", at);
        EXPECT_NE(at, std::string::npos) << "point " << i;
    }
    EXPECT_TRUE(text.ends_with("\n      ]\n    }\n  ]\n}\n"));
    // NavigationInfo, the groups, and Shape, Appearance, Material, PointSet, Coordinate
    EXPECT_EQ(occurrences(text, "{"), kDepth + 1 + 5);
    EXPECT_EQ(occurrences(text, "}"), kDepth + 1 + 5);
}

// Every node of a long chain of uses stands for the shape at its end: the first is written in
// full, the others repeat it, without following the chain again for each.
TEST(vrml97_writer, FollowsLongUseChainsOnce) {
    constexpr std::uint32_t kChain = 200000;
    Scene s;
    PointSet p;
    p.coords = s.keep(std::vector<float>{1, 2, 3});
    s.shapes.push_back(Shape{{}, p});
    std::uint32_t used = addNode(s, Kind::shape, 0, {}, kNone);
    for (std::uint32_t i = 0; i < kChain; ++i) used = addNode(s, Kind::use, used);
    const std::string text = write_scene_string(s);
    EXPECT_NE(text.find("DEF node1 Shape {"), std::string::npos);
    EXPECT_EQ(occurrences(text, "\nUSE node1\n"), kChain - 1);
}

TEST(vrml97_writer, WritesFilesAndReportsFailedWrites) {
    const Scene scene = colouredTriangle();
    const std::string path = ::testing::TempDir() + "vrml97_writer_file.wrl";
    ASSERT_EQ(write_scene_file(scene, path, false), 0);
    EXPECT_EQ(readText(path), expectedText("coloured_triangle"));
    std::remove(path.c_str());
    if (std::FILE *full = std::fopen("/dev/full", "w")) {
        std::fclose(full);
        EXPECT_EQ(write_scene_file(scene, "/dev/full", false), 1);
    }
}

}  // namespace
}  // namespace tarvex::vrml97
