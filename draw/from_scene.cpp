// Full mode's scene as a draw list: the node tree flattened into placed meshes.
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <type_traits>
#include <variant>

#include "draw/draw_list.h"
#include "meshing/flat_mesh.h"
#include "scene/scene.h"
#include "scene/use_chains.h"

namespace tarvex::draw {

namespace {

// Bounds the shapes a hostile file can make out of `use` nodes repeating each other.
constexpr std::size_t kMaxPlacedShapes = std::size_t{1} << 20;

Rgb rgb(const scene::Color &c) {
    return {c.r, c.g, c.b};
}
Vec3 vec(const scene::Vec3 &v) {
    return {v.x, v.y, v.z};
}

Mesh shapeMesh(const scene::Shape &shape) {
    meshing::FlatMesh flat = meshing::flatten(shape);
    Mesh mesh;
    using FlatPrimitive = meshing::FlatMesh::Primitive;
    mesh.primitive = flat.primitive == FlatPrimitive::lines    ? Primitive::lines
                     : flat.primitive == FlatPrimitive::points ? Primitive::points
                                                               : Primitive::triangles;
    mesh.positions = std::move(flat.positions);
    mesh.normals = std::move(flat.normals);
    mesh.colors = std::move(flat.colors);
    mesh.texCoords = std::move(flat.tex_coords);
    mesh.indices = std::move(flat.indices);
    for (std::size_t i = 0; i + 2 < mesh.positions.size(); i += 3) {
        mesh.bounds.add({mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2]});
    }
    return mesh;
}

Matrix matrixOf(const scene::Transform &t) {
    Matrix m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) m.m[i][j] = t.matrix[i][j];
    }
    return m;
}

}  // namespace

DrawList fromScene(const scene::Scene &scene) {
    DrawList list;
    std::vector<std::uint32_t> meshOfShape(scene.shapes.size(), kNone);
    std::vector<char> onPath(scene.nodes.size(), 0);  // groups inside themselves
    const std::vector<std::uint32_t> resolved = scene::resolve_uses(scene);

    struct Visit {
        std::uint32_t node;
        Matrix toWorld;
        std::string_view name;  // of the nearest named node on the way
        bool leaving;
    };
    std::vector<Visit> stack{{0, Matrix{}, {}, false}};
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        if (visit.leaving) {
            onPath[visit.node] = 0;
            continue;
        }
        if (visit.node >= scene.nodes.size() || onPath[visit.node]) continue;
        const scene::Node &node = scene.nodes[visit.node];
        const std::string_view name = node.name.empty() ? visit.name : node.name.view();
        if (node.kind == scene::Node::Kind::shape) {
            if (node.shape >= scene.shapes.size() || list.shapes.size() >= kMaxPlacedShapes) {
                continue;
            }
            std::uint32_t &mesh = meshOfShape[node.shape];
            const scene::Shape &in = scene.shapes[node.shape];
            if (mesh == kNone) {
                mesh = static_cast<std::uint32_t>(list.meshes.size());
                list.meshes.push_back(shapeMesh(in));
            }
            Shape &shape = list.shapes.emplace_back();
            shape.name = name;
            shape.mesh = mesh;
            const scene::Material &m = in.appearance.material;
            shape.material = {rgb(m.diffuse),  m.ambient_intensity, rgb(m.specular),
                              rgb(m.emissive), m.shininess,         m.transparency};
            if (in.appearance.texture < scene.textures.size()) {
                shape.texture = in.appearance.texture;
            }
            shape.toWorld = visit.toWorld;
            shape.bounds = transformBox(visit.toWorld, list.meshes[mesh].bounds);
            shape.source = node.shape;
            list.bounds.addBox(shape.bounds);
            continue;
        }
        if (node.kind == scene::Node::Kind::use) {
            // Straight to the chain's end, as the writers go: one that loops or leads nowhere
            // draws nothing.
            const std::uint32_t target = resolved[visit.node];
            if (target != kNone) stack.push_back({target, visit.toWorld, name, false});
            continue;
        }
        onPath[visit.node] = 1;
        stack.push_back({visit.node, {}, name, true});
        const Matrix toWorld = node.kind == scene::Node::Kind::transform
                                   ? compose(matrixOf(node.transform), visit.toWorld)
                                   : visit.toWorld;
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
            stack.push_back({*child, toWorld, name, false});
        }
    }

    for (const scene::Texture &in : scene.textures) {
        Texture &texture = list.textures.emplace_back();
        texture.width = in.width;
        texture.height = in.height;
        texture.components = in.components;
        // A texture whose pixels fall short of its size is left empty rather than overread.
        const std::uint64_t needed = std::uint64_t{in.width} * in.height * in.components;
        if (in.components >= 1 && in.components <= 4 && in.pixels.size() >= needed) {
            texture.pixels = in.pixels;
        } else {
            texture.width = texture.height = 0;
        }
        texture.repeatS = in.repeat_s;
        texture.repeatT = in.repeat_t;
    }
    for (const scene::Light &in : scene.lights) {
        Light &light = list.lights.emplace_back();
        light.on = in.on;
        light.color = rgb(in.color);
        light.location = vec(in.location);
        light.direction = vec(in.direction);
        light.attenuation = vec(in.attenuation);
        light.beamWidth = in.beam_width;
        light.cutOffAngle = in.cut_off_angle;
        light.radius = in.radius;
        switch (in.kind) {
            case scene::Light::Kind::ambient:
                // As the VRML writer shows it: a directional light with only its ambient part.
                light.kind = Light::Kind::directional;
                light.intensity = 0;
                light.ambientIntensity = in.intensity;
                break;
            case scene::Light::Kind::directional:
                light.kind = Light::Kind::directional;
                light.intensity = in.intensity;
                break;
            case scene::Light::Kind::point:
                light.kind = Light::Kind::point;
                light.intensity = in.intensity;
                break;
            case scene::Light::Kind::spot:
                light.kind = Light::Kind::spot;
                light.intensity = in.intensity;
                break;
        }
    }
    for (const scene::Viewpoint &in : scene.viewpoints) {
        Viewpoint &vp = list.viewpoints.emplace_back();
        vp.name = in.description.empty() ? in.name : in.description;
        vp.position = vec(in.position);
        vp.axis = {in.orientation.x, in.orientation.y, in.orientation.z};
        vp.angle = in.orientation.angle;
        vp.fieldOfView = in.field_of_view;
    }
    if (scene.background) list.background = rgb(*scene.background);
    return list;
}

}  // namespace tarvex::draw
