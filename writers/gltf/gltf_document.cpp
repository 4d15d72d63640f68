// The glTF records made from the scene: the binary buffer and its accessors, meshes, materials
// and textures. Their JSON text, and the .glb around it, are in gltf_document_json.cpp.
#include "writers/gltf/gltf_document.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <variant>

#include "core/shortest_float.h"
#include "meshing/flat_mesh.h"
#include "writers/gltf/png_image.h"

namespace tarvex::gltf {

namespace {

constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr int kFloat = 5126, kUnsignedInt = 5125;

float clamp01(float v) {
    return v > 1 ? 1 : (v > 0 ? v : 0);
}

// What a VRML reader maps a texture with where a face set gives no coordinates: s along the
// longest side of the points' box, from 0 to 1, t along the next longest at the same scale
// (ties go to x, then y), then the texture transform.
void defaultTexCoords(const scene::FaceSet &set, const scene::Appearance &appearance,
                      meshing::FlatMesh &flat) {
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    bool seen = false;
    for (std::size_t i = 0; i + 2 < set.coords.size(); i += 3) {
        const float *p = set.coords.data() + i;
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) continue;
        for (int k = 0; k < 3; ++k) {
            low[k] = seen ? std::min(low[k], p[k]) : p[k];
            high[k] = seen ? std::max(high[k], p[k]) : p[k];
        }
        seen = true;
    }
    const double size[3] = {double(high[0]) - low[0], double(high[1]) - low[1],
                            double(high[2]) - low[2]};
    int s = 0;
    for (int k = 1; k < 3; ++k)
        if (size[k] > size[s]) s = k;
    int t = s == 0 ? 1 : 0;
    for (int k = 0; k < 3; ++k)
        if (k != s && size[k] > size[t]) t = k;
    const double scale = size[s] > 0 ? 1 / size[s] : 0;
    const std::size_t vertices = flat.vertex_count();
    flat.tex_coords.resize(vertices * 2);
    for (std::size_t i = 0; i < vertices; ++i) {
        const float *p = flat.positions.data() + i * 3;
        double u = (p[s] - low[s]) * scale, v = (p[t] - low[t]) * scale;
        if (appearance.texture_transform) {
            const auto moved = appearance.texture_transform->apply(u, v);
            u = moved[0], v = moved[1];
        }
        flat.tex_coords[i * 2] = static_cast<float>(u);
        flat.tex_coords[i * 2 + 1] = static_cast<float>(v);
    }
}

}  // namespace

double json_number(float value, WriteReport &report) {
    if (!std::isfinite(value)) {
        ++report.non_finite_numbers;
        return 0;
    }
    char text[kMaxShortestFloatChars + 1];
    char *const end = format_shortest(text, value);
    *end = '\0';
    return std::strtod(text, nullptr);
}

Document::Document(const scene::Scene &scene, WriteReport &report)
    : scene_(scene), report_(report) {
    meshOfShape_.assign(scene.shapes.size(), -2);
    boxOfShape_.resize(scene.shapes.size());
    textureOfImage_.assign(scene.textures.size(), -2);
}

int Document::bufferView(const void *data, std::size_t bytes, int target) {
    while (bin_.size() % 4 != 0) bin_.push_back(0);  // every accessor starts aligned
    views_.push_back({bin_.size(), bytes, target});
    const auto *from = static_cast<const std::uint8_t *>(data);
    bin_.insert(bin_.end(), from, from + bytes);
    return static_cast<int>(views_.size() - 1);
}

// Values are cleaned on their way into the buffer: non-finite ones become 0.
int Document::floatAccessor(std::span<const float> values, int components, bool bounds) {
    const std::size_t count = values.size() / static_cast<std::size_t>(components);
    scratch_.assign(
        values.begin(),
        values.begin() + static_cast<std::ptrdiff_t>(count * static_cast<std::size_t>(components)));
    float low[4] = {0, 0, 0, 0}, high[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < scratch_.size(); ++i) {
        float &v = scratch_[i];
        if (!std::isfinite(v)) {
            ++report_.non_finite_numbers;
            v = 0;
        }
        const std::size_t k = i % static_cast<std::size_t>(components);
        low[k] = i < static_cast<std::size_t>(components) ? v : std::min(low[k], v);
        high[k] = i < static_cast<std::size_t>(components) ? v : std::max(high[k], v);
    }
    Accessor accessor{bufferView(scratch_.data(), scratch_.size() * sizeof(float), kArrayBuffer),
                      kFloat,
                      components,
                      count,
                      bounds,
                      {},
                      {}};
    std::copy(low, low + 4, accessor.low);
    std::copy(high, high + 4, accessor.high);
    accessors_.push_back(accessor);
    return static_cast<int>(accessors_.size() - 1);
}

int Document::indexAccessor(std::span<const std::uint32_t> indices) {
    accessors_.push_back({bufferView(indices.data(), indices.size_bytes(), kElementArrayBuffer),
                          kUnsignedInt,
                          1,
                          indices.size(),
                          false,
                          {},
                          {}});
    return static_cast<int>(accessors_.size() - 1);
}

int Document::mesh(std::uint32_t shapeIndex, float box[2][3]) {
    int &made = meshOfShape_[shapeIndex];
    std::array<float, 6> &bounds = boxOfShape_[shapeIndex];
    // Placements after the first reuse the mesh and its box: the shape is flattened once.
    if (made != -2) {
        for (int k = 0; k < 3; ++k) box[0][k] = bounds[k], box[1][k] = bounds[3 + k];
        return made;
    }
    const scene::Shape &shape = scene_.shapes[shapeIndex];
    meshing::FlatMesh flat = meshing::flatten(shape);
    const std::size_t vertices = flat.vertex_count();
    bool seen[3] = {false, false, false};
    bounds = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < vertices; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            const float v = flat.positions[i * 3 + k];
            if (!std::isfinite(v)) continue;
            bounds[k] = seen[k] ? std::min(bounds[k], v) : v;
            bounds[3 + k] = seen[k] ? std::max(bounds[3 + k], v) : v;
            seen[k] = true;
        }
    }
    for (int k = 0; k < 3; ++k) box[0][k] = bounds[k], box[1][k] = bounds[3 + k];
    using Primitive = meshing::FlatMesh::Primitive;
    if (vertices == 0 || (flat.primitive != Primitive::points && flat.indices.empty())) {
        return made = -1;
    }
    const bool faces = flat.primitive == Primitive::triangles;
    const std::uint32_t textureIndex = shape.appearance.texture;
    const auto *set = std::get_if<scene::FaceSet>(&shape.geometry);
    if (faces && set && set->tex_coords.empty() && textureIndex < scene_.textures.size()) {
        defaultTexCoords(*set, shape.appearance, flat);
    }
    const bool textured =
        faces && textureIndex < scene_.textures.size() && flat.tex_coords.size() / 2 == vertices;
    if (faces && textureIndex != scene::kNone && textureIndex >= scene_.textures.size()) {
        ++report_.dropped;
    }

    Mesh record{};
    record.position = floatAccessor(flat.positions, 3, true);
    record.normal = record.tex_coord = record.color = record.indices = -1;
    if (faces && flat.normals.size() == flat.positions.size()) {
        for (std::size_t i = 0; i + 2 < flat.normals.size(); i += 3) {
            float *n = flat.normals.data() + i;
            const double length =
                std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
            if (!(length > 0) || !std::isfinite(length)) {
                ++report_.bad_normals;
                n[0] = n[1] = 0, n[2] = 1;
                continue;
            }
            for (int k = 0; k < 3; ++k) n[k] = static_cast<float>(n[k] / length);
        }
        record.normal = floatAccessor(flat.normals, 3, false);
    }
    if (textured) {
        // glTF's texture origin is the image's top left, VRML's its bottom left.
        for (std::size_t i = 1; i < flat.tex_coords.size(); i += 2) {
            flat.tex_coords[i] = 1 - flat.tex_coords[i];
        }
        record.tex_coord = floatAccessor(flat.tex_coords, 2, false);
    }
    // A texture replaces vertex colours in VRML, as it does here.
    const bool colored = !textured && flat.colors.size() == flat.positions.size();
    if (colored) {
        for (float &c : flat.colors) c = clamp01(c);
        record.color = floatAccessor(flat.colors, 3, false);
    }
    if (faces) {
        if (set && !set->ccw) {  // glTF's front faces turn counterclockwise
            for (std::size_t i = 0; i + 2 < flat.indices.size(); i += 3) {
                std::swap(flat.indices[i + 1], flat.indices[i + 2]);
            }
        }
    }
    if (flat.primitive != Primitive::points) record.indices = indexAccessor(flat.indices);
    record.mode = faces ? 4 : (flat.primitive == Primitive::lines ? 1 : 0);
    record.material = material(shape, colored, textured, !faces);
    meshes_.push_back(record);
    return made = static_cast<int>(meshes_.size() - 1);
}

// VRML's Phong material in glTF's metallic-roughness terms:
// - base colour from the diffuse colour (white where vertex colours or an RGB texture replace
//   it, as in VRML), alpha from 1 - transparency;
// - no metal: 3DMF's illumination is the plastic-like Phong model;
// - the highlight's sharpness, VRML exponent n = 128 * shininess, as roughness sqrt(2 / (n + 2)),
//   the usual match of a Blinn-Phong lobe to a microfacet one;
// - the specular colour as KHR_materials_specular's colour, so a black one (3DMF's default: no
//   highlight) switches the highlight off and a coloured one tints it;
// - lines and points are unlit in VRML: KHR_materials_unlit, showing the emissive colour when
//   there is one, as the VRML writer does.
int Document::material(const scene::Shape &shape, bool hasColors, bool textured, bool unlit) {
    const scene::Material &m = shape.appearance.material;
    nlohmann::json material;
    nlohmann::json pbr;
    scene::Color base = m.diffuse;
    if (unlit && !(m.emissive == scene::Color{})) base = m.emissive;
    std::uint32_t components = 0;
    if (textured) components = scene_.textures[shape.appearance.texture].components;
    if (hasColors || components >= 3) base = scene::Color{1, 1, 1};
    const float alpha = 1 - clamp01(m.transparency);
    pbr["baseColorFactor"] = {json_number(clamp01(base.r), report_),
                              json_number(clamp01(base.g), report_),
                              json_number(clamp01(base.b), report_), json_number(alpha, report_)};
    if (textured) {
        const int t = texture(shape.appearance.texture);
        if (t >= 0) pbr["baseColorTexture"] = {{"index", t}};
    }
    pbr["metallicFactor"] = 0;
    if (unlit) {
        material["extensions"]["KHR_materials_unlit"] = nlohmann::json::object();
    } else {
        const double exponent = 128.0 * clamp01(m.shininess);
        pbr["roughnessFactor"] =
            json_number(static_cast<float>(std::sqrt(2 / (exponent + 2))), report_);
        const scene::Color &s = m.specular;
        const float strength = std::max({clamp01(s.r), clamp01(s.g), clamp01(s.b)});
        nlohmann::json specular = {{"specularFactor", strength}};
        if (strength > 0) {
            specular["specularColorFactor"] = {json_number(clamp01(s.r) / strength, report_),
                                               json_number(clamp01(s.g) / strength, report_),
                                               json_number(clamp01(s.b) / strength, report_)};
        }
        material["extensions"]["KHR_materials_specular"] = std::move(specular);
        if (!(m.emissive == scene::Color{})) {
            material["emissiveFactor"] = {json_number(clamp01(m.emissive.r), report_),
                                          json_number(clamp01(m.emissive.g), report_),
                                          json_number(clamp01(m.emissive.b), report_)};
        }
        const auto *faces = std::get_if<scene::FaceSet>(&shape.geometry);
        if (!faces || !faces->solid) material["doubleSided"] = true;
    }
    material["pbrMetallicRoughness"] = std::move(pbr);
    if (alpha < 1 || components == 2 || components == 4) material["alphaMode"] = "BLEND";
    std::string key = material.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const auto found = materialIndex_.find(key);
    if (found != materialIndex_.end()) return found->second;
    const std::string extension = unlit ? "KHR_materials_unlit" : "KHR_materials_specular";
    if (std::find(extensions_.begin(), extensions_.end(), extension) == extensions_.end())
        extensions_.push_back(extension);
    const int index = static_cast<int>(materials_.size());
    materialIndex_.emplace(materials_.emplace_back(std::move(key)), index);
    return index;
}

int Document::texture(std::uint32_t index) {
    int &made = textureOfImage_[index];
    if (made != -2) return made;
    const scene::Texture &t = scene_.textures[index];
    const std::vector<std::uint8_t> png = encode_png(t);
    if (png.empty()) {
        ++report_.dropped;
        return made = -1;
    }
    images_.push_back(bufferView(png.data(), png.size(), 0));
    const int wraps = (t.repeat_s ? 1 : 0) | (t.repeat_t ? 2 : 0);
    auto sampler = samplers_.find(wraps);
    if (sampler == samplers_.end()) {
        samplerWraps_.push_back(wraps);
        sampler = samplers_.emplace(wraps, static_cast<int>(samplerWraps_.size() - 1)).first;
    }
    textures_.push_back({static_cast<int>(images_.size() - 1), sampler->second});
    return made = static_cast<int>(textures_.size() - 1);
}

}  // namespace tarvex::gltf
