// The scene as X3D 3.3 XML, node for node what the VRML 97 writer writes. Its walk follows that
// writer's, but every line of its text differs (elements and attributes rather than fields), so
// it is a class of its own in one file; the naming, use chains and index repair are shared.
#include "writers/x3d/x3d_writer.h"

#include <algorithm>
#include <exception>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "core/output_file.h"
#include "core/vrml_names.h"
#include "scene/use_chains.h"
#include "tarvex/version.h"
#include "writers/common/def_names.h"
#include "writers/common/index_repair.h"
#include "writers/common/number_text.h"

namespace tarvex::x3d {
namespace {

using scene::kNone;
using writers::FaceIndexShape;
using writers::kMaxFloatChars;
using writers::kMaxIntChars;

float unit(float value) {
    return value > 1 ? 1 : (value < 0 ? 0 : value);
}

class Writer {
  public:
    Writer(const scene::Scene &scene, OutputBuffer &out, writers::WriteProblems &problems)
        : scene_(scene), out_(out), problems_(problems) {}

    void document() {
        out_.write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE X3D PUBLIC \"ISO//Web3D//DTD X3D 3.3//EN\" "
            "\"http://www.web3d.org/specifications/x3d-3.3.dtd\">\n"
            "<X3D profile='Immersive' version='3.3' "
            "xmlns:xsd='http://www.w3.org/2001/XMLSchema-instance' "
            "xsd:noNamespaceSchemaLocation='http://www.web3d.org/specifications/x3d-3.3.xsd'>\n"
            "<head>\n<meta name='generator' content='tarvex " TARVEX_VERSION
            "'/>\n</head>\n"
            "<Scene>\n");
        if (!scene_.info.empty()) {
            out_.write("<WorldInfo info='");
            strings(scene_.info);
            out_.write("'/>\n");
        }
        out_.write("<NavigationInfo type='\"EXAMINE\" \"ANY\"'");
        if (!scene_.lights.empty()) out_.write(" headlight='false'");
        if (scene_.visibility_limit)
            attribute("visibilityLimit", std::max(*scene_.visibility_limit, 0.0f));
        out_.write("/>\n");
        if (scene_.background) {
            out_.write("<Background");
            attribute("skyColor", *scene_.background);
            out_.write("/>\n");
        }
        for (const scene::Viewpoint &v : scene_.viewpoints) viewpoint(v);
        for (const scene::Light &l : scene_.lights) light(l);
        nodes();
        out_.write("</Scene>\n</X3D>\n");
    }

  private:
    // ---- text
    // Text as XML character data: its reserved characters as entities, and what XML 1.0 cannot
    // hold (control characters, bytes that are not UTF-8, U+FFFE and U+FFFF) replaced, so that
    // labels from any file keep the document well-formed.
    void escaped(std::string_view text) {
        std::size_t from = 0;
        for (std::size_t i = 0; i < text.size();) {
            const char *entity = nullptr;
            std::size_t length = 1;
            const auto byte = static_cast<unsigned char>(text[i]);
            switch (byte) {
                case '&':
                    entity = "&amp;";
                    break;
                case '<':
                    entity = "&lt;";
                    break;
                case '>':
                    entity = "&gt;";
                    break;
                case '\'':
                    entity = "&apos;";
                    break;
                case '"':
                    entity = "&quot;";
                    break;
                default:
                    if (byte >= 0x80) {
                        length = utf8Length(text.substr(i));
                        if (length == 0) entity = " ", length = 1;
                    } else if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
                        entity = " ";
                    }
                    break;
            }
            if (entity) {
                out_.write(text.substr(from, i - from));
                out_.write(entity);
                from = i + length;
            }
            i += length;
        }
        out_.write(text.substr(from));
    }
    // The length of the well-formed UTF-8 sequence `text` starts with that XML can hold, or 0.
    static std::size_t utf8Length(std::string_view text) {
        const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = at(0);
        std::size_t length;
        std::uint32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07;
        } else {
            return 0;
        }
        if (text.size() < length) return 0;
        for (std::size_t k = 1; k < length; ++k) {
            if ((at(k) & 0xC0) != 0x80) return 0;
            code = (code << 6) | (at(k) & 0x3F);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        const bool excluded = (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
                              code == 0xFFFF || code > 0x10FFFF;
        return overlong || excluded ? 0 : length;
    }
    // An MFString: each string quoted, inner quotes and backslashes escaped, all XML-escaped.
    void strings(std::span<const std::string> values) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out_.write(" ");
            out_.write("&quot;");
            escaped(vrml_string_body(values[i]));
            out_.write("&quot;");
        }
    }
    void number(float value) {
        char *at = out_.reserve(kMaxFloatChars);
        out_.commit(writers::format_float(at, value, problems_.non_finite_numbers));
    }
    void numbers(std::initializer_list<float> values) {
        bool first = true;
        for (const float v : values) {
            if (!first) out_.write(" ");
            first = false;
            number(v);
        }
    }
    void open(std::string_view name) {
        out_.write(" ");
        out_.write(name);
        out_.write("='");
    }
    void attribute(std::string_view name, float value) {
        open(name);
        number(value);
        out_.write("'");
    }
    void attribute(std::string_view name, const scene::Vec3 &v) {
        open(name);
        numbers({v.x, v.y, v.z});
        out_.write("'");
    }
    void attribute(std::string_view name, const scene::Color &c) {
        open(name);
        numbers({unit(c.r), unit(c.g), unit(c.b)});
        out_.write("'");
    }
    void attribute(std::string_view name, scene::Rotation r) {
        if (r.x == 0 && r.y == 0 && r.z == 0) r = scene::Rotation{};
        open(name);
        numbers({r.x, r.y, r.z, r.angle});
        out_.write("'");
    }
    void attribute(std::string_view name, bool value) {
        open(name);
        out_.write(value ? "true'" : "false'");
    }
    void attribute(std::string_view name, std::string_view text) {
        open(name);
        escaped(text);
        out_.write("'");
    }

    std::string uniqueName(std::string_view source) { return names_.unique(source); }

    // ---- the scene's head
    void viewpoint(const scene::Viewpoint &v) {
        out_.write("<Viewpoint");
        if (!v.name.empty()) attribute("DEF", uniqueName(v.name));
        attribute("position", v.position);
        attribute("orientation", v.orientation);
        attribute("fieldOfView", v.field_of_view);
        attribute("description", std::string_view(v.description));
        out_.write("/>\n");
    }

    void light(const scene::Light &light) {
        using Kind = scene::Light::Kind;
        const bool placed = light.kind == Kind::point || light.kind == Kind::spot;
        const std::string_view element = light.kind == Kind::point  ? "PointLight"
                                         : light.kind == Kind::spot ? "SpotLight"
                                                                    : "DirectionalLight";
        out_.write("<");
        out_.write(element);
        if (!light.name.empty()) attribute("DEF", uniqueName(light.name));
        attribute("on", light.on);
        if (light.kind == Kind::ambient) {
            // As in the VRML output: an unlit directional light adds only its ambient part.
            attribute("intensity", 0.0f);
            attribute("ambientIntensity", unit(light.intensity));
        } else {
            attribute("intensity", unit(light.intensity));
        }
        attribute("color", light.color);
        if (placed) attribute("location", light.location);
        if (light.kind == Kind::directional || light.kind == Kind::spot)
            attribute("direction", light.direction);
        if (placed) {
            const scene::Vec3 &a = light.attenuation;
            attribute("attenuation",
                      scene::Vec3{std::max(a.x, 0.0f), std::max(a.y, 0.0f), std::max(a.z, 0.0f)});
            attribute("radius", std::max(light.radius, 0.0f));
        }
        if (light.kind == Kind::spot) {
            constexpr float kRightAngle = 1.5707963f;
            attribute("beamWidth", std::clamp(light.beam_width, 0.0f, kRightAngle));
            attribute("cutOffAngle", std::clamp(light.cut_off_angle, 0.0f, kRightAngle));
        }
        out_.write("/>\n");
    }

    // ---- the node tree, as the VRML writer walks it: in full once, then USE
    enum class State : std::uint8_t { unwritten, open, written };
    struct Frame {
        std::uint32_t node;
        std::size_t next;
        bool wrapped;  // false for the root group, whose children stand in the Scene
    };

    static std::string_view elementOf(const scene::Node &node) {
        switch (node.kind) {
            case scene::Node::Kind::shape:
                return "Shape";
            case scene::Node::Kind::transform:
                return "Transform";
            default:
                return "Group";
        }
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
            stack.push_back(Frame{0, 0, false});
        } else {
            visit(0, stack);
        }
        while (!stack.empty()) {
            Frame &top = stack.back();
            const std::vector<std::uint32_t> &children = nodes[top.node].children;
            if (top.next < children.size()) {
                visit(children[top.next++], stack);  // may grow the stack: `top` is not used after
                continue;
            }
            if (top.wrapped) {
                out_.write("</");
                out_.write(elementOf(nodes[top.node]));
                out_.write(">\n");
            }
            state_[top.node] = State::written;
            stack.pop_back();
        }
    }

    void visit(std::uint32_t index, std::vector<Frame> &stack) {
        const std::uint32_t target = index < resolved_.size() ? resolved_[index] : kNone;
        if (target == kNone || state_[target] == State::open) {
            ++problems_.dropped;
            return;
        }
        const scene::Node &node = scene_.nodes[target];
        const bool brokenShape =
            node.kind == scene::Node::Kind::shape && node.shape >= scene_.shapes.size();
        const std::string_view element = brokenShape ? "Group" : elementOf(node);
        if (state_[target] == State::written) {
            out_.write("<");
            out_.write(element);
            attribute("USE", std::string_view(defNames_[target]));
            out_.write("/>\n");
            return;
        }
        if (!node.name.empty() || shared_[target]) {
            defNames_[target] = uniqueName(node.name.empty() ? "node" + std::to_string(target)
                                                             : std::string_view(node.name));
        }
        out_.write("<");
        out_.write(element);
        if (!defNames_[target].empty()) attribute("DEF", std::string_view(defNames_[target]));
        if (node.kind == scene::Node::Kind::shape) {
            state_[target] = State::written;
            if (brokenShape) {
                ++problems_.dropped;  // keeps the DEF valid: an empty group in its place
                out_.write("/>\n");
            } else {
                out_.write(">\n");
                shape(scene_.shapes[node.shape]);
                out_.write("</Shape>\n");
            }
            return;
        }
        if (node.kind == scene::Node::Kind::transform) transformFields(node.transform);
        if (node.children.empty()) {
            state_[target] = State::written;
            out_.write("/>\n");
            return;
        }
        out_.write(">\n");
        state_[target] = State::open;
        stack.push_back(Frame{target, 0, true});
    }

    void transformFields(const scene::Transform &t) {
        if (!(t.translation == scene::Vec3{})) attribute("translation", t.translation);
        if (t.rotation.angle != 0) attribute("rotation", t.rotation);
        if (!(t.scale == scene::Vec3{1, 1, 1})) attribute("scale", t.scale);
        if (t.scale_orientation.angle != 0) attribute("scaleOrientation", t.scale_orientation);
        if (!(t.center == scene::Vec3{})) attribute("center", t.center);
    }

    // ---- shapes
    void shape(const scene::Shape &shape) {
        const bool faces = std::holds_alternative<scene::FaceSet>(shape.geometry);
        bool unlit = false;
        if (const auto *lines = std::get_if<scene::LineSet>(&shape.geometry)) {
            unlit = lines->colors.empty();
        } else if (const auto *points = std::get_if<scene::PointSet>(&shape.geometry)) {
            unlit = points->colors.empty();
        }
        appearance(shape.appearance, faces, unlit);
        if (const auto *f = std::get_if<scene::FaceSet>(&shape.geometry)) {
            faceSet(*f);
        } else if (const auto *l = std::get_if<scene::LineSet>(&shape.geometry)) {
            lineSet(*l);
        } else {
            pointSet(std::get<scene::PointSet>(shape.geometry));
        }
    }

    void appearance(const scene::Appearance &a, bool textured, bool unlit) {
        out_.write("<Appearance>\n<Material");
        const scene::Material &m = a.material;
        attribute("diffuseColor", m.diffuse);
        if (m.ambient_intensity != 0.2f) attribute("ambientIntensity", unit(m.ambient_intensity));
        if (!(m.specular == scene::Color{})) attribute("specularColor", m.specular);
        if (!(m.emissive == scene::Color{})) {
            attribute("emissiveColor", m.emissive);
        } else if (unlit) {
            attribute("emissiveColor", m.diffuse);  // lines and points are unlit
        }
        if (m.shininess != 0.2f) attribute("shininess", unit(m.shininess));
        if (m.transparency != 0) attribute("transparency", unit(m.transparency));
        out_.write("/>\n");
        if (textured && a.texture != kNone) {
            if (a.texture < scene_.textures.size()) {
                texture(a.texture);
                if (a.texture_transform) textureTransform(*a.texture_transform);
            } else {
                ++problems_.dropped;
            }
        }
        out_.write("</Appearance>\n");
    }

    void texture(std::uint32_t index) {
        out_.write("<PixelTexture");
        if (!textureNames_[index].empty()) {
            attribute("USE", std::string_view(textureNames_[index]));
            out_.write("/>\n");
            return;
        }
        if (sharedTexture_[index]) {
            textureNames_[index] = uniqueName("texture" + std::to_string(index));
            attribute("DEF", std::string_view(textureNames_[index]));
        }
        const scene::Texture &t = scene_.textures[index];
        const std::uint64_t pixels = std::uint64_t{t.width} * t.height;
        const bool whole =
            t.components >= 1 && t.components <= 4 && t.pixels.size() / t.components >= pixels;
        open("image");
        if (!whole || pixels == 0) {
            if (!whole) ++problems_.dropped;
            out_.write("0 0 0'");
        } else {
            imageValues(t);
        }
        if (!t.repeat_s) attribute("repeatS", false);
        if (!t.repeat_t) attribute("repeatT", false);
        out_.write("/>\n");
    }

    void imageValues(const scene::Texture &t) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        char *at = out_.reserve(3 * kMaxIntChars + 3);
        for (const std::uint32_t v : {t.width, t.height, t.components}) {
            at = writers::format_int(
                at, static_cast<std::int32_t>(std::min<std::uint32_t>(v, INT32_MAX)));
            *at++ = ' ';
        }
        out_.commit(at - 1);
        const std::uint8_t *pixel = t.pixels.data();
        const std::uint64_t count = std::uint64_t{t.width} * t.height;
        for (std::uint64_t i = 0; i < count; ++i) {
            at = out_.reserve(12);
            *at++ = i % t.width == 0 ? '\n' : ' ';
            *at++ = '0';
            *at++ = 'x';
            for (std::uint32_t c = 0; c < t.components; ++c, ++pixel) {
                *at++ = kHex[*pixel >> 4];
                *at++ = kHex[*pixel & 15];
            }
            out_.commit(at);
        }
        out_.write("'");
    }

    void textureTransform(const scene::TextureTransform &t) {
        out_.write("<TextureTransform");
        const auto pair = [&](std::string_view name, const float(&v)[2]) {
            open(name);
            numbers({v[0], v[1]});
            out_.write("'");
        };
        if (t.center[0] != 0 || t.center[1] != 0) pair("center", t.center);
        if (t.rotation != 0) attribute("rotation", t.rotation);
        if (t.scale[0] != 1 || t.scale[1] != 1) pair("scale", t.scale);
        if (t.translation[0] != 0 || t.translation[1] != 0) pair("translation", t.translation);
        out_.write("/>\n");
    }

    // ---- geometry arrays
    template <std::size_t N>
    void floatGroups(std::string_view element, std::string_view field,
                     std::span<const float> values) {
        out_.write("<");
        out_.write(element);
        open(field);
        if (values.size() % N != 0) ++problems_.dropped;
        const std::size_t groups = values.size() / N;
        const float *v = values.data();
        for (std::size_t i = 0; i < groups; ++i, v += N) {
            char *at = out_.reserve(N * (kMaxFloatChars + 1) + 2);
            for (std::size_t k = 0; k < N; ++k) {
                at = writers::format_float(at, v[k], problems_.non_finite_numbers);
                *at++ = k + 1 < N ? ' ' : (i + 1 < groups ? ',' : '\'');
            }
            if (i + 1 < groups) *at++ = '\n';
            out_.commit(at);
        }
        if (groups == 0) out_.write("'");
        out_.write("/>\n");
    }

    // An index attribute's values, repaired as the VRML writer repairs them.
    FaceIndexShape indexValues(std::string_view name, std::span<const std::int32_t> index,
                               std::size_t count, bool separators) {
        FaceIndexShape shape;
        open(name);
        const std::int64_t limit =
            static_cast<std::int64_t>(std::min<std::size_t>(count, INT32_MAX));
        bool openFace = false;
        for (std::size_t i = 0; i < index.size(); ++i) {
            const std::int32_t value =
                writers::repaired_index(index[i], limit, separators, problems_.bad_indices);
            if (separators && value == -1) {
                if (openFace) ++shape.faces;
                openFace = false;
            } else {
                openFace = true;
                shape.maxIndex = std::max<std::int64_t>(shape.maxIndex, value);
            }
            char *at = out_.reserve(kMaxIntChars + 2);
            if (i > 0) *at++ = value == -1 || (i % 16) != 0 ? ' ' : '\n';
            out_.commit(writers::format_int(at, value));
        }
        if (openFace) ++shape.faces;
        shape.indexLength = index.size();
        out_.write("'");
        return shape;
    }

    FaceIndexShape triangleIndex(std::span<const std::uint32_t> triangles, std::size_t points) {
        FaceIndexShape shape;
        open("coordIndex");
        if (triangles.size() % 3 != 0) ++problems_.dropped;
        const std::size_t count = triangles.size() / 3;
        const std::uint32_t limit =
            static_cast<std::uint32_t>(std::min<std::size_t>(points, INT32_MAX));
        std::uint32_t maxIndex = 0;
        for (std::size_t i = 0; i < count; ++i) {
            char *at = out_.reserve(3 * (kMaxIntChars + 1) + 4);
            for (int k = 0; k < 3; ++k) {
                std::uint32_t index = triangles[i * 3 + static_cast<std::size_t>(k)];
                if (index >= limit) {
                    ++problems_.bad_indices;
                    index = 0;
                }
                maxIndex = std::max(maxIndex, index);
                at = writers::format_int(at, static_cast<std::int32_t>(index));
                *at++ = ' ';
            }
            *at++ = '-';
            *at++ = '1';
            if (i + 1 < count) *at++ = '\n';
            out_.commit(at);
        }
        out_.write("'");
        shape.faces = count;
        shape.indexLength = 4 * count;
        shape.maxIndex = count == 0 ? -1 : maxIndex;
        return shape;
    }

    // Whether an attribute goes in; its index (when it has one) is written at once, since
    // attributes come before the child nodes that hold the values.
    bool attributeIndex(std::span<const float> values, std::size_t groupSize,
                        std::span<const std::int32_t> index, bool perVertex,
                        std::string_view indexName, std::string_view perVertexName,
                        const FaceIndexShape &faces) {
        if (values.empty()) return false;
        if (!writers::attribute_fits(values, groupSize, index, perVertex, faces)) {
            ++problems_.dropped;
            return false;
        }
        if (!index.empty()) indexValues(indexName, index, values.size() / groupSize, perVertex);
        if (!perVertex && !perVertexName.empty()) attribute(perVertexName, false);
        return true;
    }

    void faceSet(const scene::FaceSet &f) {
        out_.write("<IndexedFaceSet");
        if (!f.solid) attribute("solid", false);
        if (!f.ccw) attribute("ccw", false);
        if (!f.convex) attribute("convex", false);
        if (f.crease_angle != 0) attribute("creaseAngle", std::max(f.crease_angle, 0.0f));
        const std::size_t points = f.coords.size() / 3;
        const FaceIndexShape faces = f.coord_index.empty()
                                         ? triangleIndex(f.triangles, points)
                                         : indexValues("coordIndex", f.coord_index, points, true);
        const bool colors = attributeIndex(f.colors, 3, f.color_index, f.color_per_vertex,
                                           "colorIndex", "colorPerVertex", faces);
        const bool normals = attributeIndex(f.normals, 3, f.normal_index, f.normal_per_vertex,
                                            "normalIndex", "normalPerVertex", faces);
        const bool texCoords =
            attributeIndex(f.tex_coords, 2, f.tex_coord_index, true, "texCoordIndex", "", faces);
        out_.write(">\n");
        floatGroups<3>("Coordinate", "point", f.coords);
        if (colors) floatGroups<3>("Color", "color", f.colors);
        if (normals) floatGroups<3>("Normal", "vector", f.normals);
        if (texCoords) floatGroups<2>("TextureCoordinate", "point", f.tex_coords);
        out_.write("</IndexedFaceSet>\n");
    }

    void lineSet(const scene::LineSet &l) {
        out_.write("<IndexedLineSet");
        const FaceIndexShape lines =
            indexValues("coordIndex", l.coord_index, l.coords.size() / 3, true);
        const bool colors = attributeIndex(l.colors, 3, l.color_index, l.color_per_vertex,
                                           "colorIndex", "colorPerVertex", lines);
        out_.write(">\n");
        floatGroups<3>("Coordinate", "point", l.coords);
        if (colors) floatGroups<3>("Color", "color", l.colors);
        out_.write("</IndexedLineSet>\n");
    }

    void pointSet(const scene::PointSet &p) {
        out_.write("<PointSet>\n");
        floatGroups<3>("Coordinate", "point", p.coords);
        if (!p.colors.empty()) {
            if (p.colors.size() / 3 >= p.coords.size() / 3) {
                floatGroups<3>("Color", "color", p.colors);
            } else {
                ++problems_.dropped;
            }
        }
        out_.write("</PointSet>\n");
    }

    const scene::Scene &scene_;
    OutputBuffer &out_;
    writers::WriteProblems &problems_;
    writers::DefNames names_;
    std::vector<std::uint32_t> resolved_;
    std::vector<State> state_;
    std::vector<bool> shared_;
    std::vector<std::string> defNames_;
    std::vector<bool> sharedTexture_;
    std::vector<std::string> textureNames_;
};

}  // namespace

bool write_x3d(const scene::Scene &scene, OutputBuffer &out, writers::WriteProblems *problems) {
    writers::WriteProblems local;
    bool complete = true;
    try {
        Writer(scene, out, problems ? *problems : local).document();
    } catch (const std::exception &) {
        complete = false;
    }
    return out.finish() && complete;
}

int write_x3d_file(const scene::Scene &scene, const std::string &fileName,
                   writers::WriteProblems *problems) {
    try {
        OutputFile output(fileName, false);
        if (!output.stream()) return 1;
        OutputBuffer out(output.stream());
        output.release();
        const bool written = write_x3d(scene, out, problems);
        return output.commit(written) ? 0 : 1;
    } catch (const std::exception &) {
        return 1;
    }
}

std::string write_x3d_string(const scene::Scene &scene, writers::WriteProblems *problems) {
    std::string text;
    try {
        OutputBuffer out(text);
        if (!write_x3d(scene, out, problems)) text.clear();
    } catch (const std::exception &) {
        text.clear();
    }
    return text;
}

}  // namespace tarvex::x3d
