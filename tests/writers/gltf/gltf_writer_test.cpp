// The glTF writer held to the VRML one: the same scene written both ways must put the same
// geometry in the same places (each output measured by its own independent reader), on our own
// files and on every real one; shared shapes stay one mesh; .gltf holds what .glb holds.
#include "writers/gltf/gltf_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/conversion.h"
#include "geometry/matrix.h"
#include "gltf_measure.h"
#include "node_tools.h"
#include "test_support.h"
#include "vrml_measure.h"
#include "writers/vrml97/scene_writer.h"

namespace {

namespace fs = std::filesystem;
using tarvex::measure::Box;
using tarvex::measure::GltfMeasure;
using tarvex::measure::Measure;

const fs::path kSource = TARVEX_SOURCE_DIR;
const fs::path kCorpus = TARVEX_CORPUS_DIR;

const tarvex::conversion::Options kFullMode{.full = true};

struct Both {
    Measure vrml;
    GltfMeasure glb, gltf;
    tarvex::gltf::WriteReport report;
    std::string gltf_text;
};

Both convert(const fs::path &file) {
    tarvex::conversion::Conversion conversion;
    conversion.read(file.string(), kFullMode);
    Both both;
    both.vrml =
        tarvex::measure::measure_vrml(tarvex::vrml97::write_scene_string(conversion.scene()));
    std::string bytes;
    EXPECT_TRUE(tarvex::gltf::write_gltf(conversion.scene(), tarvex::gltf::Container::glb, bytes,
                                         &both.report));
    both.glb = tarvex::measure::measure_gltf(bytes);
    EXPECT_TRUE(tarvex::gltf::write_gltf(conversion.scene(), tarvex::gltf::Container::gltf,
                                         both.gltf_text));
    both.gltf = tarvex::measure::measure_gltf(both.gltf_text);
    return both;
}

double diagonal(const Box &b) {
    return std::hypot(b.max[0] - b.min[0], b.max[1] - b.min[1], b.max[2] - b.min[2]);
}

// Float32 rounding: the box to 1e-5 of its diagonal, area and length to 1e-4 relative.
void expectSameGeometry(const fs::path &file, const Measure &vrml, const GltfMeasure &gltf) {
    SCOPED_TRACE(file.filename().string());
    EXPECT_TRUE(gltf.errors.empty()) << gltf.errors.front();
    EXPECT_TRUE(vrml.errors.empty()) << vrml.errors.front();
    EXPECT_EQ(gltf.triangles, vrml.triangles);
    EXPECT_EQ(gltf.points, vrml.points);
    EXPECT_NEAR(gltf.area, vrml.area, 1e-4 * std::max(vrml.area, 1e-30));
    EXPECT_NEAR(gltf.line_length, vrml.line_length, 1e-4 * std::max(vrml.line_length, 1e-30));
    ASSERT_EQ(gltf.box.empty, vrml.box.empty);
    const double tolerance = 1e-5 * std::max(diagonal(vrml.box), 1e-30);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(gltf.box.min[k], vrml.box.min[k], tolerance) << "axis " << k;
        EXPECT_NEAR(gltf.box.max[k], vrml.box.max[k], tolerance) << "axis " << k;
    }
}

// Our own files, each of which must draw for the comparison to mean something, then every real
// one; the JSON container with its data URI is read back to the very figures of the binary one.
TEST(GltfGeometry, EveryFileMatchesTheVrmlWorld) {
    std::vector<fs::path> files = tarvex::measure::own_files(kSource);
    const std::size_t own = files.size();
    ASSERT_GT(own, 10u);
    for (const fs::path &file : tarvex::measure::corpus_files(kCorpus)) files.push_back(file);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Both both = convert(files[i]);
        expectSameGeometry(files[i], both.vrml, both.glb);
        EXPECT_TRUE(both.gltf.errors.empty());
        EXPECT_EQ(
            std::tie(both.gltf.triangles, both.gltf.points, both.gltf.area, both.gltf.line_length,
                     both.gltf.meshes, both.gltf.cameras, both.gltf.lights),
            std::tie(both.glb.triangles, both.glb.points, both.glb.area, both.glb.line_length,
                     both.glb.meshes, both.glb.cameras, both.glb.lights))
            << files[i];
        EXPECT_TRUE(i >= own || both.vrml.triangles + both.vrml.points > 0 ||
                    both.vrml.line_length > 0)
            << files[i];
    }
}

// A texture on faces that give no uvs is mapped as a VRML reader maps it, by the points' box:
// s along the longest side from 0 to 1, t along the next at the same scale (ties to x, then y),
// t turned over for glTF. The triangle is longest in x, the polygon in y, the TriMesh square.
TEST(GltfTextures, FacesWithoutUvsAreMappedByTheirBox) {
    tarvex::conversion::Conversion conversion;
    conversion.read((kSource / "tests/writers/gltf/data/pixmap_without_uvs.3dmf").string(),
                    kFullMode);
    std::string glb;
    ASSERT_TRUE(tarvex::gltf::write_gltf(conversion.scene(), tarvex::gltf::Container::glb, glb));
    std::uint32_t jsonLength;
    std::memcpy(&jsonLength, glb.data() + 12, 4);
    const nlohmann::json json = nlohmann::json::parse(glb.substr(20, jsonLength));
    const auto floats = [&](const nlohmann::json &index, std::size_t components) {
        const nlohmann::json &a = json["accessors"][index.get<std::size_t>()];
        const nlohmann::json &view = json["bufferViews"][a["bufferView"].get<std::size_t>()];
        std::vector<float> out(a["count"].get<std::size_t>() * components);
        std::memcpy(out.data(),
                    glb.data() + 28 + jsonLength + view["byteOffset"].get<std::size_t>(),
                    out.size() * sizeof(float));
        return out;
    };
    ASSERT_EQ(json["meshes"].size(), 3u);
    const int longest[3][2] = {{0, 1}, {1, 0}, {0, 1}};
    for (std::size_t m = 0; m < 3; ++m) {
        const nlohmann::json &primitive = json["meshes"][m]["primitives"][0];
        ASSERT_TRUE(primitive["attributes"].contains("TEXCOORD_0")) << m;
        EXPECT_TRUE(
            json["materials"][primitive["material"].get<std::size_t>()]["pbrMetallicRoughness"]
                .contains("baseColorTexture"));
        const std::vector<float> p = floats(primitive["attributes"]["POSITION"], 3),
                                 uv = floats(primitive["attributes"]["TEXCOORD_0"], 2);
        const nlohmann::json &bounds =
            json["accessors"][primitive["attributes"]["POSITION"].get<std::size_t>()];
        const int s = longest[m][0], t = longest[m][1];
        const double size = bounds["max"][s].get<double>() - bounds["min"][s].get<double>();
        for (std::size_t v = 0; v < p.size() / 3; ++v) {
            EXPECT_NEAR(uv[2 * v], (p[3 * v + s] - bounds["min"][s].get<double>()) / size, 1e-6);
            EXPECT_NEAR(uv[2 * v + 1], 1 - (p[3 * v + t] - bounds["min"][t].get<double>()) / size,
                        1e-6);
        }
    }
}

// A shape drawn by reference four times is one mesh placed by four nodes: five placements of
// the box in all (the first, drawn where it stands, is a shape of its own as in the VRML world),
// two meshes.
TEST(GltfInstancing, ReferencesShareOneMesh) {
    const Both both = convert(kSource / "tests/writers/gltf/data/five_boxes.3dmf");
    EXPECT_EQ(both.vrml.shapes, 5u);
    EXPECT_EQ(both.glb.placed_meshes, 5u);
    EXPECT_EQ(both.glb.meshes, 2u);
    EXPECT_NEAR(both.glb.area, 30, 1e-4);
}

// Cameras and lights come through, the lights as bright as VRML shows them where the PBR viewer
// divides by pi: lux = pi I; candela = pi I d^2 / attenuation(d) at the box centre (1.5 1.5 1.5).
// The ambient light glTF cannot hold goes to extras and is said. A camera's near plane is a
// ten-thousandth of the world's diagonal: near enough for the smallest detail, far enough to keep
// depth precision; here with one shape in the world (whose box was once only its last corner).
TEST(GltfScene, CamerasAndLightsAsTheVrmlWorldShowsThem) {
    constexpr double pi = 3.14159265358979;
    const double point = std::sqrt(101.5 * 101.5 * 2 + 98.5 * 98.5);  // 1/d attenuation
    const struct {
        const char *file;
        std::size_t cameras;
        std::vector<double> intensities, ambient;
    } cases[] = {{"lights_and_camera.3dmf", 1, {0.9 * pi}, {0.3, 0.3, 0.3}},
                 {"far_lights.3dmf", 0, {pi * point, pi}, {}}};  // the spot's is 1/d^2
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const Both both = convert(kSource / "tests/data/shapes" / c.file);
        const nlohmann::json json = nlohmann::json::parse(both.gltf_text);
        EXPECT_EQ(both.glb.cameras, both.vrml.viewpoints.size());
        EXPECT_EQ(both.glb.cameras, c.cameras);
        for (const nlohmann::json &camera : json.value("cameras", nlohmann::json::array()))
            EXPECT_NEAR(camera["perspective"]["znear"].get<double>(),
                        1e-4 * diagonal(both.vrml.box), 1e-6 * diagonal(both.vrml.box));
        std::size_t ambient = 0, vrmlLights = 0;
        for (const std::string &note : both.report.notes)
            ambient += note.find("ambient") != std::string::npos;
        for (const auto &[name, count] : both.vrml.lights) vrmlLights += count;
        EXPECT_EQ(both.glb.lights + ambient, vrmlLights);
        EXPECT_EQ(ambient, c.ambient.empty() ? 0u : 1u);
        const nlohmann::json &lights = json["extensions"]["KHR_lights_punctual"]["lights"];
        ASSERT_EQ(lights.size(), c.intensities.size());
        for (std::size_t i = 0; i < lights.size(); ++i)
            EXPECT_NEAR(lights[i]["intensity"].get<double>(), c.intensities[i],
                        1e-5 * c.intensities[i]);
        EXPECT_EQ(json["scenes"][0]
                      .value("extras", nlohmann::json::object())
                      .value("ambient", std::vector<double>{}),
                  c.ambient);
    }
}

// Spot cones past a right angle, or with the beam wider than the cut-off, are brought inside
// glTF's bounds (inner < outer <= pi/2) as written, after rounding to text.
TEST(GltfScene, SpotConesStayInsideTheirBounds) {
    tarvex::scene::Scene scene;
    for (const float cutOff : {1.5707964f, 3.0f, 0.5f}) {
        tarvex::scene::Light light;
        light.kind = tarvex::scene::Light::Kind::spot;
        light.cut_off_angle = cutOff;
        light.beam_width = 2.0f;
        scene.lights.push_back(light);
    }
    std::string text;
    ASSERT_TRUE(tarvex::gltf::write_gltf(scene, tarvex::gltf::Container::gltf, text));
    const nlohmann::json json = nlohmann::json::parse(text);
    const nlohmann::json &lights = json["extensions"]["KHR_lights_punctual"]["lights"];
    ASSERT_EQ(lights.size(), 3u);
    for (const nlohmann::json &light : lights) {
        const double outer = light["spot"]["outerConeAngle"],
                     inner = light["spot"]["innerConeAngle"];
        EXPECT_TRUE(0 <= inner && inner < outer && outer <= 1.5707963267948966)
            << inner << ' ' << outer;
    }
}

// What the builder never makes but a scene may hold, written as the VRML writer writes it: a
// transform with every field set, a scale orientation and a centre included (split over two
// glTF nodes), under a root that is itself a use of that transform; and textures sharing a
// sampler where their wrapping is the same.
TEST(GltfScene, EveryTransformFieldAndSharedSamplers) {
    namespace scene = tarvex::scene;
    scene::Scene s;
    scene::FaceSet cube;  // a unit cube's twelve triangles, area 6 before the transform
    cube.coords = s.keep(
        std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1});
    cube.triangles =
        s.keep(std::vector<std::uint32_t>{0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                          1, 2, 6, 1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7});
    cube.tex_coords = s.keep(std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1});
    for (const bool repeat : {true, true, false}) {
        s.textures.push_back({1, 1, 3, {255, 0, 0}, repeat, true});
        scene::Appearance a;
        a.texture = static_cast<std::uint32_t>(s.textures.size() - 1);
        s.shapes.push_back({a, cube});
    }
    scene::Node transform;
    transform.kind = scene::Node::Kind::transform;
    transform.transform.translation = {1, 2, 3};
    transform.transform.rotation = {0, 0, 1, 0.5f};
    transform.transform.scale = {2, 3, 4};
    transform.transform.scale_orientation = {1, 0, 0, 0.3f};
    transform.transform.center = {0.5f, -1, 2};
    {  // the same as a row-vector matrix: C^-1 SR^-1 S SR R C T
        namespace g = tarvex::geometry;
        g::Matrix4 m = g::translation(-0.5, 1, -2);
        for (const g::Matrix4 &then :
             {g::rotation(1, 0, 0, -0.3), g::scaling(2, 3, 4), g::rotation(1, 0, 0, 0.3),
              g::rotation(0, 0, 1, 0.5), g::translation(0.5, -1, 2), g::translation(1, 2, 3)})
            m = g::multiply(m, then);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) transform.transform.matrix[i][j] = float(m.m[i][j]);
    }
    s.viewpoints.push_back({});
    s.nodes[0].kind = scene::Node::Kind::use;
    s.nodes[0].used = 1;
    s.nodes.push_back(transform);
    for (std::uint32_t shape = 0; shape < 3; ++shape) {
        s.nodes[1].children.push_back(static_cast<std::uint32_t>(s.nodes.size()));
        s.nodes.push_back({scene::Node::Kind::shape, {}, {}, shape, scene::kNone, {}});
    }
    // The VRML world with the root written as the transform it uses.
    scene::Scene asVrml = s;
    asVrml.nodes[0] = scene::Node{};
    asVrml.nodes[0].children = {1};
    const Measure vrml = tarvex::measure::measure_vrml(tarvex::vrml97::write_scene_string(asVrml));
    std::string bytes;
    ASSERT_TRUE(tarvex::gltf::write_gltf(s, tarvex::gltf::Container::gltf, bytes));
    const GltfMeasure gltf = tarvex::measure::measure_gltf(bytes);
    EXPECT_EQ(gltf.placed_meshes, 3u);
    expectSameGeometry("transform", vrml, gltf);
    const nlohmann::json json = nlohmann::json::parse(bytes);
    ASSERT_EQ(json["samplers"].size(), 2u);  // one a wrapping
    const auto &textures = json["textures"];
    ASSERT_EQ(textures.size(), 3u);
    EXPECT_EQ(textures[0]["sampler"], textures[1]["sampler"]);
    EXPECT_NE(textures[0]["sampler"], textures[2]["sampler"]);
    const double znear = json["cameras"][0]["perspective"]["znear"];
    EXPECT_NEAR(znear, 1e-4 * diagonal(vrml.box), 1e-6 * diagonal(vrml.box));
}

// A hostile scene: a use chain that loops and one that leads nowhere are left out and counted,
// and writing still succeeds.
TEST(GltfScene, BrokenUseChainsAreDroppedNotFollowed) {
    tarvex::scene::Scene scene;
    using Kind = tarvex::scene::Node::Kind;
    scene.nodes.push_back({Kind::use, "a", {}, tarvex::scene::kNone, 2, {}});
    scene.nodes.push_back({Kind::use, "b", {}, tarvex::scene::kNone, 1, {}});
    scene.nodes.push_back({Kind::use, "c", {}, tarvex::scene::kNone, 99, {}});
    scene.nodes[0].children = {1, 2, 3};
    std::string bytes;
    tarvex::gltf::WriteReport report;
    ASSERT_TRUE(tarvex::gltf::write_gltf(scene, tarvex::gltf::Container::glb, bytes, &report));
    EXPECT_EQ(report.dropped, 3u);
    const GltfMeasure m = tarvex::measure::measure_gltf(bytes);
    EXPECT_TRUE(m.errors.empty());
    EXPECT_EQ(m.placed_meshes, 0u);
}

// The Khronos glTF-Validator finds no error (nor warning) in any asset, .glb or .gltf, written
// from our files and the corpus.
TEST(GltfValidator, NoErrorOnAnyOutput) {
    std::vector<fs::path> files = tarvex::measure::own_files(kSource);
    for (const fs::path &file : tarvex::measure::corpus_files(kCorpus)) files.push_back(file);
    const fs::path out = fs::temp_directory_path() / ("tarvex-gltf-" + std::to_string(getpid()));
    fs::create_directories(out);
    std::vector<std::string> written;
    for (const fs::path &file : files) {
        tarvex::conversion::Conversion conversion;
        conversion.read(file.string(), kFullMode);
        for (const auto container : {tarvex::gltf::Container::glb, tarvex::gltf::Container::gltf}) {
            const bool glb = container == tarvex::gltf::Container::glb;
            const fs::path target = out / (file.filename().string() + (glb ? ".glb" : ".gltf"));
            ASSERT_EQ(tarvex::gltf::write_gltf_file(conversion.scene(), target.string(), container),
                      0);
            written.push_back(target.string());
        }
    }
    const tarvex::test::NodeRun run = tarvex::test::run_node_tool("validate-gltf.mjs", written);
    fs::remove_all(out);
    if (run.status == 77) GTEST_SKIP() << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(std::to_string(written.size()) + " files, 0 with errors"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("warning "), std::string::npos) << run.output;
}

}  // namespace
