#include "writers/gltf/gltf_document.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <variant>

#include "geometry/flat_mesh.h"
#include "writers/gltf/png_image.h"

namespace tarvex::gltf {

namespace {

constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr int kFloat = 5126, kUnsignedInt = 5125;
constexpr int kRepeat = 10497, kClampToEdge = 33071;
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987;

float clamp01(float v) {
    return v > 1 ? 1 : (v > 0 ? v : 0);
}

void pad4(std::string &text, char with) {
    while (text.size() % 4 != 0) text.push_back(with);
}

void putU32(std::string &out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xff));
}

std::string base64(const std::vector<std::uint8_t> &bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kDigits[(v >> shift) & 63]);
    }
    if (i < bytes.size()) {
        const std::uint32_t v = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0);
        out.push_back(kDigits[(v >> 18) & 63]);
        out.push_back(kDigits[(v >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

}  // namespace

double json_number(float value, WriteReport &report) {
    if (!std::isfinite(value)) {
        ++report.non_finite_numbers;
        return 0;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text - 1, value).ptr;
    *end = '\0';
    return std::strtod(text, nullptr);
}

Document::Document(const scene::Scene &scene, WriteReport &report)
    : scene_(scene), report_(report) {
    meshOfShape_.assign(scene.shapes.size(), -2);
    boxOfShape_.resize(scene.shapes.size());
    textureOfImage_.assign(scene.textures.size(), -2);
    json_["asset"] = {{"version", "2.0"}, {"generator", "tarvex " TARVEX_VERSION}};
}

int Document::bufferView(const void *data, std::size_t bytes, int target) {
    while (bin_.size() % 4 != 0) bin_.push_back(0);  // every accessor starts aligned
    nlohmann::json view = {{"buffer", 0}, {"byteOffset", bin_.size()}, {"byteLength", bytes}};
    if (target != 0) view["target"] = target;
    const auto *from = static_cast<const std::uint8_t *>(data);
    bin_.insert(bin_.end(), from, from + bytes);
    nlohmann::json &views = json_["bufferViews"];
    views.push_back(std::move(view));
    return static_cast<int>(views.size() - 1);
}

// Values are cleaned on their way into the buffer: non-finite ones become 0.
int Document::floatAccessor(std::span<const float> values, int components, bool bounds) {
    static constexpr const char *kType[] = {"", "SCALAR", "VEC2", "VEC3", "VEC4"};
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
    nlohmann::json accessor = {
        {"bufferView", bufferView(scratch_.data(), scratch_.size() * sizeof(float), kArrayBuffer)},
        {"componentType", kFloat},
        {"count", count},
        {"type", kType[components]}};
    if (bounds) {
        accessor["min"] = nlohmann::json::array();
        accessor["max"] = nlohmann::json::array();
        for (int k = 0; k < components; ++k) {
            accessor["min"].push_back(low[k]);
            accessor["max"].push_back(high[k]);
        }
    }
    nlohmann::json &accessors = json_["accessors"];
    accessors.push_back(std::move(accessor));
    return static_cast<int>(accessors.size() - 1);
}

int Document::indexAccessor(std::span<const std::uint32_t> indices) {
    nlohmann::json accessor = {
        {"bufferView", bufferView(indices.data(), indices.size_bytes(), kElementArrayBuffer)},
        {"componentType", kUnsignedInt},
        {"count", indices.size()},
        {"type", "SCALAR"}};
    nlohmann::json &accessors = json_["accessors"];
    accessors.push_back(std::move(accessor));
    return static_cast<int>(accessors.size() - 1);
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
    geometry::FlatMesh flat = geometry::flatten(shape);
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
    using Primitive = geometry::FlatMesh::Primitive;
    if (vertices == 0 || (flat.primitive != Primitive::points && flat.indices.empty())) {
        return made = -1;
    }
    const bool faces = flat.primitive == Primitive::triangles;
    const std::uint32_t textureIndex = shape.appearance.texture;
    const bool textured =
        faces && textureIndex < scene_.textures.size() && flat.tex_coords.size() / 2 == vertices;
    if (faces && textureIndex != scene::kNone && textureIndex >= scene_.textures.size()) {
        ++report_.dropped;
    }

    nlohmann::json attributes = {{"POSITION", floatAccessor(flat.positions, 3, true)}};
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
        attributes["NORMAL"] = floatAccessor(flat.normals, 3, false);
    }
    if (textured) {
        // glTF's texture origin is the image's top left, VRML's its bottom left.
        for (std::size_t i = 1; i < flat.tex_coords.size(); i += 2) {
            flat.tex_coords[i] = 1 - flat.tex_coords[i];
        }
        attributes["TEXCOORD_0"] = floatAccessor(flat.tex_coords, 2, false);
    }
    // A texture replaces vertex colours in VRML, as it does here.
    const bool colored = !textured && flat.colors.size() == flat.positions.size();
    if (colored) {
        for (float &c : flat.colors) c = clamp01(c);
        attributes["COLOR_0"] = floatAccessor(flat.colors, 3, false);
    }
    nlohmann::json primitive = {{"attributes", std::move(attributes)}};
    if (faces) {
        const auto *set = std::get_if<scene::FaceSet>(&shape.geometry);
        if (set && !set->ccw) {  // glTF's front faces turn counterclockwise
            for (std::size_t i = 0; i + 2 < flat.indices.size(); i += 3) {
                std::swap(flat.indices[i + 1], flat.indices[i + 2]);
            }
        }
    }
    if (flat.primitive != Primitive::points) {
        primitive["indices"] = indexAccessor(flat.indices);
    }
    primitive["mode"] = faces ? 4 : (flat.primitive == Primitive::lines ? 1 : 0);
    primitive["material"] = material(shape, colored, textured, !faces);
    nlohmann::json &meshes = json_["meshes"];
    nlohmann::json mesh = {{"primitives", nlohmann::json::array({std::move(primitive)})}};
    meshes.push_back(std::move(mesh));
    return made = static_cast<int>(meshes.size() - 1);
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
    const std::string key = material.dump();
    const auto found = materials_.find(key);
    if (found != materials_.end()) return found->second;
    nlohmann::json &materials = json_["materials"];
    materials.push_back(std::move(material));
    const int index = static_cast<int>(materials.size() - 1);
    materials_.emplace(key, index);
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
    nlohmann::json &images = json_["images"];
    images.push_back(
        {{"bufferView", bufferView(png.data(), png.size(), 0)}, {"mimeType", "image/png"}});
    const int wraps = (t.repeat_s ? 1 : 0) | (t.repeat_t ? 2 : 0);
    auto sampler = samplers_.find(wraps);
    if (sampler == samplers_.end()) {
        nlohmann::json &samplers = json_["samplers"];
        samplers.push_back({{"magFilter", kLinear},
                            {"minFilter", kLinearMipmapLinear},
                            {"wrapS", t.repeat_s ? kRepeat : kClampToEdge},
                            {"wrapT", t.repeat_t ? kRepeat : kClampToEdge}});
        sampler = samplers_.emplace(wraps, static_cast<int>(samplers.size() - 1)).first;
    }
    nlohmann::json &textures = json_["textures"];
    textures.push_back({{"source", images.size() - 1}, {"sampler", sampler->second}});
    return made = static_cast<int>(textures.size() - 1);
}

std::string Document::finish(Container container) {
    // Extensions are listed from what the materials and the asset hold.
    std::vector<std::string> extensions;
    const auto note = [&](const nlohmann::json &holder) {
        if (!holder.contains("extensions")) return;
        for (const auto &[name, value] : holder["extensions"].items()) {
            (void)value;
            if (std::find(extensions.begin(), extensions.end(), name) == extensions.end())
                extensions.push_back(name);
        }
    };
    if (json_.contains("materials"))
        for (const nlohmann::json &m : json_["materials"]) note(m);
    note(json_);
    if (!extensions.empty()) json_["extensionsUsed"] = extensions;
    if (!bin_.empty()) {
        while (bin_.size() % 4 != 0) bin_.push_back(0);
        nlohmann::json buffer = {{"byteLength", bin_.size()}};
        if (container == Container::gltf) {
            buffer["uri"] = "data:application/octet-stream;base64," + base64(bin_);
        }
        json_["buffers"] = nlohmann::json::array({std::move(buffer)});
    }
    std::string text = json_.dump(container == Container::gltf ? 1 : -1, ' ', false,
                                  nlohmann::json::error_handler_t::replace);
    if (container == Container::gltf) {
        text.push_back('\n');
        return text;
    }
    pad4(text, ' ');
    std::string glb;
    const std::uint64_t total = 12 + 8 + text.size() + (bin_.empty() ? 0 : 8 + bin_.size());
    if (total > UINT32_MAX) throw std::length_error("a .glb holds at most 4 GiB");
    glb.reserve(total);
    glb.append("glTF");
    putU32(glb, 2);
    putU32(glb, static_cast<std::uint32_t>(total));
    putU32(glb, static_cast<std::uint32_t>(text.size()));
    glb.append("JSON");
    glb.append(text);
    if (!bin_.empty()) {
        putU32(glb, static_cast<std::uint32_t>(bin_.size()));
        glb.append("BIN");
        glb.push_back('\0');
        glb.append(reinterpret_cast<const char *>(bin_.data()), bin_.size());
    }
    return glb;
}

}  // namespace tarvex::gltf
