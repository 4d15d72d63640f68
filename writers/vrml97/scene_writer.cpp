// The scene as VRML 97 text: the walk over the node tree and the text of every node it meets.
// The walk and the node texts share the writer's output, its indentation and its names, so they
// are one class in one file; what the X3D writer shares with it (DEF names, use chains, index
// repair) is apart, in def_names.h, index_repair.h and scene/use_chains.
#include "writers/vrml97/scene_writer.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "core/output_file.h"
#include "core/vrml_names.h"
#include "scene/use_chains.h"
#include "writers/common/def_names.h"
#include "writers/common/index_repair.h"
#include "writers/common/number_text.h"

namespace tarvex::vrml97 {
namespace {

using scene::kNone;
using writers::attribute_fits;
using writers::DefNames;
using writers::FaceIndexShape;
using writers::format_float;
using writers::format_int;
using writers::kMaxFloatChars;
using writers::kMaxIntChars;
using writers::repaired_index;

constexpr std::string_view kSpaces =
    "                                                                                ";
static_assert(kSpaces.size() == 2 * kMaxIndentLevels);

std::string_view pad(int level) {
    return kSpaces.substr(0, 2 * static_cast<std::size_t>(std::min(level, kMaxIndentLevels)));
}

char *append(char *at, std::string_view text) {
    text.copy(at, text.size());
    return at + text.size();
}

float unit(float value) {
    return value > 1 ? 1 : (value < 0 ? 0 : value);  // nan stays, to be counted
}

// A rotation with no usable axis is no rotation; VRML readers reject a zero axis.
scene::Rotation usable(scene::Rotation r) {
    if (r.x == 0 && r.y == 0 && r.z == 0) return scene::Rotation{};
    return r;
}

bool isDefault(const scene::Rotation &r) {
    return r.angle == 0;
}
bool same(const scene::Vec3 &v, float x, float y, float z) {
    return v.x == x && v.y == y && v.z == z;
}
bool same(const scene::Color &c, float r, float g, float b) {
    return c.r == r && c.g == g && c.b == b;
}

class Writer {
  public:
    Writer(const scene::Scene &scene, OutputBuffer &out, WriteProblems &problems)
        : scene_(scene), out_(out), problems_(problems) {}

    void world() {
        out_.write("#VRML V2.0 utf8\n");
        worldInfo();
        navigationInfo();
        if (scene_.background) {
            out_.write("Background {\n  skyColor [ ");
            color(*scene_.background);
            out_.write(" ]\n}\n");
        }
        for (const scene::Viewpoint &viewpoint : scene_.viewpoints) writeViewpoint(viewpoint);
        for (const scene::Light &light : scene_.lights) writeLight(light);
        nodes();
    }

  private:
    // ---- plain text and numbers
    void number(float value) {
        char *at = out_.reserve(kMaxFloatChars);
        out_.commit(format_float(at, value, problems_.non_finite_numbers));
    }
    void vec3(float x, float y, float z) {
        char *at = out_.reserve(3 * kMaxFloatChars + 2);
        at = format_float(at, x, problems_.non_finite_numbers);
        *at++ = ' ';
        at = format_float(at, y, problems_.non_finite_numbers);
        *at++ = ' ';
        out_.commit(format_float(at, z, problems_.non_finite_numbers));
    }
    void color(const scene::Color &c) { vec3(unit(c.r), unit(c.g), unit(c.b)); }
    void begin(int level, std::string_view name) {
        out_.write(pad(level));
        out_.write(name);
        out_.write(" ");
    }
    void line(int level, std::string_view text) {
        out_.write(pad(level));
        out_.write(text);
        out_.write("\n");
    }
    void field(int level, std::string_view name, float value) {
        begin(level, name);
        number(value);
        out_.write("\n");
    }
    void field(int level, std::string_view name, const scene::Vec3 &v) {
        begin(level, name);
        vec3(v.x, v.y, v.z);
        out_.write("\n");
    }
    void field(int level, std::string_view name, const scene::Color &c) {
        begin(level, name);
        color(c);
        out_.write("\n");
    }
    void field(int level, std::string_view name, scene::Rotation r) {
        r = usable(r);
        begin(level, name);
        vec3(r.x, r.y, r.z);
        out_.write(" ");
        number(r.angle);
        out_.write("\n");
    }
    void field(int level, std::string_view name, bool value) {
        begin(level, name);
        out_.write(value ? "TRUE\n" : "FALSE\n");
    }
    void string(std::string_view text) {
        out_.write("\"");
        out_.write(vrml_string_body(text));
        out_.write("\"");
    }

    std::string uniqueName(std::string_view source) { return names_.unique(source); }
    void def(std::string_view name) {
        if (name.empty()) return;
        out_.write("DEF ");
        out_.write(name);
        out_.write(" ");
    }

    // ---- the world's head
    void worldInfo() {
        if (scene_.info.empty()) return;
        out_.write("WorldInfo {\n  info [\n");
        for (const std::string &text : scene_.info) {
            out_.write(pad(2));
            string(text);
            out_.write("\n");
        }
        out_.write("  ]\n}\n");
    }

    void navigationInfo() {
        out_.write("NavigationInfo {\n  type [ \"EXAMINE\" \"ANY\" ]\n");
        if (!scene_.lights.empty()) out_.write("  headlight FALSE\n");
        if (scene_.visibility_limit)
            field(1, "visibilityLimit", std::max(*scene_.visibility_limit, 0.0f));
        out_.write("}\n");
    }

    void writeViewpoint(const scene::Viewpoint &viewpoint) {
        if (!viewpoint.name.empty()) def(uniqueName(viewpoint.name));
        out_.write("Viewpoint {\n");
        field(1, "position", viewpoint.position);
        field(1, "orientation", viewpoint.orientation);
        field(1, "fieldOfView", viewpoint.field_of_view);
        begin(1, "description");
        string(viewpoint.description);
        out_.write("\n}\n");
    }

    void writeLight(const scene::Light &light) {
        using Kind = scene::Light::Kind;
        if (!light.name.empty()) def(uniqueName(light.name));
        switch (light.kind) {
            case Kind::ambient:
            case Kind::directional:
                out_.write("DirectionalLight {\n");
                break;
            case Kind::point:
                out_.write("PointLight {\n");
                break;
            case Kind::spot:
                out_.write("SpotLight {\n");
                break;
        }
        field(1, "on", light.on);
        if (light.kind == Kind::ambient) {
            // VRML has no ambient light: an unlit directional light adds only its ambient part.
            field(1, "intensity", 0.0f);
            field(1, "ambientIntensity", unit(light.intensity));
        } else {
            field(1, "intensity", unit(light.intensity));
        }
        field(1, "color", light.color);
        if (light.kind == Kind::point || light.kind == Kind::spot) {
            field(1, "location", light.location);
        }
        if (light.kind == Kind::directional || light.kind == Kind::spot) {
            field(1, "direction", light.direction);
        }
        if (light.kind == Kind::point || light.kind == Kind::spot) {
            const scene::Vec3 &a = light.attenuation;
            field(1, "attenuation",
                  scene::Vec3{std::max(a.x, 0.0f), std::max(a.y, 0.0f), std::max(a.z, 0.0f)});
            field(1, "radius", std::max(light.radius, 0.0f));
        }
        if (light.kind == Kind::spot) {
            constexpr float kRightAngle = 1.5707963f;
            field(1, "beamWidth", std::clamp(light.beam_width, 0.0f, kRightAngle));
            field(1, "cutOffAngle", std::clamp(light.cut_off_angle, 0.0f, kRightAngle));
        }
        out_.write("}\n");
    }

    // ---- the node tree
    enum class State : std::uint8_t { unwritten, open, written };

    struct Frame {
        std::uint32_t node;
        std::size_t next;  // the next child to write
        int childLevel;    // the indentation of its children
        bool wrapped;      // false for the root group, whose children stand at the top
    };

    std::uint32_t resolve(std::uint32_t index) const {
        return index < resolved_.size() ? resolved_[index] : kNone;
    }

    void nodes() {
        const std::vector<scene::Node> &nodes = scene_.nodes;
        if (nodes.empty()) return;
        resolved_ = scene::resolve_uses(scene_);
        shared_ = scene::shared_nodes(scene_, resolved_);
        sharedTexture_ = scene::shared_textures(scene_);
        textureNames_.resize(scene_.textures.size());
        state_.assign(nodes.size(), State::unwritten);
        defNames_.resize(nodes.size());
        std::vector<Frame> stack;
        if (nodes[0].kind == scene::Node::Kind::group) {
            state_[0] = State::open;
            stack.push_back(Frame{0, 0, 0, false});
        } else {
            visit(0, 0, stack);
        }
        while (!stack.empty()) {
            Frame &top = stack.back();
            const std::vector<std::uint32_t> &children = nodes[top.node].children;
            if (top.next < children.size()) {
                const std::uint32_t child = children[top.next++];
                visit(child, top.childLevel, stack);  // may grow the stack: `top` is not used after
                continue;
            }
            if (top.wrapped) {
                line(top.childLevel - 1, "]");
                line(top.childLevel - 2, "}");
            }
            state_[top.node] = State::written;
            stack.pop_back();
        }
    }

    // Writes the node `index` stands for at `level`: in full the first time, as USE later.
    // Groups and transforms open a frame whose children the caller's loop writes.
    void visit(std::uint32_t index, int level, std::vector<Frame> &stack) {
        const std::uint32_t target = resolve(index);
        if (target == kNone) {
            ++problems_.dropped;
            return;
        }
        if (state_[target] == State::open) {  // a node inside itself: VRML has no cycles
            ++problems_.dropped;
            return;
        }
        if (state_[target] == State::written) {
            begin(level, "USE");
            out_.write(defNames_[target]);
            out_.write("\n");
            return;
        }
        const scene::Node &node = scene_.nodes[target];
        if (!node.name.empty() || shared_[target]) {
            defNames_[target] = uniqueName(node.name.empty() ? "node" + std::to_string(target)
                                                             : std::string_view(node.name));
        }
        out_.write(pad(level));
        def(defNames_[target]);
        switch (node.kind) {
            case scene::Node::Kind::shape:
                state_[target] = State::written;
                if (node.shape < scene_.shapes.size()) {
                    writeShape(scene_.shapes[node.shape], level);
                } else {
                    ++problems_.dropped;  // keeps the DEF valid: an empty group in its place
                    out_.write("Group { }\n");
                }
                return;
            case scene::Node::Kind::group:
                out_.write("Group {\n");
                break;
            case scene::Node::Kind::transform:
                out_.write("Transform {\n");
                transformFields(node.transform, level + 1);
                break;
            case scene::Node::Kind::use:  // resolve() never ends on one
                return;
        }
        if (node.children.empty()) {
            state_[target] = State::written;
            line(level, "}");
            return;
        }
        line(level + 1, "children [");
        state_[target] = State::open;
        // Beyond the deepest indentation levels stop growing, so that they cannot overflow.
        stack.push_back(Frame{target, 0, std::min(level, kMaxIndentLevels) + 2, true});
    }

    void transformFields(const scene::Transform &t, int level) {
        if (!same(t.translation, 0, 0, 0)) field(level, "translation", t.translation);
        if (!isDefault(t.rotation)) field(level, "rotation", t.rotation);
        if (!same(t.scale, 1, 1, 1)) field(level, "scale", t.scale);
        if (!isDefault(t.scale_orientation)) field(level, "scaleOrientation", t.scale_orientation);
        if (!same(t.center, 0, 0, 0)) field(level, "center", t.center);
    }

    // ---- shapes
    void writeShape(const scene::Shape &shape, int level) {
        out_.write("Shape {\n");
        const bool faces = std::holds_alternative<scene::FaceSet>(shape.geometry);
        bool unlitWithoutColors = false;
        if (const auto *lines = std::get_if<scene::LineSet>(&shape.geometry)) {
            unlitWithoutColors = lines->colors.empty();
        } else if (const auto *points = std::get_if<scene::PointSet>(&shape.geometry)) {
            unlitWithoutColors = points->colors.empty();
        }
        appearance(shape.appearance, level + 1, faces, unlitWithoutColors);
        begin(level + 1, "geometry");
        if (const auto *faceSet = std::get_if<scene::FaceSet>(&shape.geometry)) {
            writeFaceSet(*faceSet, level + 1);
        } else if (const auto *lineSet = std::get_if<scene::LineSet>(&shape.geometry)) {
            writeLineSet(*lineSet, level + 1);
        } else {
            writePointSet(std::get<scene::PointSet>(shape.geometry), level + 1);
        }
        line(level, "}");
    }

    void appearance(const scene::Appearance &a, int level, bool textured, bool unlit) {
        out_.write(pad(level));
        out_.write("appearance Appearance {\n");
        material(a.material, level + 1, unlit);
        if (textured && a.texture != kNone) {
            if (a.texture < scene_.textures.size()) {
                texture(a.texture, level + 1);
                if (a.texture_transform) textureTransform(*a.texture_transform, level + 1);
            } else {
                ++problems_.dropped;
            }
        }
        line(level, "}");
    }

    // Lines and points are unlit in VRML: without colours of their own they show the emissive
    // colour, which then takes the diffuse one.
    void material(const scene::Material &m, int level, bool unlit) {
        line(level, "material Material {");
        field(level + 1, "diffuseColor", m.diffuse);
        if (m.ambient_intensity != 0.2f)
            field(level + 1, "ambientIntensity", unit(m.ambient_intensity));
        if (!same(m.specular, 0, 0, 0)) field(level + 1, "specularColor", m.specular);
        if (!same(m.emissive, 0, 0, 0)) {
            field(level + 1, "emissiveColor", m.emissive);
        } else if (unlit) {
            field(level + 1, "emissiveColor", m.diffuse);
        }
        if (m.shininess != 0.2f) field(level + 1, "shininess", unit(m.shininess));
        if (m.transparency != 0) field(level + 1, "transparency", unit(m.transparency));
        line(level, "}");
    }

    void texture(std::uint32_t index, int level) {
        const scene::Texture &t = scene_.textures[index];
        begin(level, "texture");
        if (!textureNames_[index].empty()) {
            out_.write("USE ");
            out_.write(textureNames_[index]);
            out_.write("\n");
            return;
        }
        if (sharedTexture_[index]) {
            textureNames_[index] = uniqueName("texture" + std::to_string(index));
            def(textureNames_[index]);
        }
        out_.write("PixelTexture {\n");
        const std::uint64_t pixels = std::uint64_t{t.width} * t.height;
        const bool whole =
            t.components >= 1 && t.components <= 4 && t.pixels.size() / t.components >= pixels;
        begin(level + 1, "image");
        if (!whole || pixels == 0) {
            if (!whole) ++problems_.dropped;
            out_.write("0 0 0\n");
        } else {
            imageRows(t, level + 2);
        }
        if (!t.repeat_s) field(level + 1, "repeatS", false);
        if (!t.repeat_t) field(level + 1, "repeatT", false);
        line(level, "}");
    }

    // One line per row of pixels, each pixel one hexadecimal number of its components.
    void imageRows(const scene::Texture &t, int level) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        char *at = out_.reserve(3 * kMaxIntChars);
        at = format_int(at, static_cast<std::int32_t>(std::min<std::uint32_t>(t.width, INT32_MAX)));
        *at++ = ' ';
        at =
            format_int(at, static_cast<std::int32_t>(std::min<std::uint32_t>(t.height, INT32_MAX)));
        *at++ = ' ';
        at = format_int(at, static_cast<std::int32_t>(t.components));
        *at++ = '\n';
        out_.commit(at);
        const std::string_view indent = pad(level);
        const std::uint8_t *pixel = t.pixels.data();
        for (std::uint32_t row = 0; row < t.height; ++row) {
            out_.write(indent);
            for (std::uint32_t column = 0; column < t.width; ++column) {
                at = out_.reserve(12);
                *at++ = '0';
                *at++ = 'x';
                for (std::uint32_t c = 0; c < t.components; ++c, ++pixel) {
                    *at++ = kHex[*pixel >> 4];
                    *at++ = kHex[*pixel & 15];
                }
                *at++ = column + 1 < t.width ? ' ' : '\n';
                out_.commit(at);
            }
        }
    }

    void textureTransform(const scene::TextureTransform &t, int level) {
        line(level, "textureTransform TextureTransform {");
        auto pair = [&](std::string_view name, const float(&v)[2]) {
            begin(level + 1, name);
            number(v[0]);
            out_.write(" ");
            number(v[1]);
            out_.write("\n");
        };
        if (t.center[0] != 0 || t.center[1] != 0) pair("center", t.center);
        if (t.rotation != 0) field(level + 1, "rotation", t.rotation);
        if (t.scale[0] != 1 || t.scale[1] != 1) pair("scale", t.scale);
        if (t.translation[0] != 0 || t.translation[1] != 0) pair("translation", t.translation);
        line(level, "}");
    }

    // ---- geometry arrays
    // `node { field [ ... ] }` holding groups of N floats, one group a line.
    template <std::size_t N>
    void floatGroups(int level, std::string_view node, std::string_view field,
                     std::span<const float> values) {
        line(level, node);
        line(level + 1, field);
        if (values.size() % N != 0) ++problems_.dropped;
        const std::string_view indent = pad(level + 2);
        const std::size_t groups = values.size() / N;
        const float *v = values.data();
        std::uint64_t &nonFinite = problems_.non_finite_numbers;
        for (std::size_t i = 0; i < groups; ++i, v += N) {
            char *at = out_.reserve(indent.size() + N * (kMaxFloatChars + 1) + 2);
            at = append(at, indent);
            for (std::size_t k = 0; k < N; ++k) {
                at = format_float(at, v[k], nonFinite);
                *at++ = k + 1 < N ? ' ' : ',';
            }
            *at++ = '\n';
            out_.commit(at);
        }
        line(level + 1, "]");
        line(level, "}");
    }

    // A TriMesh's triangles, "a, b, c, -1," a line. Indices beyond the points become 0.
    FaceIndexShape triangleIndex(int level, std::span<const std::uint32_t> triangles,
                                 std::size_t points) {
        FaceIndexShape shape;
        line(level, "coordIndex [");
        if (triangles.size() % 3 != 0) ++problems_.dropped;
        const std::string_view indent = pad(level + 1);
        const std::size_t count = triangles.size() / 3;
        const std::uint32_t *t = triangles.data();
        std::uint32_t maxIndex = 0;
        const std::uint32_t limit =
            static_cast<std::uint32_t>(std::min<std::size_t>(points, INT32_MAX));
        for (std::size_t i = 0; i < count; ++i, t += 3) {
            char *at = out_.reserve(indent.size() + 3 * (kMaxIntChars + 2) + 6);
            at = append(at, indent);
            for (int k = 0; k < 3; ++k) {
                std::uint32_t index = t[k];
                if (index >= limit) {
                    ++problems_.bad_indices;
                    index = 0;
                }
                maxIndex = std::max(maxIndex, index);
                at = format_int(at, static_cast<std::int32_t>(index));
                *at++ = ',';
                *at++ = ' ';
            }
            out_.commit(append(at, "-1,\n"));
        }
        line(level, "]");
        shape.faces = count;
        shape.indexLength = 4 * count;
        shape.maxIndex = count == 0 ? -1 : maxIndex;
        return shape;
    }

    // An index array: a line ends after each -1 and after every 16 values. Indices outside
    // 0..count-1 (other than -1 separators where `separators`) become 0.
    FaceIndexShape indexArray(int level, std::string_view head, std::span<const std::int32_t> index,
                              std::size_t count, bool separators) {
        FaceIndexShape shape;
        line(level, head);
        const std::string_view indent = pad(level + 1);
        const std::int64_t limit =
            static_cast<std::int64_t>(std::min<std::size_t>(count, INT32_MAX));
        std::size_t inLine = 0;
        bool openFace = false;
        for (const std::int32_t original : index) {
            const std::int32_t value =
                repaired_index(original, limit, separators, problems_.bad_indices);
            if (separators && value == -1) {
                if (openFace) ++shape.faces;
                openFace = false;
            } else {
                openFace = true;
                shape.maxIndex = std::max<std::int64_t>(shape.maxIndex, value);
            }
            char *at = out_.reserve(indent.size() + kMaxIntChars + 3);
            at = inLine == 0 ? append(at, indent) : append(at, " ");
            at = format_int(at, value);
            *at++ = ',';
            ++inLine;
            if ((separators && value == -1) || inLine == 16) {
                *at++ = '\n';
                inLine = 0;
            }
            out_.commit(at);
        }
        if (inLine != 0) out_.write("\n");
        if (openFace) ++shape.faces;
        shape.indexLength = index.size();
        line(level, "]");
        return shape;
    }

    // Per-vertex or per-face values (colours, normals, texture coordinates) of a face or line
    // set. False when they cannot match the faces: they are then left out.
    bool attributeFits(std::span<const float> values, std::size_t groupSize,
                       std::span<const std::int32_t> index, bool perVertex,
                       const FaceIndexShape &faces) {
        if (values.empty()) return false;
        const bool fits = attribute_fits(values, groupSize, index, perVertex, faces);
        if (!fits) ++problems_.dropped;
        return fits;
    }

    template <std::size_t N>
    void attribute(int level, std::string_view node, std::string_view field,
                   std::string_view indexName, std::string_view perVertexName,
                   std::span<const float> values, std::span<const std::int32_t> index,
                   bool perVertex, const FaceIndexShape &faces) {
        if (!attributeFits(values, N, index, perVertex, faces)) return;
        floatGroups<N>(level, node, field, values);
        if (!index.empty()) indexArray(level, indexName, index, values.size() / N, perVertex);
        if (!perVertex && !perVertexName.empty()) this->field(level, perVertexName, false);
    }

    void writeFaceSet(const scene::FaceSet &f, int level) {
        out_.write("IndexedFaceSet {\n");
        const int inner = level + 1;
        floatGroups<3>(inner, "coord Coordinate {", "point [", f.coords);
        const std::size_t points = f.coords.size() / 3;
        const FaceIndexShape faces =
            f.coord_index.empty() ? triangleIndex(inner, f.triangles, points)
                                  : indexArray(inner, "coordIndex [", f.coord_index, points, true);
        attribute<3>(inner, "color Color {", "color [", "colorIndex [", "colorPerVertex", f.colors,
                     f.color_index, f.color_per_vertex, faces);
        attribute<3>(inner, "normal Normal {", "vector [", "normalIndex [", "normalPerVertex",
                     f.normals, f.normal_index, f.normal_per_vertex, faces);
        attribute<2>(inner, "texCoord TextureCoordinate {", "point [", "texCoordIndex [", "",
                     f.tex_coords, f.tex_coord_index, true, faces);
        if (!f.solid) field(inner, "solid", false);
        if (!f.ccw) field(inner, "ccw", false);
        if (!f.convex) field(inner, "convex", false);
        if (f.crease_angle != 0) field(inner, "creaseAngle", std::max(f.crease_angle, 0.0f));
        line(level, "}");
    }

    void writeLineSet(const scene::LineSet &l, int level) {
        out_.write("IndexedLineSet {\n");
        const int inner = level + 1;
        floatGroups<3>(inner, "coord Coordinate {", "point [", l.coords);
        const FaceIndexShape lines =
            indexArray(inner, "coordIndex [", l.coord_index, l.coords.size() / 3, true);
        attribute<3>(inner, "color Color {", "color [", "colorIndex [", "colorPerVertex", l.colors,
                     l.color_index, l.color_per_vertex, lines);
        line(level, "}");
    }

    void writePointSet(const scene::PointSet &p, int level) {
        out_.write("PointSet {\n");
        const int inner = level + 1;
        floatGroups<3>(inner, "coord Coordinate {", "point [", p.coords);
        if (!p.colors.empty()) {
            if (p.colors.size() / 3 >= p.coords.size() / 3) {
                floatGroups<3>(inner, "color Color {", "color [", p.colors);
            } else {
                ++problems_.dropped;
            }
        }
        line(level, "}");
    }

    const scene::Scene &scene_;
    OutputBuffer &out_;
    WriteProblems &problems_;
    DefNames names_;
    std::vector<std::uint32_t> resolved_;
    std::vector<State> state_;
    std::vector<bool> shared_;
    std::vector<std::string> defNames_;
    std::vector<bool> sharedTexture_;
    std::vector<std::string> textureNames_;
};

}  // namespace

bool write_scene(const scene::Scene &scene, OutputBuffer &out, WriteProblems *problems) {
    WriteProblems local;
    WriteProblems &found = problems ? *problems : local;
    bool complete = true;
    try {
        Writer(scene, out, found).world();
    } catch (const std::exception &) {  // out of memory for names or bookkeeping
        complete = false;
    }
    return out.finish() && complete;
}

int write_scene_file(const scene::Scene &scene, const std::string &fileName, bool binaryMode,
                     WriteProblems *problems) {
    try {
        OutputFile output(fileName, binaryMode);
        if (!output.stream()) return 1;
        // The stream changes hands only once the buffer exists, so that it is closed either way.
        OutputBuffer out(output.stream());
        output.release();
        const bool written = write_scene(scene, out, problems);
        return output.commit(written) ? 0 : 1;
    } catch (const std::exception &) {
        return 1;
    }
}

std::string write_scene_string(const scene::Scene &scene, WriteProblems *problems) {
    std::string text;
    try {
        OutputBuffer out(text);
        if (!write_scene(scene, out, problems)) text.clear();
    } catch (const std::exception &) {  // the text itself outgrew memory
        text.clear();
    }
    return text;
}

}  // namespace tarvex::vrml97
