#include "exact_figures.h"

#include <array>
#include <cmath>
#include <optional>
#include <set>
#include <vector>

namespace tarvex::test {
namespace {

using measure::Rgb;
using measure::Vec3;
using tree::ObjectTree;
using tree::ObjectType;

constexpr std::uint32_t kNone = ObjectTree::kNone;
constexpr int kMaxDepth = 32;  // references within references: real files go two deep

Vec3 cross(const Vec3 &a, const Vec3 &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Vec3 &a) {
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

// Column-vector affine map; a transform written later in a group acts first on what follows.
struct Map {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    Vec3 operator()(const Vec3 &p) const {
        Vec3 r;
        for (int i = 0; i < 3; ++i)
            r[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
        return r;
    }
    void then_first(const Map &b) {  // *this = *this * b
        Map r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                r.m[i][j] = j == 3 ? m[i][3] : 0;
                for (int k = 0; k < 3; ++k) r.m[i][j] += m[i][k] * b.m[k][j];
            }
        *this = r;
    }
};

struct State {
    Map map;
    std::optional<Rgb> color;
};

class Reading {
  public:
    Reading(const ObjectTree &tree, ExactFigures &out) : tree_(tree), out_(out) {}

    void members(std::uint32_t first, State state, int depth) {
        for (std::uint32_t c = first; c != kNone; c = tree_.node(c).next_sibling)
            object(c, state, depth);
    }

  private:
    const ObjectTree::Node &node(std::uint32_t n) const { return tree_.node(n); }
    std::vector<double> numbers(std::uint32_t n) const {
        std::vector<double> v;
        const ObjectTree::Node &o = node(n);
        for (std::uint32_t i = 0; i < o.value_count; ++i) {
            const std::optional<float> f = tree_.as_float(o.first_value + i);
            if (!f) break;
            v.push_back(*f);
        }
        return v;
    }
    void inexact(std::uint32_t n) {
        if (out_.exact)
            out_.why_not =
                std::string(tree_.name_of(n)) + " at " + std::to_string(node(n).position);
        out_.exact = false;
    }
    std::uint32_t referenced(std::uint32_t n) const {
        const ObjectTree::Node &o = node(n);
        if (o.value_count == 0) return kNone;
        const std::optional<std::int64_t> id = tree_.as_integer(o.first_value);
        return id ? tree_.reference_target(static_cast<std::uint32_t>(*id)) : kNone;
    }

    // The diffuse colour an attribute set gives, through references to sets.
    std::optional<Rgb> setColor(std::uint32_t set, int depth) {
        std::optional<Rgb> color;
        for (std::uint32_t c = node(set).first_child; c != kNone; c = node(c).next_sibling) {
            const ObjectType t = node(c).type;
            if (t == ObjectType::DiffuseColor) {
                const std::vector<double> v = numbers(c);
                if (v.size() >= 3) color = Rgb{float(v[0]), float(v[1]), float(v[2])};
            } else if (t == ObjectType::Reference && depth < kMaxDepth) {
                const std::uint32_t target = referenced(c);
                if (target != kNone)
                    if (const auto inner = setColor(target, depth + 1)) color = inner;
            }
        }
        return color;
    }
    bool holdsColor(std::uint32_t n) const {
        if (node(n).type == ObjectType::DiffuseColor) return true;
        for (std::uint32_t c = node(n).first_child; c != kNone; c = node(c).next_sibling)
            if (holdsColor(c)) return true;
        return false;
    }

    void object(std::uint32_t n, State &state, int depth) {
        const ObjectType t = node(n).type;
        const std::vector<double> v = numbers(n);
        Map map;
        switch (t) {
            case ObjectType::Translate:
            case ObjectType::Scale:
                if (v.size() != 3) return inexact(n);
                for (int i = 0; i < 3; ++i) map.m[i][t == ObjectType::Scale ? i : 3] = v[i];
                return state.map.then_first(map);
            case ObjectType::Matrix:  // rows of a row-vector matrix, the translation last
                if (v.size() != 16 || v[3] != 0 || v[7] != 0 || v[11] != 0) return inexact(n);
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 4; ++j) map.m[i][j] = v[4 * j + i];
                return state.map.then_first(map);
            case ObjectType::AttributeSet:
                if (const auto c = setColor(n, depth)) state.color = c;
                return;
            case ObjectType::Reference: {
                const std::uint32_t target = referenced(n);
                if (target == kNone || depth >= kMaxDepth) return inexact(n);
                return object(target, state, depth + 1);
            }
            case ObjectType::BeginGroup:
                return group(n, state, depth);
            case ObjectType::AmbientLight:
            case ObjectType::DirectionalLight:
                ++out_.directional_lights;
                return;
            case ObjectType::PointLight:
                ++out_.point_lights;
                return;
            case ObjectType::SpotLight:
                ++out_.spot_lights;
                return;
            case ObjectType::ViewAngleAspectCamera:
            case ObjectType::ViewPlaneCamera:
            case ObjectType::OrthographicCamera:
                ++out_.cameras;
                return;
            case ObjectType::ViewHints:  // its camera and lights are the view's
                for (std::uint32_t c = node(n).first_child; c != kNone; c = node(c).next_sibling)
                    if (!tree::is_geometry(node(c).type)) object(c, state, depth);
                return;
            case ObjectType::NULLIllumination:  // diffuse becomes emissive
                out_.colors_known = false;
                return;
            case ObjectType::Rotate:
            case ObjectType::RotateAboutPoint:
            case ObjectType::RotateAboutAxis:
            case ObjectType::Quaternion:
            case ObjectType::ForwardDirection:
                return inexact(n);
            default:
                break;
        }
        if (tree::is_geometry(t)) geometry(n, v, state, depth);
    }

    void group(std::uint32_t g, const State &outer, int depth) {
        std::uint32_t c = node(g).first_child;
        for (std::uint32_t i = 0; i < node(g).head_count && c != kNone; ++i) {
            if (node(c).type == ObjectType::DisplayGroupState) {
                for (std::uint32_t k = 0; k < node(c).value_count; ++k) {
                    const std::uint32_t value = node(c).first_value + k;
                    if (tree_.kind(value) != tree::ValueKind::Word) return inexact(c);
                    if (tree_.word(value) == "DoNotDraw") return;
                }
            } else if (node(c).type == ObjectType::OrderedDisplayGroup) {
                return inexact(c);  // draws its state first, whatever the order in the file
            }
            c = node(c).next_sibling;
        }
        members(c, outer, depth + 1);
    }

    void geometry(std::uint32_t n, const std::vector<double> &v, const State &state, int depth) {
        std::optional<Rgb> own;
        for (std::uint32_t c = node(n).first_child; c != kNone; c = node(c).next_sibling) {
            const ObjectType t = node(c).type;
            if (t == ObjectType::AttributeSet) {
                if (const auto color = setColor(c, depth)) own = color;
            } else if (t == ObjectType::Reference) {
                const std::uint32_t target = referenced(c);
                if (target != kNone && node(target).type == ObjectType::AttributeSet)
                    if (const auto color = setColor(target, depth + 1)) own = color;
            } else if (t == ObjectType::AttributeArray) {
                const std::vector<double> array = numbers(c);
                if (!array.empty() && array[0] == 5) out_.colors_known = false;
            } else if (t == ObjectType::FaceAttributeSetList ||
                       t == ObjectType::VertexAttributeSetList ||
                       t == ObjectType::GeometryAttributeSetList) {
                if (holdsColor(c)) out_.colors_known = false;
            }
        }
        faces_.clear();
        switch (node(n).type) {
            case ObjectType::Triangle:
                if (v.size() != 9) return inexact(n);
                faces_.push_back({point(v, 0), point(v, 3), point(v, 6)});
                break;
            case ObjectType::Polygon:
                if (v.empty() || v.size() != 1 + 3 * v[0]) return inexact(n);
                faces_.emplace_back();
                for (std::size_t i = 0; i < v[0]; ++i) faces_.back().push_back(point(v, 1 + 3 * i));
                break;
            case ObjectType::TriMesh:
                if (!trimesh(v)) return inexact(n);
                break;
            case ObjectType::Box:
                if (!box(v)) return inexact(n);
                break;
            case ObjectType::Mesh:
                if (!mesh(v)) return inexact(n);
                break;
            default:
                return inexact(n);
        }
        const Rgb color = own ? *own : state.color ? *state.color : Rgb{0.8f, 0.8f, 0.8f};
        for (std::size_t f = 0; f < faces_.size(); ++f) {
            Vec3 vectorArea{0, 0, 0};
            std::vector<Vec3> world;
            for (const Vec3 &p : faces_[f]) world.push_back(state.map(p));
            for (std::size_t i = 0; i < world.size(); ++i) {
                const Vec3 c = cross(world[i], world[(i + 1) % world.size()]);
                for (int k = 0; k < 3; ++k) vectorArea[k] += c[k] / 2;
            }
            const double area = holes_.count(f) ? -length(vectorArea) : length(vectorArea);
            if (!holes_.count(f))
                for (const Vec3 &p : world) out_.box.add(p);
            out_.area += area;
            out_.area_by_color[color] += area;
        }
        holes_.clear();
    }

    static Vec3 point(const std::vector<double> &v, std::size_t at) {
        return {v[at], v[at + 1], v[at + 2]};
    }

    // Counts, triangles, edges (two points, two triangles each), points, bounding box.
    bool trimesh(const std::vector<double> &v) {
        if (v.size() < 6) return false;
        const std::size_t triangles = std::size_t(v[0]), edges = std::size_t(v[2]),
                          points = std::size_t(v[4]);
        const std::size_t at = 6 + 3 * triangles + 4 * edges;
        if (v.size() < at + 3 * points) return false;
        for (std::size_t t = 0; t < triangles; ++t) {
            faces_.emplace_back();
            for (int k = 0; k < 3; ++k) {
                const std::size_t i = std::size_t(v[6 + 3 * t + k]);
                if (i >= points) return false;
                faces_.back().push_back(point(v, at + 3 * i));
            }
        }
        return true;
    }

    // Orientation, major and minor axes from the origin: six parallelograms.
    bool box(const std::vector<double> &v) {
        if (v.size() != 12) return false;
        const Vec3 a = point(v, 0), b = point(v, 3), c = point(v, 6), o = point(v, 9);
        const Vec3 zero{0, 0, 0};
        auto add = [](Vec3 p, Vec3 q) { return Vec3{p[0] + q[0], p[1] + q[1], p[2] + q[2]}; };
        for (const auto &[start, e1, e2] :
             {std::array{zero, b, c}, std::array{a, b, c}, std::array{zero, c, a},
              std::array{b, c, a}, std::array{zero, a, b}, std::array{c, a, b}}) {
            const Vec3 s = add(o, start);
            faces_.push_back({s, add(s, e1), add(add(s, e1), e2), add(s, e2)});
        }
        return true;
    }

    // Vertices, then faces each a count and its indices; a negative count is a hole in the face
    // before it.
    bool mesh(const std::vector<double> &v) {
        if (v.empty()) return false;
        const std::size_t vertices = std::size_t(v[0]);
        std::size_t at = 1 + 3 * vertices;
        if (v.size() < at + 2) return false;
        const std::size_t entries = std::size_t(v[at]) + std::size_t(v[at + 1]);
        at += 2;
        for (std::size_t e = 0; e < entries; ++e) {
            if (at >= v.size()) return false;
            const double count = v[at++];
            if (count < 0 && faces_.empty()) return false;
            if (count < 0) holes_.insert(faces_.size());
            faces_.emplace_back();
            for (std::size_t k = 0; k < std::size_t(std::fabs(count)); ++k) {
                if (at >= v.size() || v[at] >= vertices) return false;
                faces_.back().push_back(point(v, 1 + 3 * std::size_t(v[at++])));
            }
        }
        return at == v.size();
    }

    const ObjectTree &tree_;
    ExactFigures &out_;
    std::vector<std::vector<Vec3>> faces_;
    std::set<std::size_t> holes_;
};

}  // namespace

ExactFigures exact_figures(const ObjectTree &tree) {
    ExactFigures out;
    Reading(tree, out).members(tree.node(tree.root()).first_child, State{}, 0);
    return out;
}

}  // namespace tarvex::test
