// The draw list made from full mode's scene (transforms, use nodes, faces, colours) and from the
// default mode's store.
#include "draw/draw_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "core/scene_store.h"
#include "scene/scene.h"

namespace {

using tarvex::draw::DrawList;
using tarvex::draw::fromScene;
using tarvex::draw::Vec3;
namespace scene = tarvex::scene;

void expectNear(Vec3 got, Vec3 want) {
    EXPECT_NEAR(got.x, want.x, 1e-5f);
    EXPECT_NEAR(got.y, want.y, 1e-5f);
    EXPECT_NEAR(got.z, want.z, 1e-5f);
}

std::uint32_t addNode(scene::Scene &s, scene::Node node, std::uint32_t parent) {
    s.nodes.push_back(std::move(node));
    const auto index = static_cast<std::uint32_t>(s.nodes.size() - 1);
    s.nodes[parent].children.push_back(index);
    return index;
}

using Kind = scene::Node::Kind;

// A texture's fields in order, on either side of the conversion.
auto fields(const auto &texture) {
    const auto &[width, height, components, pixels, repeatS, repeatT] = texture;
    return std::tie(width, height, components, pixels, repeatS, repeatT);
}

// A shape node (`index` names the shape) or a use node (`index` names the node used).
scene::Node node(Kind kind, std::uint32_t index, scene::Name name = {}) {
    scene::Node node;
    node.kind = kind;
    node.name = name;
    (kind == Kind::use ? node.used : node.shape) = index;
    return node;
}

scene::Node transformNode(float (&&m)[4][4]) {
    scene::Node node;
    node.kind = Kind::transform;
    std::copy(&m[0][0], &m[0][0] + 16, &node.transform.matrix[0][0]);
    return node;
}

// root: move (10 0 0) { turn 90 degrees about z and scale 2 { "tri" } }, then a use of the move
// node, a use of that use, a use of the root (a cycle, drawn no further), two uses that use each
// other and one that leads past the nodes: use chains are followed as the writers follow them.
TEST(draw_list, composesNestedTransformsAndFollowsUseChainsToTheirEndOnly) {
    scene::Scene s;
    scene::FaceSet faces;
    faces.coords = s.keep(std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1});
    faces.triangles = s.keep(std::vector<std::uint32_t>{0, 1, 2});
    s.shapes.push_back({{}, faces});
    const auto move =
        addNode(s, transformNode({{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {10, 0, 0, 1}}), 0);
    const auto scale =
        addNode(s, transformNode({{0, 2, 0, 0}, {-2, 0, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}}), move);
    addNode(s, node(Kind::shape, 0, "tri"), scale);
    addNode(s, node(Kind::use, addNode(s, node(Kind::use, move), 0)), 0);
    addNode(s, node(Kind::use, 0), 0);
    const auto loopA = addNode(s, node(Kind::use, 0), 0);
    s.nodes[loopA].used = addNode(s, node(Kind::use, loopA), 0);
    addNode(s, node(Kind::use, 1000), 0);

    const DrawList list = fromScene(s);
    ASSERT_EQ(list.shapes.size(), 3u);
    EXPECT_EQ(list.meshes.size(), 1u);  // the used shape shares its mesh
    const std::vector<float> &p = list.meshes.at(0).positions;
    ASSERT_EQ(p.size(), 9u);
    // Turned and scaled first, then moved: (1 0 0) -> (0 2 0) -> (10 2 0).
    const Vec3 world[] = {{10, 2, 0}, {8, 0, 0}, {10, 0, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(list.shapes[i].name, "tri");
        EXPECT_EQ(list.shapes[i].mesh, 0u);
        for (std::size_t k = 0; k < 3; ++k)
            expectNear(tarvex::draw::transformPoint(list.shapes[i].toWorld,
                                                    {p[3 * k], p[3 * k + 1], p[3 * k + 2]}),
                       world[k]);
    }
    expectNear(list.bounds.min, {8, 0, 0});
    expectNear(list.bounds.max, {10, 2, 2});
}

struct FaceCase {
    const char *name;
    std::vector<std::int32_t> coordIndex;
    std::vector<float> colors;
    std::vector<std::int32_t> colorIndex;
    bool perVertex;
    bool convex;
    // One colour (its red part) per triangle corner, in order.
    std::vector<float> cornerReds;
};

// Square 0-1-2-3 and the L-shaped hexagon 0-4-5-6-7-3 on a unit grid (area 3).
const std::vector<float> kGrid{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 0,
                               0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0};

class FaceSets : public testing::TestWithParam<FaceCase> {};

TEST_P(FaceSets, expandsColoursPerCorner) {
    const FaceCase &c = GetParam();
    scene::Scene s;
    scene::FaceSet faces;
    faces.coords = s.keep(std::vector<float>(kGrid));
    faces.coord_index = s.keep(std::vector<std::int32_t>(c.coordIndex));
    faces.colors = s.keep(std::vector<float>(c.colors));
    faces.color_index = s.keep(std::vector<std::int32_t>(c.colorIndex));
    faces.color_per_vertex = c.perVertex;
    faces.convex = c.convex;
    s.shapes.push_back({{}, faces});
    addNode(s, node(Kind::shape, 0), 0);
    const DrawList list = fromScene(s);
    const tarvex::draw::Mesh &mesh = list.meshes.at(0);
    std::vector<float> reds;
    for (std::uint32_t i : mesh.indices) reds.push_back(mesh.colors.at(i * 3));
    EXPECT_EQ(reds, c.cornerReds);
    // Every triangle turns the same way as its face, and together they cover it exactly.
    double area = 0;
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const float *a = &mesh.positions[mesh.indices[t] * 3];
        const float *b = &mesh.positions[mesh.indices[t + 1] * 3];
        const float *d = &mesh.positions[mesh.indices[t + 2] * 3];
        const double z = (b[0] - a[0]) * (d[1] - a[1]) - (b[1] - a[1]) * (d[0] - a[0]);
        EXPECT_GT(z, 0) << "triangle " << t / 3;
        area += z / 2;
    }
    const double squares = reds.size() / 6.0;  // two triangles a unit square here
    EXPECT_DOUBLE_EQ(area, c.convex ? squares : 3.0);
}

INSTANTIATE_TEST_SUITE_P(
    draw_list, FaceSets,
    testing::Values(
        // Per face, no index: face n takes colour n.
        FaceCase("perFace", {0, 1, 2, 3, -1, 1, 4, 5, 2, -1}, {0.1f, 0, 0, 0.2f, 0, 0}, {}, false,
                 true, {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f}),
        // Per face through the index; the missing last -1 still ends the face.
        FaceCase("perFaceIndexed", {0, 1, 2, 3, -1, 1, 4, 5, 2}, {0.1f, 0, 0, 0.2f, 0, 0}, {1, 0},
                 false, true,
                 {0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f}),
        // Per vertex through an index of the faces' shape.
        FaceCase("perVertexIndexed", {0, 1, 2, 3, -1}, {0.1f, 0, 0, 0.2f, 0, 0}, {0, 1, 1, 0, -1},
                 true, true, {0.1f, 0.2f, 0.2f, 0.1f, 0.2f, 0.1f}),
        // A face naming a missing point or colour is left out, the others stay.
        FaceCase("badIndexLeavesFaceOut", {0, 1, 2, 3, -1, 1, 4, 99, -1, 1, 4, 5, 2, -1},
                 {0.1f, 0, 0, 0.2f, 0, 0, 0.3f, 0, 0}, {}, false, true,
                 {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f}),
        // A colour index that stops short leaves the faces past its end out.
        FaceCase("shortColourIndexLeavesFaceOut", {0, 1, 2, 3, -1, 1, 4, 5, 2, -1},
                 {0.1f, 0, 0, 0.2f, 0, 0}, {0, 1, 1, 0, -1}, true, true,
                 {0.1f, 0.2f, 0.2f, 0.1f, 0.2f, 0.1f}),
        // A concave face is cut into ears: a fan from corner 0 would cover the notch.
        FaceCase("concaveEarClipped", {4, 5, 6, 7, 8, 0, -1}, {0.5f, 0, 0}, {}, false, false,
                 std::vector<float>(12, 0.5f))),
    [](const auto &info) { return std::string(info.param.name); });

// Lines and points keep their valid indices only. VRML's tc' = -C S R C T tc, worked by hand for
// translation (0.5 0.25), centre (0.5 0.5), scale (2 3): (0 0) -> (1 0.75) before the scale ->
// (1.5 1.75); (1 0) -> (3.5 1.75); (0 1) -> (1.5 4.75). Textures of every pixel size are handed
// over as they are, and one whose pixels fall short of its size is left empty rather than read
// past its end.
TEST(draw_list, linesPointsTextureCoordinatesAndTextures) {
    scene::Scene s;
    scene::FaceSet faces;
    faces.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
    faces.coord_index = s.keep(std::vector<std::int32_t>{0, 1, 2, -1});
    faces.tex_coords = s.keep(std::vector<float>{0, 0, 1, 0, 0, 1});
    scene::Appearance a;
    a.texture_transform = scene::TextureTransform{{0.5f, 0.5f}, 0, {2, 3}, {0.5f, 0.25f}};
    scene::LineSet lines;
    lines.coords = s.keep(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0});
    lines.coord_index = s.keep(std::vector<std::int32_t>{0, 1, 2, -1, 2, 7, -1, 2, 0});
    scene::PointSet points;
    points.coords = s.keep(std::vector<float>{0, 0, 0, 3, 3, 3});
    points.colors = s.keep(std::vector<float>{1, 0, 0, 0, 1, 0});
    s.shapes.push_back({a, faces});
    s.shapes.push_back({{}, lines});
    s.shapes.push_back({{}, points});
    for (std::uint32_t i = 0; i < 3; ++i) addNode(s, node(Kind::shape, i), 0);
    s.textures.push_back({2, 1, 1, {10, 20}, true, false});
    s.textures.push_back({1, 1, 2, {30, 40}, false, true});
    s.textures.push_back({1, 1, 4, {1, 2, 3, 4}, true, true});
    s.textures.push_back({2, 2, 3, {1, 2, 3}, true, true});  // 3 of 12 bytes
    const DrawList list = fromScene(s);
    ASSERT_EQ(list.meshes.size(), 3u);
    // Every step is exact in binary.
    EXPECT_EQ(list.meshes[0].texCoords,
              (std::vector<float>{1.5f, 1.75f, 3.5f, 1.75f, 1.5f, 4.75f}));
    EXPECT_EQ(list.meshes[1].primitive, tarvex::draw::Primitive::lines);
    EXPECT_EQ(list.meshes[1].indices.size(), 6u);  // 0-1, 1-2, 2-0; 2-7 names no point
    EXPECT_EQ(list.meshes[2].primitive, tarvex::draw::Primitive::points);
    EXPECT_EQ(list.meshes[2].colors, (std::vector<float>{1, 0, 0, 0, 1, 0}));
    expectNear(list.bounds.max, {3, 3, 3});
    EXPECT_FLOAT_EQ(list.bounds.radius(), 2.598076f);  // half of sqrt(3 * 3^2): no axis left out
    ASSERT_EQ(list.textures.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(fields(list.textures[i]) == fields(s.textures[i])) << i;
    EXPECT_TRUE(fields(list.textures[3]) == fields(tarvex::draw::Texture{}));  // 0 x 0, no pixels
}

TEST(draw_list, convertsTheStore) {
    tarvex::newSceneGraph();
    tarvex::Shape *cube = tarvex::newShape("cube", 4, 3);
    ASSERT_NE(cube, nullptr);
    cube->appearance.material.diffuseColor = {0.8f, 0.1f, 0.1f};
    cube->geometry.coord.point.v = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}};  // the fourth never read
    cube->geometry.coordIndex.v = {{0, 1, 2}, {0, 2, 3}, {2, -1, 0}};
    ASSERT_NE(tarvex::newShape("", 0, 0), nullptr);
    tarvex::Viewpoint *vp = tarvex::newViewpoint("cam");
    vp->position = {4, 3, 6};
    vp->orientation = {0, 1, 0, 0.5f};
    // A repeat (names do not count), left out as the writer leaves it out.
    tarvex::Viewpoint *again = tarvex::newViewpoint("again");
    again->position = vp->position;
    again->orientation = vp->orientation;
    tarvex::newLight("sun")->ambientIntensity = 0.3f;

    const DrawList list = tarvex::draw::fromStore();
    ASSERT_EQ(list.shapes.size(), 2u);
    EXPECT_EQ(list.shapes[0].name, "cube");
    EXPECT_EQ(list.shapes[1].source, 1u);
    EXPECT_FLOAT_EQ(list.shapes[0].material.diffuse.g, 0.1f);
    EXPECT_FLOAT_EQ(list.shapes[0].material.ambientIntensity, 0.2f);  // VRML's default
    EXPECT_EQ(list.meshes[0].positions.size(), 9u);
    EXPECT_EQ(list.meshes[0].indices, (std::vector<std::uint32_t>{0, 1, 2}));
    expectNear(list.bounds.max, {1, 2, 0});
    // The view frames a box by its centre and the radius of the sphere through its corners.
    expectNear(list.bounds.center(), {0.5f, 1, 0});
    EXPECT_FLOAT_EQ(list.bounds.radius(),
                    1.118034f);  // half of sqrt(1^2 + 2^2 + 0^2): no axis twice
    EXPECT_EQ(tarvex::draw::Box{}.radius(), 0);
    ASSERT_EQ(list.viewpoints.size(), 1u);
    EXPECT_EQ(list.viewpoints[0].name, "cam");
    expectNear(list.viewpoints[0].position, {4, 3, 6});
    EXPECT_FLOAT_EQ(list.viewpoints[0].angle, 0.5f);
    ASSERT_EQ(list.lights.size(), 1u);
    EXPECT_FLOAT_EQ(list.lights[0].ambientIntensity, 0.3f);
    tarvex::clean_up();
}

}  // namespace
