// The node walk: the scene's node tree as glTF nodes, each placement of a shared node its own
// glTF node (a glTF node has one parent) over the one mesh, so that instancing survives.
#include "writers/gltf/gltf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <utility>
#include <vector>

#include "core/output_buffer.h"
#include "core/output_file.h"
#include "scene/use_chains.h"
#include "writers/gltf/gltf_document.h"

namespace tarvex::gltf {

namespace {

using scene::kNone;

// Placements a hostile file can multiply out of `use` nodes repeating each other: beyond this
// many glTF nodes the rest is left out (and counted) rather than filling memory.
constexpr std::size_t kMaxNodes = std::size_t{1} << 20;
// A right angle rounded down to a float, so that the written value stays within glTF's bound.
constexpr double kRightAngle = 1.5707963f;
constexpr float kPi = 3.14159265f;

struct Quat {
    double x = 0, y = 0, z = 0, w = 1;
};

Quat quat(const scene::Rotation &r) {
    const double length = std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z);
    if (!(length > 0) || !std::isfinite(length) || !std::isfinite(r.angle)) return {};
    const double s = std::sin(r.angle / 2) / length;
    return {r.x * s, r.y * s, r.z * s, std::cos(r.angle / 2)};
}

Quat operator*(const Quat &a, const Quat &b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat inverse(const Quat &q) {
    return {-q.x, -q.y, -q.z, q.w};
}

struct DVec3 {
    double x = 0, y = 0, z = 0;
};

DVec3 rotate(const Quat &q, const DVec3 &v) {
    const Quat p = q * Quat{v.x, v.y, v.z, 0} * inverse(q);
    return {p.x, p.y, p.z};
}

// The rotation turning glTF's forward axis, -z, onto `to`.
Quat facing(const scene::Vec3 &to) {
    const double length =
        std::sqrt(double(to.x) * to.x + double(to.y) * to.y + double(to.z) * to.z);
    if (!(length > 0) || !std::isfinite(length)) return {};
    const DVec3 d{to.x / length, to.y / length, to.z / length};
    const double cosine = -d.z;                    // dot((0,0,-1), d)
    if (cosine < -1 + 1e-12) return {0, 1, 0, 0};  // straight back: half a turn about y
    // axis = (0,0,-1) x d = (d.y, -d.x, 0)
    Quat q{d.y, -d.x, 0, 1 + cosine};
    const double n = std::sqrt(q.x * q.x + q.y * q.y + q.w * q.w);
    return {q.x / n, q.y / n, 0, q.w / n};
}

bool isIdentity(const Quat &q) {
    return q.x == 0 && q.y == 0 && q.z == 0;
}

class Walker {
  public:
    Walker(const scene::Scene &scene, Document &document, WriteReport &report)
        : scene_(scene), doc_(document), report_(report) {}

    void run() {
        std::vector<int> &roots = doc_.roots;
        // The first camera of the scene's nodes is the one clients open with: the file's first
        // viewpoint. Cameras and lights stand at the root, as in the VRML output.
        const std::size_t cameraNodes = scene_.viewpoints.size();
        for (std::size_t i = 0; i < cameraNodes; ++i) roots.push_back(addNode({}));
        lights(roots);
        content(roots);
        cameras(roots);      // their near planes follow from the scene's size, known only now
        pointIntensities();  // so do the candela of point and spot lights
        // What glTF has no place for, kept for importers that show it (the Blender add-on).
        if (ambient_[0] > 0 || ambient_[1] > 0 || ambient_[2] > 0)
            doc_.scene_extras["ambient"] = array3(ambient_[0], ambient_[1], ambient_[2]);
        if (const auto &c = scene_.background)
            doc_.scene_extras["background"] = array3(c->r, c->g, c->b);
    }

  private:
    int addNode(const NodeRecord &node) {
        doc_.nodes.push_back(node);
        return static_cast<int>(doc_.nodes.size() - 1);
    }
    // A number as a node keeps it: the float it is written from, non-finite ones counted as 0.
    float kept(double v) {
        const float f = static_cast<float>(v);
        if (std::isfinite(f)) return f;
        ++report_.non_finite_numbers;
        return 0;
    }
    void setTranslation(NodeRecord &node, double x, double y, double z) {
        node.translation[0] = kept(x), node.translation[1] = kept(y), node.translation[2] = kept(z);
        node.has_translation = true;
    }
    void setRotation(NodeRecord &node, const Quat &q) {
        const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        node.rotation[0] = kept(q.x / n), node.rotation[1] = kept(q.y / n);
        node.rotation[2] = kept(q.z / n), node.rotation[3] = kept(q.w / n);
        node.has_rotation = true;
    }
    double num(double v) { return json_number(static_cast<float>(v), report_); }
    nlohmann::json array3(double x, double y, double z) { return {num(x), num(y), num(z)}; }

    void cameras(const std::vector<int> &roots) {
        double diagonal = 0;
        if (seen_[0] && seen_[1] && seen_[2]) {
            const double dx = box_[1][0] - box_[0][0], dy = box_[1][1] - box_[0][1],
                         dz = box_[1][2] - box_[0][2];
            diagonal = std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        // Near enough for the whole scene's detail, far enough to keep the depth buffer useful;
        // no far plane: glTF then projects to infinity.
        const double znear = diagonal > 0 && std::isfinite(diagonal) ? diagonal * 1e-4 : 0.01;
        if (scene_.viewpoints.empty()) return;
        nlohmann::json &list = doc_.cameras;
        for (std::size_t i = 0; i < scene_.viewpoints.size(); ++i) {
            const scene::Viewpoint &v = scene_.viewpoints[i];
            const double fov = std::isfinite(v.field_of_view)
                                   ? std::clamp<double>(v.field_of_view, 1e-3, 3.14)
                                   : 0.785398;
            nlohmann::json camera = {{"type", "perspective"},
                                     {"perspective", {{"yfov", num(fov)}, {"znear", num(znear)}}}};
            const std::string_view name(v.description.empty() ? v.name : v.description);
            if (!name.empty()) camera["name"] = name;
            list.push_back(std::move(camera));
            NodeRecord &node = doc_.nodes[static_cast<std::size_t>(roots[i])];
            node.camera = static_cast<int>(i);
            node.name = name;
            setTranslation(node, v.position.x, v.position.y, v.position.z);
            const Quat q = quat(v.orientation);
            if (!isIdentity(q)) setRotation(node, q);
        }
    }

    void lights(std::vector<int> &roots) {
        using Kind = scene::Light::Kind;
        nlohmann::json &list = doc_.lights;
        for (const scene::Light &light : scene_.lights) {
            if (light.kind == Kind::ambient) {
                std::string note = "the ambient light";
                if (!light.name.empty()) note.append(" ").append(light.name.view());
                report_.notes.push_back(note.append(" left out: glTF has no ambient light"));
                const float intensity = light.on ? std::max(light.intensity, 0.0f) : 0.0f;
                if (std::isfinite(intensity)) {
                    ambient_[0] += std::clamp(light.color.r, 0.0f, 1.0f) * intensity;
                    ambient_[1] += std::clamp(light.color.g, 0.0f, 1.0f) * intensity;
                    ambient_[2] += std::clamp(light.color.b, 0.0f, 1.0f) * intensity;
                }
                continue;
            }
            // Lux such that a white surface facing the light shows the VRML brightness, where
            // a physically based renderer divides the light a surface takes by pi.
            const float intensity = light.on ? std::max(light.intensity, 0.0f) * kPi : 0.0f;
            nlohmann::json out = {{"type", light.kind == Kind::directional ? "directional"
                                           : light.kind == Kind::point     ? "point"
                                                                           : "spot"},
                                  {"color",
                                   {num(std::clamp(light.color.r, 0.0f, 1.0f)),
                                    num(std::clamp(light.color.g, 0.0f, 1.0f)),
                                    num(std::clamp(light.color.b, 0.0f, 1.0f))}},
                                  {"intensity", num(intensity)}};
            // 3DMF lights have no cut-off distance: no range, so they reach the whole scene.
            if (light.kind == Kind::spot) {
                const double outer =
                    std::isfinite(light.cut_off_angle)
                        ? std::clamp<double>(light.cut_off_angle, 1e-3, kRightAngle)
                        : kRightAngle / 2;
                double inner = std::isfinite(light.beam_width)
                                   ? std::clamp<double>(light.beam_width, 0, outer)
                                   : 0;
                if (inner >= outer) inner = outer * 0.999;  // glTF wants the inner cone smaller
                out["spot"] = {{"innerConeAngle", num(inner)}, {"outerConeAngle", num(outer)}};
            }
            if (!light.name.empty()) out["name"] = light.name;
            if (light.kind != Kind::directional) pointLike_.emplace_back(list.size(), &light);
            list.push_back(std::move(out));
            NodeRecord node;
            node.light = static_cast<int>(list.size() - 1);
            node.name = light.name;
            if (light.kind != Kind::directional)
                setTranslation(node, light.location.x, light.location.y, light.location.z);
            if (light.kind != Kind::point) {
                const Quat q = facing(light.direction);
                if (!isIdentity(q)) setRotation(node, q);
            }
            roots.push_back(addNode(node));
        }
    }

    // glTF's point and spot lights fall off by the inverse square of the distance, 3DMF's by
    // their attenuation (often none): they are made to agree at the scene's centre, or half its
    // size away when the light stands at the centre.
    void pointIntensities() {
        if (pointLike_.empty()) return;
        double centre[3] = {0, 0, 0}, half = 0;
        if (seen_[0] && seen_[1] && seen_[2]) {
            for (int k = 0; k < 3; ++k) {
                centre[k] = (box_[0][k] + box_[1][k]) / 2;
                half += (box_[1][k] - box_[0][k]) * (box_[1][k] - box_[0][k]) / 4;
            }
            half = std::sqrt(half);
        }
        nlohmann::json &list = doc_.lights;
        for (const auto &[index, light] : pointLike_) {
            const double dx = light->location.x - centre[0], dy = light->location.y - centre[1],
                         dz = light->location.z - centre[2];
            double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (!(d > 0) || !std::isfinite(d)) d = half > 0 && std::isfinite(half) ? half : 1;
            const scene::Vec3 &a = light->attenuation;
            const double falloff = std::max(a.x + a.y * d + a.z * d * d, 1.0);
            const double lux = list[index]["intensity"].get<double>();
            list[index]["intensity"] = num(std::isfinite(falloff) ? lux * d * d / falloff : 0);
        }
    }

    // A VRML transform, T C R SR S SR^-1 C^-1, as glTF's T R S. Without a scale orientation
    // (or with an even scale) it is one node; otherwise an inner node takes SR^-1 C^-1.
    // Returns the node the children hang from.
    int transformNode(const scene::Transform &t, NodeRecord node) {
        const Quat r = quat(t.rotation), so = quat(t.scale_orientation);
        const DVec3 s{t.scale.x, t.scale.y, t.scale.z}, c{t.center.x, t.center.y, t.center.z};
        const bool even = s.x == s.y && s.y == s.z;
        const bool split = !even && !isIdentity(so);
        const auto put = [&](NodeRecord &into, const DVec3 &translation, const Quat &q,
                             bool scaled) {
            if (translation.x != 0 || translation.y != 0 || translation.z != 0)
                setTranslation(into, translation.x, translation.y, translation.z);
            if (!isIdentity(q)) setRotation(into, q);
            if (scaled && (s.x != 1 || s.y != 1 || s.z != 1)) {
                into.scale[0] = kept(s.x), into.scale[1] = kept(s.y), into.scale[2] = kept(s.z);
                into.has_scale = true;
            }
        };
        if (!split) {
            // T C R S C^-1 = translate(t + c - R S c) R S
            const DVec3 rsc = rotate(r, {s.x * c.x, s.y * c.y, s.z * c.z});
            put(node,
                {t.translation.x + c.x - rsc.x, t.translation.y + c.y - rsc.y,
                 t.translation.z + c.z - rsc.z},
                r, true);
            return addNode(node);
        }
        put(node, {t.translation.x + c.x, t.translation.y + c.y, t.translation.z + c.z}, r * so,
            true);
        const int outer = addNode(node);
        // SR^-1 C^-1 = translate(SR^-1 (-c)) SR^-1
        const Quat back = inverse(so);
        const DVec3 moved = rotate(back, {-c.x, -c.y, -c.z});
        NodeRecord inner;
        put(inner, moved, back, false);
        inner.parent = outer;
        return addNode(inner);
    }

    struct Frame {
        std::uint32_t node;  // the scene node, resolved
        int parent;          // the glTF node it hangs from; -1: the scene's roots
        double world[4][4];  // row-vector, as scene::Transform::matrix
        bool leaving;
    };

    void addBox(const float box[2][3], const double (&m)[4][4]) {
        for (int corner = 0; corner < 8; ++corner) {
            const double p[3] = {box[corner & 1][0], box[(corner >> 1) & 1][1],
                                 box[(corner >> 2) & 1][2]};
            for (int k = 0; k < 3; ++k) {
                const double v = p[0] * m[0][k] + p[1] * m[1][k] + p[2] * m[2][k] + m[3][k];
                if (!std::isfinite(v)) continue;
                box_[0][k] = seen_[k] ? std::min(box_[0][k], v) : v;
                box_[1][k] = seen_[k] ? std::max(box_[1][k], v) : v;
                seen_[k] = true;
            }
        }
    }

    void content(std::vector<int> &roots) {
        const std::vector<scene::Node> &nodes = scene_.nodes;
        if (nodes.empty()) return;
        const std::vector<std::uint32_t> resolved = scene::resolve_uses(scene_);
        std::vector<char> onPath(nodes.size(), 0);
        std::vector<Frame> stack;
        Frame root{0, -1, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}, false};
        const bool rootGroup = nodes[0].kind == scene::Node::Kind::group;
        if (rootGroup) {
            // The root group's children stand at the top, as in the VRML output.
            for (auto child = nodes[0].children.rbegin(); child != nodes[0].children.rend();
                 ++child) {
                root.node = *child < resolved.size() ? resolved[*child] : kNone;
                stack.push_back(root);
            }
            onPath[0] = 1;
        } else {
            root.node = resolved[0];
            stack.push_back(root);
        }
        while (!stack.empty()) {
            const Frame frame = stack.back();
            stack.pop_back();
            if (frame.leaving) {
                onPath[frame.node] = 0;
                continue;
            }
            if (frame.node == kNone || onPath[frame.node] || doc_.nodes.size() >= kMaxNodes) {
                ++report_.dropped;  // a chain to nowhere, a node inside itself, or too many
                continue;
            }
            const scene::Node &node = nodes[frame.node];
            NodeRecord out;
            out.name = node.name;
            int attach = -1;
            if (node.kind == scene::Node::Kind::shape) {
                if (node.shape >= scene_.shapes.size()) {
                    ++report_.dropped;
                    continue;
                }
                float box[2][3];
                const int mesh = doc_.mesh(node.shape, box);
                if (mesh >= 0) {
                    out.mesh = mesh;
                    addBox(box, frame.world);
                }
                attach = addNode(out);
                hang(roots, frame.parent, attach);
                continue;
            }
            Frame inner = frame;
            if (node.kind == scene::Node::Kind::transform) {
                const int top = static_cast<int>(doc_.nodes.size());
                attach = transformNode(node.transform, out);
                hang(roots, frame.parent, top);
                const auto &m = node.transform.matrix;
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 4; ++j) {
                        inner.world[i][j] = 0;
                        for (int k = 0; k < 4; ++k)
                            inner.world[i][j] += m[i][k] * frame.world[k][j];
                    }
            } else {
                attach = addNode(out);
                hang(roots, frame.parent, attach);
            }
            onPath[frame.node] = 1;
            stack.push_back({frame.node, -1, {}, true});
            inner.parent = attach;
            inner.leaving = false;
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
                inner.node = *child < resolved.size() ? resolved[*child] : kNone;
                stack.push_back(inner);
            }
        }
    }

    void hang(std::vector<int> &roots, int parent, int child) {
        if (parent < 0) {
            roots.push_back(child);
        } else {
            doc_.nodes[static_cast<std::size_t>(child)].parent = parent;
        }
    }

    const scene::Scene &scene_;
    Document &doc_;
    WriteReport &report_;
    std::vector<std::pair<std::size_t, const scene::Light *>> pointLike_;  // their lights' index
    double ambient_[3] = {0, 0, 0};
    double box_[2][3] = {{0, 0, 0}, {0, 0, 0}};
    bool seen_[3] = {false, false, false};  // an axis of box_ holds a point
};

}  // namespace

bool write_gltf(const scene::Scene &scene, Container container, std::string &bytes,
                WriteReport *report) {
    WriteReport local;
    WriteReport &found = report ? *report : local;
    bytes.clear();
    try {
        Document document(scene, found);
        Walker(scene, document, found).run();
        document.finish(container, [&](std::string_view text) { bytes.append(text); });
        return true;
    } catch (const std::exception &) {  // out of memory, or past what a .glb can hold
        bytes.clear();
        return false;
    }
}

int write_gltf_file(const scene::Scene &scene, const std::string &fileName, Container container,
                    WriteReport *report) {
    WriteReport local;
    WriteReport &found = report ? *report : local;
    try {
        // Everything but the text is made before the output is opened; the text goes straight
        // to it, and a failure on the way leaves the old file in place.
        Document document(scene, found);
        Walker(scene, document, found).run();
        OutputFile output(fileName, true);
        if (!output.stream()) return 1;
        // The stream changes hands only once the buffer exists, so that it is closed either way.
        OutputBuffer out(output.stream());
        output.release();
        document.finish(container, [&](std::string_view text) { out.write(text); });
        return output.commit(out.finish()) ? 0 : 1;
    } catch (const std::exception &) {  // out of memory, or past what a .glb can hold
        return 1;
    }
}

}  // namespace tarvex::gltf
