// Full mode's scene as the public plain data: the node graph unfolded into a tree, each shape's
// geometry flattened once into arrays, textures widened to RGBA.
#include <cmath>
#include <mutex>
#include <new>
#include <utility>
#include <variant>

#include "library/internal.h"
#include "meshing/flat_mesh.h"
#include "scene/scene.h"
#include "scene/use_chains.h"
#include "tarvex/tarvex.h"

namespace tarvex {
inline namespace v1 {
namespace {

// Bounds the nodes a hostile file can make out of groups that repeat each other.
constexpr std::size_t kMaxNodes = std::size_t{1} << 20;

void copy3(float (&to)[3], float x, float y, float z) {
    to[0] = x;
    to[1] = y;
    to[2] = z;
}

Mesh meshOf(const scene::Shape &shape) {
    meshing::FlatMesh flat = meshing::flatten(shape);
    Mesh mesh;
    using FlatPrimitive = meshing::FlatMesh::Primitive;
    mesh.primitive = flat.primitive == FlatPrimitive::lines    ? Primitive::lines
                     : flat.primitive == FlatPrimitive::points ? Primitive::points
                                                               : Primitive::triangles;
    const auto *faces = std::get_if<scene::FaceSet>(&shape.geometry);
    if (faces && !faces->ccw) {
        for (std::size_t i = 0; i + 2 < flat.indices.size(); i += 3)
            std::swap(flat.indices[i + 1], flat.indices[i + 2]);
    }
    mesh.double_sided = !(faces && faces->solid);
    mesh.positions = std::move(flat.positions);
    mesh.normals = std::move(flat.normals);
    mesh.uvs = std::move(flat.tex_coords);
    mesh.colors = std::move(flat.colors);
    mesh.indices = std::move(flat.indices);
    return mesh;
}

Material materialOf(const scene::Appearance &appearance, std::size_t textures) {
    const scene::Material &in = appearance.material;
    Material out;
    copy3(out.diffuse, in.diffuse.r, in.diffuse.g, in.diffuse.b);
    copy3(out.specular, in.specular.r, in.specular.g, in.specular.b);
    copy3(out.emissive, in.emissive.r, in.emissive.g, in.emissive.b);
    out.ambient_intensity = in.ambient_intensity;
    out.shininess = in.shininess;
    out.transparency = in.transparency;
    if (appearance.texture < textures) out.texture = appearance.texture;
    return out;
}

// A texture whose pixels fall short of its size is left empty rather than read past.
Texture textureOf(const scene::Texture &in) {
    Texture out;
    out.repeat_s = in.repeat_s;
    out.repeat_t = in.repeat_t;
    const std::uint64_t pixels = std::uint64_t{in.width} * in.height;
    if (in.components < 1 || in.components > 4 || in.pixels.size() < pixels * in.components)
        return out;
    out.width = in.width;
    out.height = in.height;
    out.rgba.resize(pixels * 4);
    for (std::uint64_t p = 0; p < pixels; ++p) {
        const std::uint8_t *from = in.pixels.data() + p * in.components;
        std::uint8_t *to = out.rgba.data() + p * 4;
        const bool grey = in.components <= 2;
        to[0] = from[0];
        to[1] = grey ? from[0] : from[1];
        to[2] = grey ? from[0] : from[2];
        to[3] = in.components == 2 ? from[1] : in.components == 4 ? from[3] : 255;
    }
    return out;
}

Camera cameraOf(const scene::Viewpoint &in) {
    Camera out;
    out.name = std::string(in.name.empty() ? in.description : in.name);
    copy3(out.position, in.position.x, in.position.y, in.position.z);
    const scene::Rotation &r = in.orientation;
    const double length = std::sqrt(double{r.x} * r.x + double{r.y} * r.y + double{r.z} * r.z);
    if (length > 0) {
        const double s = std::sin(r.angle / 2.0) / length;
        out.orientation[0] = static_cast<float>(r.x * s);
        out.orientation[1] = static_cast<float>(r.y * s);
        out.orientation[2] = static_cast<float>(r.z * s);
        out.orientation[3] = static_cast<float>(std::cos(r.angle / 2.0));
    }
    out.field_of_view = in.field_of_view;
    return out;
}

Light lightOf(const scene::Light &in) {
    Light out;
    switch (in.kind) {
        case scene::Light::Kind::ambient:
            out.kind = Light::Kind::ambient;
            break;
        case scene::Light::Kind::directional:
            out.kind = Light::Kind::directional;
            break;
        case scene::Light::Kind::point:
            out.kind = Light::Kind::point;
            break;
        case scene::Light::Kind::spot:
            out.kind = Light::Kind::spot;
            break;
    }
    out.name = std::string(in.name.view());
    out.on = in.on;
    out.intensity = in.intensity;
    copy3(out.color, in.color.r, in.color.g, in.color.b);
    copy3(out.location, in.location.x, in.location.y, in.location.z);
    copy3(out.direction, in.direction.x, in.direction.y, in.direction.z);
    copy3(out.attenuation, in.attenuation.x, in.attenuation.y, in.attenuation.z);
    out.beam_width = in.beam_width;
    out.cut_off_angle = in.cut_off_angle;
    out.radius = in.radius;
    return out;
}

// Returns how many nodes were left out past kMaxNodes.
std::uint64_t unfold(const scene::Scene &in, Scene &out) {
    const std::vector<std::uint32_t> resolved = scene::resolve_uses(in);
    std::vector<std::uint32_t> meshOfShape(in.shapes.size(), kNone);
    std::vector<char> onPath(in.nodes.size(), 0);  // groups inside themselves
    std::uint64_t leftOut = 0;
    struct Visit {
        std::uint32_t node;
        std::uint32_t parent;  // in `out`
        bool leaving;
    };
    std::vector<Visit> stack{{0, kNone, false}};
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        if (visit.leaving) {
            onPath[visit.node] = 0;
            continue;
        }
        // Straight to a use chain's end, as the writers go: one that loops or leads nowhere
        // shows nothing.
        const std::uint32_t at = visit.node < in.nodes.size() ? resolved[visit.node] : kNone;
        if (at == kNone || onPath[at]) continue;
        if (out.nodes.size() >= kMaxNodes) {
            ++leftOut;
            continue;
        }
        const scene::Node &node = in.nodes[at];
        const auto index = static_cast<std::uint32_t>(out.nodes.size());
        Node &made = out.nodes.emplace_back();
        made.name = std::string(node.name.view());
        made.parent = visit.parent;
        if (visit.parent != kNone) out.nodes[visit.parent].children.push_back(index);
        if (node.kind == scene::Node::Kind::transform) {
            for (int i = 0; i < 16; ++i) made.transform.m[i] = node.transform.matrix[i / 4][i % 4];
        }
        if (node.kind == scene::Node::Kind::shape) {
            if (node.shape < in.shapes.size()) {
                std::uint32_t &mesh = meshOfShape[node.shape];
                if (mesh == kNone) {
                    const scene::Shape &shape = in.shapes[node.shape];
                    mesh = static_cast<std::uint32_t>(out.meshes.size());
                    out.meshes.push_back(meshOf(shape));
                    out.meshes.back().material = static_cast<std::uint32_t>(out.materials.size());
                    out.materials.push_back(materialOf(shape.appearance, in.textures.size()));
                }
                out.nodes[index].mesh = mesh;
            }
            continue;
        }
        onPath[at] = 1;
        stack.push_back({at, kNone, true});
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
            stack.push_back({*child, index, false});
    }
    return leftOut;
}

Result readScene(const detail::Source &source, Scene &scene, const Options &options) {
    scene = Scene{};
    Result result;
    conversion::Options internal;
    internal.full = true;
    internal.max_output = options.max_output;
    conversion::Conversion conversion;
    std::unique_lock<std::mutex> unused;
    if (!detail::read(conversion, source, internal, options, unused, result)) return result;
    const scene::Scene &in = conversion.scene();
    const std::uint64_t leftOut = unfold(in, scene);
    if (leftOut > 0)
        result.warnings.push_back(std::to_string(leftOut) +
                                  " repeated nodes left out past a million in all");
    for (const scene::Texture &texture : in.textures) scene.textures.push_back(textureOf(texture));
    for (const scene::Viewpoint &viewpoint : in.viewpoints)
        scene.cameras.push_back(cameraOf(viewpoint));
    for (const scene::Light &light : in.lights) scene.lights.push_back(lightOf(light));
    if (in.background) {
        scene.has_background = true;
        copy3(scene.background, in.background->r, in.background->g, in.background->b);
    }
    return result;
}

Result guarded(const detail::Source &source, Scene &scene, const Options &options) {
    try {
        return readScene(source, scene, options);
    } catch (const std::bad_alloc &) {
        scene = Scene{};
        return detail::out_of_memory();
    }
}

}  // namespace

Result read_scene_bytes(std::string_view input, Scene &scene, const Options &options) {
    return guarded(detail::bytes_source(input, options), scene, options);
}

Result read_scene_file(const std::string &input_path, Scene &scene, const Options &options) {
    return guarded(detail::file_source(input_path), scene, options);
}

}  // namespace v1
}  // namespace tarvex
