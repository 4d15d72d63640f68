// The walk over the object tree: groups as an explicit stack of frames (a file may nest groups a
// million deep), state objects changing the frame's state, drawables handed to the geometry
// code, References re-entering their targets with a cycle check and an expansion budget.
#include "builder/scene_builder.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <type_traits>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectTree;
using tree::ObjectType;

namespace {

// The work budget, in units of about 0.1 µs and a few bytes: a base for small files, so many
// units per input byte, and what the output budget's tessellated bytes take (a grid cell of
// about 144 bytes charges its point and its two triangles' indices, 9 units).
constexpr std::uint64_t kWorkBase = std::uint64_t{8} << 20;
constexpr std::uint64_t kWorkPerByte = 16;
constexpr std::uint64_t kOutputBytesPerUnit = 16;
// The triangulator counts finer steps (an edge pair looked at) than the builder does.
constexpr std::uint64_t kTriangulationStepsPerUnit = 8;
// Where the input's size is not known (a tree built in memory): bytes per value or object.
constexpr std::uint64_t kBytesPerValue = 8;

// The output budget.
constexpr std::uint64_t kOutputBase = std::uint64_t{16} << 20;
constexpr std::uint64_t kOutputPerByte = 1000;
constexpr std::uint64_t kOutputCeiling = std::uint64_t{256} << 20;
// Estimated VRML bytes of a tessellated point (position, normal and texture coordinate) and of
// a triangle (its indices), for the output budget.
constexpr std::uint64_t kPointBytes = 80, kTriangleBytes = 32;
// The world's own geometry may write this many bytes per input byte beyond the output budget.
constexpr std::uint64_t kOwnOutputPerByte = 4;
// Builds after the first one, when coarsening once does not bring the output within budget.
constexpr int kMaxCoarsenings = 3;

std::string mebibytes(std::uint64_t bytes) {
    const std::uint64_t tenths = (bytes * 10 + (1 << 19)) >> 20;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB";
}

struct GroupInfo {
    ObjectType kind = ObjectType::DisplayGroup;
    std::uint32_t flags = 0;
};
constexpr std::uint32_t kIsInline = 1, kDoNotDraw = 2;

// Big-endian UTF-16 code units (the byte order real writers use) as UTF-8; unpaired surrogates
// become U+FFFD.
std::string utf8_from_utf16be(std::span<const std::uint8_t> bytes, std::uint32_t units) {
    std::string out;
    const std::size_t n = std::min<std::size_t>(units, bytes.size() / 2);
    const auto unit = [&](std::size_t i) -> std::uint32_t {
        return (std::uint32_t(bytes[2 * i]) << 8) | bytes[2 * i + 1];
    };
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c == 0) break;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

bool equal_words(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::uint32_t> FieldReader::next_bits(
    std::initializer_list<std::pair<std::string_view, std::uint32_t>> names) {
    if (!next_is_word()) return next_uint();
    std::uint32_t bits = 0;
    while (next_is_word()) {
        std::string_view text = tree_.word(next_++);
        while (!text.empty()) {
            const std::size_t bar = text.find('|');
            const std::string_view name = text.substr(0, bar);
            for (const auto &[candidate, value] : names)
                if (equal_words(name, candidate)) bits |= value;
            if (bar == std::string_view::npos) break;
            text.remove_prefix(bar + 1);
        }
    }
    return bits;
}

std::string count_text(std::uint64_t n, std::string_view singular, std::string_view plural) {
    return std::to_string(n) + " " + std::string(n == 1 ? singular : plural);
}

std::uint64_t default_max_output(std::uint64_t input_bytes) {
    const std::uint64_t per_byte = input_bytes > kOutputCeiling / kOutputPerByte
                                       ? kOutputCeiling
                                       : input_bytes * kOutputPerByte;
    return std::min(kOutputCeiling, kOutputBase + per_byte);
}

std::uint64_t scene_output_limit(std::uint64_t input_bytes, std::uint64_t max_output) {
    const std::uint64_t cap = std::uint64_t{1} << 40;
    return std::min(max_output, cap) + kOwnOutputPerByte * std::min(input_bytes, cap);
}

std::uint64_t work_budget(std::uint64_t input_bytes, std::uint64_t max_output) {
    const std::uint64_t cap = std::uint64_t{1} << 40;
    return kWorkBase + kWorkPerByte * std::min(input_bytes, cap) +
           std::min(max_output, cap) / kOutputBytesPerUnit;
}

namespace {

// `limits` with what was left open filled in for `tree`.
Limits complete(const ObjectTree &tree, Limits limits) {
    if (limits.input_bytes == 0)
        limits.input_bytes = kBytesPerValue * (tree.value_count() + tree.node_count());
    if (limits.max_output == 0) limits.max_output = default_max_output(limits.input_bytes);
    return limits;
}

}  // namespace

Builder::Builder(ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
                 const Limits &limits, double detail, Outline *outline)
    : tree_(tree),
      scene_(scene),
      outline_(outline),
      diagnostics_(diagnostics),
      limits_(complete(tree, limits)),
      detail_(detail) {
    result_.detail = detail;
}

void Builder::warn(std::uint32_t node, std::string text) {
    diagnostics_.warn(tree_.node(node).position, std::move(text));
}

void Builder::skip(std::uint32_t node) {
    diagnostics_.skipped(tree_.node(node).position, type_text(node));
}

bool Builder::is_name_element(std::uint32_t node) {
    const ObjectTree::Node &n = tree_.node(node);
    if (n.type != ObjectType::Unknown) return false;
    // Looked at once per type name: a binary file's custom types share theirs.
    const auto [found, fresh] = name_elements_.try_emplace(n.type_name, false);
    if (fresh) found->second = tree_.name_of(node).find("NameElement") != std::string_view::npos;
    return found->second;
}

std::string Builder::type_text(std::uint32_t node) const {
    const std::string_view written = tree_.name_of(node);
    if (!written.empty()) return tree::shortened(written, tree::Diagnostics::kMaxNameBytes);
    return std::string(tree::type_name(tree_.node(node).type));
}

State &Builder::mutable_state() {
    Frame &f = frames_.back();
    if (!f.owns_state) {
        states_.push_back(states_[f.state]);
        f.state = static_cast<std::uint32_t>(states_.size() - 1);
        f.owns_state = true;
    }
    return states_[f.state];
}

std::uint32_t Builder::resolve_reference(std::uint32_t node) {
    std::uint32_t at = node;
    for (int hops = 0; hops < 16; ++hops) {
        FieldReader in(tree_, at);
        const std::optional<std::uint32_t> id = in.next_uint();
        if (!id) {
            warn(node, "Reference without a reference number");
            return kNone;
        }
        const std::uint32_t target = tree_.reference_target(*id);
        if (target == kNone) {
            warn(node, "Reference " + std::to_string(*id) + " names no object");
            return kNone;
        }
        if (tree_.node(target).type != ObjectType::Reference) return target;
        at = target;
    }
    warn(node, "Reference chain too long");
    return kNone;
}

std::string Builder::name_of(std::uint32_t node) {
    std::string name;
    for_children(node, [&](std::uint32_t c) {
        if (!name.empty() || !is_name_element(c)) return;
        for_children(c, [&](std::uint32_t s) {
            if (name.empty() && tree_.node(s).type == ObjectType::CString &&
                tree_.node(s).value_count > 0)
                name = tree::shortened(tree_.string(tree_.node(s).first_value), kMaxNameBytes);
        });
    });
    if (name.empty()) name = tree::shortened(tree_.label_of(node), kMaxNameBytes);
    return name;
}

BuildResult Builder::run() {
    // The per-file TransparencyColor reading: any exact (0 0 0) means values are transparency.
    bool any_transparency = false, any_zero = false;
    for (std::uint32_t n = 0; n < tree_.node_count(); ++n) {
        if (tree_.node(n).type != ObjectType::TransparencyColor) continue;
        any_transparency = true;
        FieldReader in(tree_, n);
        const std::optional<Color> c = in.next_color();
        if (c && c->r == 0 && c->g == 0 && c->b == 0) any_zero = true;
    }
    transparency_means_opacity = any_transparency && !any_zero;

    budget_ = work_budget(limits_.input_bytes, limits_.max_output);
    result_.work_budget = budget_;
    active_.assign(tree_.node_count(), 0);
    states_.push_back(State{});
    Frame top;
    top.group = tree_.root();
    top.next = tree_.node(tree_.root()).first_child;
    top.first_member = top.next;
    top.state = 0;
    top.depth = 0;
    frames_.push_back(top);
    while (step()) {
    }
    finish_lights();
    result_.work = work_;
    return result_;
}

void Builder::fail(std::uint32_t node, std::string message) {
    if (!result_.ok) return;
    result_.ok = false;
    result_.position = tree_.node(node).position;
    result_.message = std::move(message);
}

bool Builder::charge(std::uint64_t work, std::uint32_t node) {
    work_ += work;
    if (work_ <= budget_) return true;
    fail(node, "The file asks for more work than its size allows (" + std::to_string(budget_) +
                   " units: References, attribute sets or tessellation); conversion stopped");
    return false;
}

Builder::Triangulated Builder::triangulate(std::uint32_t node, std::vector<float> &points,
                                           std::span<const std::vector<std::uint32_t>> contours,
                                           std::vector<std::uint32_t> &triangles) {
    std::uint64_t steps = budget_ > work_ ? (budget_ - work_) * kTriangulationStepsPerUnit : 0;
    const std::size_t before = triangles.size();
    const bool filled = geometry::triangulate_contours(points, contours, triangles, &steps);
    charge((steps + kTriangulationStepsPerUnit - 1) / kTriangulationStepsPerUnit, node);
    if (filled) return Triangulated::even_odd;
    return triangles.size() > before ? Triangulated::fan : Triangulated::none;
}

geometry::Subdivision Builder::subdivision() const {
    geometry::Subdivision s = state().styles.subdivision;
    s.detail = detail_;
    s.count_only = measuring_;
    return s;
}

bool Builder::count_written(std::uint64_t bytes, std::uint32_t node) {
    if (drawing_surface_) return true;  // counted by count_output()
    result_.output_other += bytes;
    const std::uint64_t limit = scene_output_limit(limits_.input_bytes, limits_.max_output);
    if (result_.output_other <= limit) return true;
    fail(node, "The scene would write more than " + mebibytes(limit) +
                   " (References repeating objects); conversion stopped");
    return false;
}

bool Builder::count_output(std::uint32_t node, const geometry::Surface &s) {
    if (!charge(s.work, node)) return false;
    result_.output_asked += s.asked_points * kPointBytes + s.asked_triangles * kTriangleBytes;
    result_.output_made += s.coords.size() / 3 * kPointBytes + s.face_part.size() * kTriangleBytes;
    // Only a first build at full detail measures: a coarsened one is drawn whatever it makes.
    if (!measuring_ && detail_ == 1 && result_.output_asked > limits_.max_output) {
        measuring_ = true;
        result_.over_output = true;
        result_.output_position = tree_.node(node).position;
    }
    return !measuring_;
}

bool Builder::step() {
    if (frames_.empty() || !result_.ok) return false;
    Frame &f = frames_.back();
    if (f.next == kNone || f.done) {
        if (f.ordered && f.pass == 0 && !f.done) {
            f.pass = 1;
            f.next = f.first_member;
            return true;
        }
        close_frame();
        return !frames_.empty();
    }
    const std::uint32_t node = f.next;
    f.next = tree_.node(node).next_sibling;
    if (f.ordered) {
        const bool state_object = is_state_type(tree_.node(node).type);
        if ((f.pass == 0) != state_object) return true;
    }
    const bool proxy = f.proxy;
    const std::size_t frame = frames_.size() - 1;  // visit() may open frames above this one
    visit(node, f.depth);
    if (proxy && result_.ok) {
        const ObjectType t = tree_.node(node).type;
        // The first alternative this converter understands stands for the whole proxy.
        if (tree::is_geometry(t) || t == ObjectType::BeginGroup || t == ObjectType::Reference)
            frames_[frame].done = true;
    }
    return true;
}

void Builder::close_frame() {
    const Frame f = frames_.back();
    frames_.pop_back();
    if (f.active != kNone) active_[f.active] = 0;
    if (f.owns_state) {
        if (f.is_inline && !frames_.empty()) {
            State leaked = states_[f.state];
            states_.pop_back();
            mutable_state() = std::move(leaked);
        } else {
            states_.pop_back();
        }
    }
}

bool Builder::is_state_type(ObjectType t) const {
    switch (t) {
        case ObjectType::Translate:
        case ObjectType::Scale:
        case ObjectType::Matrix:
        case ObjectType::Rotate:
        case ObjectType::RotateAboutPoint:
        case ObjectType::RotateAboutAxis:
        case ObjectType::Quaternion:
        case ObjectType::AttributeSet:
        case ObjectType::DiffuseColor:
        case ObjectType::SpecularColor:
        case ObjectType::SpecularControl:
        case ObjectType::TransparencyColor:
        case ObjectType::AmbientCoefficient:
        case ObjectType::BackfacingStyle:
        case ObjectType::InterpolationStyle:
        case ObjectType::FillStyle:
        case ObjectType::SubdivisionStyle:
        case ObjectType::OrientationStyle:
        case ObjectType::TextureShader:
        case ObjectType::LambertIllumination:
        case ObjectType::PhongIllumination:
        case ObjectType::NULLIllumination:
        case ObjectType::ForwardDirection:
            return true;
        default:
            return false;
    }
}

namespace {

// Mixes `v` into `h` (the 64-bit golden-ratio mix): enough to spread the states of a file's
// References over the buckets of a hash map.
void mix(std::uint64_t &h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
}
void mix(std::uint64_t &h, float f) {
    mix(h, std::uint64_t{f == 0 ? 0u : std::bit_cast<std::uint32_t>(f)});  // -0 == 0
}
template <class T>
void mix(std::uint64_t &h, const std::optional<T> &v) {
    mix(h, std::uint64_t{v.has_value()});
    if (!v) return;
    if constexpr (std::is_same_v<T, float>) {
        mix(h, *v);
    } else if constexpr (std::is_same_v<T, Color>) {
        mix(h, v->r), mix(h, v->g), mix(h, v->b);
    } else if constexpr (std::is_same_v<T, Vec3>) {
        mix(h, v->x), mix(h, v->y), mix(h, v->z);
    } else {
        mix(h, (*v)[0]), mix(h, (*v)[1]);
    }
}

// A hash of what decides whether a shared object drawn again is its first drawing again.
std::uint32_t state_hash(const State &s) {
    const Attributes &a = s.attributes;
    std::uint64_t h = 0;
    mix(h, a.diffuse), mix(h, a.specular), mix(h, a.transparency);
    mix(h, a.specular_control), mix(h, a.ambient), mix(h, a.normal);
    mix(h, a.surface_uv), mix(h, a.shading_uv);
    mix(h, std::uint64_t{a.shader}), mix(h, std::uint64_t{s.texture});
    const Styles &st = s.styles;
    mix(h, std::uint64_t{static_cast<std::uint8_t>(st.backfacing)} |
               std::uint64_t{static_cast<std::uint8_t>(st.interpolation)} << 8 |
               std::uint64_t{static_cast<std::uint8_t>(st.fill)} << 16 |
               std::uint64_t{st.clockwise} << 24 |
               std::uint64_t{static_cast<std::uint8_t>(st.illumination)} << 32 |
               std::uint64_t{static_cast<std::uint8_t>(st.subdivision.method)} << 40);
    mix(h, st.subdivision.u), mix(h, st.subdivision.v);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

GroupInfo group_info(ObjectTree &tree, std::uint32_t group) {
    GroupInfo info;
    const ObjectTree::Node &g = tree.node(group);
    std::uint32_t c = g.first_child;
    for (std::uint32_t i = 0; i < g.head_count && c != ObjectTree::kNone;
         ++i, c = tree.node(c).next_sibling) {
        const ObjectType t = tree.node(c).type;
        if (tree::is_group_kind(t)) info.kind = t;
        if (t == ObjectType::DisplayGroupState) {
            FieldReader in(tree, c);
            info.flags = in.next_bits({{"None", 0},
                                       {"IsInline", 1},
                                       {"DoNotDraw", 2},
                                       {"NoBoundingBox", 4},
                                       {"NoBoundingSphere", 8},
                                       {"DoNotPick", 16}})
                             .value_or(0);
        }
    }
    return info;
}

std::uint32_t first_member(const ObjectTree &tree, std::uint32_t group) {
    const ObjectTree::Node &g = tree.node(group);
    std::uint32_t c = g.first_child;
    for (std::uint32_t i = 0; i < g.head_count && c != ObjectTree::kNone; ++i)
        c = tree.node(c).next_sibling;
    return c;
}

// A group's name sits in its head (a NameElement container) or on its label.
std::string group_name(Builder &b, std::uint32_t group) {
    const ObjectTree &tree = b.tree();
    const ObjectTree::Node &g = tree.node(group);
    std::uint32_t c = g.first_child;
    for (std::uint32_t i = 0; i < g.head_count && c != ObjectTree::kNone;
         ++i, c = tree.node(c).next_sibling) {
        if (!b.is_name_element(c)) continue;
        for (std::uint32_t s = tree.node(c).first_child; s != ObjectTree::kNone;
             s = tree.node(s).next_sibling)
            if (tree.node(s).type == ObjectType::CString && tree.node(s).value_count > 0)
                return tree::shortened(tree.string(tree.node(s).first_value), kMaxNameBytes);
    }
    return tree::shortened(tree.label_of(group), kMaxNameBytes);
}

}  // namespace

void Builder::open_group(std::uint32_t node, std::uint32_t depth, std::uint32_t wrapper) {
    if (!charge(1, node)) return;
    if (active_[node]) {
        fail(node, "Group refers back into itself");
        return;
    }
    const GroupInfo info = group_info(tree_, node);
    outline(node, depth, true);
    if (outline_item_ != kNone) {
        // The tree shows a group by its kind and how many objects it holds.
        OutlineItem &item = (*outline_)[outline_item_];
        item.type = std::string(tree::type_name(info.kind));
        std::uint32_t members = 0;
        for (std::uint32_t c = first_member(tree_, node); c != kNone;
             c = tree_.node(c).next_sibling)
            ++members;
        item.size = count_text(members, "object", "objects");
        if (info.flags & kDoNotDraw) item.size += ", not drawn";
    }
    if (info.flags & kDoNotDraw) return;

    std::string name = group_name(*this, node);
    Frame f;
    f.group = node;
    f.next = first_member(tree_, node);
    f.first_member = f.next;
    f.state = frames_.back().state;
    f.depth = depth + 1;
    f.active = node;
    f.is_inline = (info.flags & kIsInline) != 0;
    f.ordered = info.kind == ObjectType::OrderedDisplayGroup;
    f.proxy = info.kind == ObjectType::IOProxyDisplayGroup;
    f.info = info.kind == ObjectType::InfoGroup;
    active_[node] = 1;

    std::uint32_t parent = wrapper;
    if (parent == kNone && !name.empty() && !f.info) {
        const Target t = place();
        Node group;
        group.name = std::move(name);
        parent = add_node(t.parent, std::move(group));
    }
    frames_.push_back(f);
    if (parent != kNone) mutable_state().placement.parent = parent;
}

void Builder::open_reference(std::uint32_t reference, std::uint32_t depth) {
    const std::uint32_t target = resolve_reference(reference);
    if (target == kNone) return;
    if (active_[target]) {
        FieldReader in(tree_, reference);
        fail(reference,
             "Reference " + std::to_string(in.next_uint().value_or(0)) + " leads back into itself");
        return;
    }
    const ObjectType type = tree_.node(target).type;
    const bool group = type == ObjectType::BeginGroup;
    if (!group && !tree::is_geometry(type)) {
        visit(target, depth);
        return;
    }
    if (group && (group_info(tree_, target).flags & (kIsInline | kDoNotDraw))) {
        open_group(target, depth, kNone);
        return;
    }

    // The same object drawn with the same inherited state is exactly the first drawing again.
    const State &s = state();
    const bool reusable = !s.placement.baking && !mirrored_;
    const std::uint64_t use_key = (std::uint64_t{state_hash(s)} << 32) | target;
    if (reusable) {
        for (const UseRecord &r : uses_[use_key]) {
            if (r.attributes == s.attributes && r.texture == s.texture && r.styles == s.styles) {
                outline(target, depth, group);
                set_outline_size("repeated");
                const Target t = place();
                Node use;
                use.kind = Node::Kind::use;
                use.used = r.node;
                add_node(t.parent, std::move(use));
                return;
            }
        }
    }
    const Target t = place();
    Node wrapper;
    // A group's name goes on its wrapper; a geometry's stays on its Shape.
    if (group) wrapper.name = group_name(*this, target);
    const std::uint32_t wrapper_node = add_node(t.parent, std::move(wrapper));
    if (reusable) {
        const State &now = state();
        uses_[use_key].push_back({now.attributes, now.texture, now.styles, wrapper_node});
    }
    if (group) {
        open_group(target, depth, wrapper_node);
        return;
    }
    const std::uint32_t saved = state().placement.parent;
    mutable_state().placement.parent = wrapper_node;
    active_[target] = 1;
    visit(target, depth);
    active_[target] = 0;
    mutable_state().placement.parent = saved;
}

void Builder::visit(std::uint32_t node, std::uint32_t depth) {
    const ObjectTree::Node &n = tree_.node(node);
    if (!charge(1 + n.value_count, node)) return;
    const ObjectType type = n.type;
    switch (type) {
        case ObjectType::BeginGroup:
            open_group(node, depth, kNone);
            return;
        case ObjectType::Reference:
            open_reference(node, depth);
            return;
        case ObjectType::Metafile:
        case ObjectType::TableOfContents:
        case ObjectType::Type:
        case ObjectType::EndGroup:
        case ObjectType::DisplayGroupState:
        case ObjectType::Group:
        case ObjectType::DisplayGroup:
        case ObjectType::OrderedDisplayGroup:
        case ObjectType::LightGroup:
        case ObjectType::InfoGroup:
        case ObjectType::IOProxyDisplayGroup:
        case ObjectType::PickIDStyle:
        case ObjectType::PickPartsStyle:
        case ObjectType::ReceiveShadowsStyle:
        case ObjectType::CastShadowsStyle:
        case ObjectType::HighlightState:
        case ObjectType::ImageDimensions:
            return;  // bookkeeping and renderer hints that change nothing visible
        case ObjectType::CString:
            if (frames_.back().info && n.value_count > 0 &&
                tree_.kind(n.first_value) == tree::ValueKind::String)
                scene_.info.emplace_back(tree_.string(n.first_value));
            return;
        case ObjectType::Unicode:
            if (frames_.back().info) {
                FieldReader in(tree_, node);
                const std::optional<std::uint32_t> length = in.next_uint();
                if (length && !in.at_end() && tree_.kind(in.index()) == tree::ValueKind::Raw) {
                    scene_.info.push_back(utf8_from_utf16be(tree_.raw(in.index()), *length));
                    return;
                }
                warn(node, "Unicode string with bad values: ignored");
            }
            return;
        case ObjectType::AmbientLight:
        case ObjectType::DirectionalLight:
        case ObjectType::PointLight:
        case ObjectType::SpotLight:
            outline(node, depth, false);
            read_light(node);
            return;
        case ObjectType::ViewAngleAspectCamera:
        case ObjectType::ViewPlaneCamera:
        case ObjectType::OrthographicCamera:
        case ObjectType::CameraPlacement:
            outline(node, depth, false);
            read_camera(node);
            return;
        case ObjectType::ViewHints:
            outline(node, depth, false);
            read_view_hints(node, depth);
            return;
        case ObjectType::ImageClearColor: {
            FieldReader in(tree_, node);
            if (const std::optional<Color> c = in.next_color())
                scene_.background = *c;
            else
                warn(node, "ImageClearColor without a colour");
            return;
        }
        case ObjectType::Unknown:
            if (is_name_element(node)) return;
            skip(node);
            return;
        default:
            break;
    }
    if (is_state_type(type)) {
        outline(node, depth, false);
        visit_state_object(node);
        return;
    }
    if (tree::is_geometry(type)) {
        outline(node, depth, false);
        build_geometry(node);
        return;
    }
    skip(node);
}

bool Builder::visit_state_object(std::uint32_t node) {
    const ObjectType type = tree_.node(node).type;
    FieldReader in(tree_, node);
    switch (type) {
        case ObjectType::Translate:
        case ObjectType::Scale:
        case ObjectType::Matrix:
        case ObjectType::Rotate:
        case ObjectType::RotateAboutPoint:
        case ObjectType::RotateAboutAxis:
        case ObjectType::Quaternion:
            if (const std::optional<geometry::Matrix4> m = read_transform(node)) add_transform(*m);
            return true;
        case ObjectType::AttributeSet:
            mutable_state().attributes.merge(read_attribute_set(node));
            return true;
        case ObjectType::DiffuseColor:
        case ObjectType::SpecularColor:
        case ObjectType::SpecularControl:
        case ObjectType::TransparencyColor:
        case ObjectType::AmbientCoefficient: {
            Attributes a;
            if (read_attribute(node, a)) mutable_state().attributes.merge(a);
            return true;
        }
        case ObjectType::BackfacingStyle: {
            const auto e = in.next_enum({"Both", "Culled", "Flipped"});
            if (!e || *e > 2) return warn(node, "BackfacingStyle with an unknown value"), true;
            mutable_state().styles.backfacing = static_cast<Backfacing>(*e);
            return true;
        }
        case ObjectType::InterpolationStyle: {
            const auto e = in.next_enum({"None", "Vertex", "Pixel"});
            if (!e || *e > 2) return warn(node, "InterpolationStyle with an unknown value"), true;
            mutable_state().styles.interpolation = static_cast<Interpolation>(*e);
            return true;
        }
        case ObjectType::FillStyle: {
            const auto e = in.next_enum({"Filled", "Edges", "Points"});
            if (!e || *e > 2) return warn(node, "FillStyle with an unknown value"), true;
            mutable_state().styles.fill = static_cast<Fill>(*e);
            return true;
        }
        case ObjectType::OrientationStyle: {
            const auto e = in.next_enum({"CounterClockwise", "Clockwise"});
            if (!e || *e > 1) return warn(node, "OrientationStyle with an unknown value"), true;
            mutable_state().styles.clockwise = *e == 1;
            return true;
        }
        case ObjectType::SubdivisionStyle: {
            const auto method = in.next_enum({"Constant", "WorldSpace", "ScreenSpace"});
            geometry::Subdivision s;
            if (method && *method == 0) {
                const auto u = in.next_float(), v = in.next_float();
                if (!u || !v || *u < 1 || *v < 1)
                    return warn(node, "SubdivisionStyle Constant needs two counts of at least 1"),
                           true;
                s.u = std::min(*u, 1024.0f);
                s.v = std::min(*v, 1024.0f);
            } else if (method && (*method == 1 || *method == 2)) {
                const auto length = in.next_float();
                if (*method == 1) {
                    if (!length || *length <= 0)
                        return warn(node, "SubdivisionStyle WorldSpace needs a positive length"),
                               true;
                    s.method = geometry::Subdivision::Method::world_space;
                    s.u = *length;
                } else {
                    s.method = geometry::Subdivision::Method::screen_space;
                    warn(node, "SubdivisionStyle ScreenSpace: default segment counts used");
                }
            } else {
                return warn(node, "SubdivisionStyle with an unknown method"), true;
            }
            mutable_state().styles.subdivision = s;
            return true;
        }
        case ObjectType::LambertIllumination:
            mutable_state().styles.illumination = Illumination::lambert;
            return true;
        case ObjectType::PhongIllumination:
            mutable_state().styles.illumination = Illumination::phong;
            return true;
        case ObjectType::NULLIllumination:
            mutable_state().styles.illumination = Illumination::none;
            return true;
        case ObjectType::TextureShader:
            mutable_state().texture = texture_use(node);
            return true;
        case ObjectType::ForwardDirection: {
            // As the default mode reads it: integers, and only a third value of -1 mirrors.
            in.skip(2);
            const std::optional<std::int64_t> z = in.next_int();
            if (!z) return warn(node, "ForwardDirection needs three integers"), true;
            mirrored_ = *z == -1;
            return true;
        }
        default:
            return false;
    }
}

BuildResult build_scene(tree::ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
                        const Limits &limits, Outline *outline) {
    // The readers' diagnostics, for a build that has to start again.
    const tree::Diagnostics before = diagnostics;
    BuildResult result = Builder(tree, scene, diagnostics, limits, 1, outline).run();
    if (!result.over_output) return result;

    // The surfaces get what the rest of the world leaves of its limit, at most the budget.
    const Limits full = complete(tree, limits);
    const std::uint64_t limit = scene_output_limit(full.input_bytes, full.max_output);
    const std::uint64_t budget = std::max<std::uint64_t>(
        1,
        std::min(full.max_output, limit > result.output_other ? limit - result.output_other : 0));
    const std::uint64_t asked = result.output_asked;
    const std::uint64_t at = result.output_position;
    double detail = 1;
    std::uint64_t made = asked;
    for (int pass = 0; pass < kMaxCoarsenings && made > budget; ++pass) {
        // A little under the share that would fit: grids round down but keep their minimums.
        detail *= 0.97 * static_cast<double>(budget) / static_cast<double>(made);
        scene = Scene{};
        if (outline) outline->clear();
        diagnostics = before;
        result = Builder(tree, scene, diagnostics, limits, detail, outline).run();
        made = result.output_made;
    }
    const double percent = 100 * static_cast<double>(made) / static_cast<double>(asked);
    diagnostics.warn(at, "the surfaces ask for " + mebibytes(asked) + " of output where " +
                             mebibytes(budget) +
                             " is allowed: all of them are subdivided more "
                             "coarsely, to about " +
                             std::to_string(static_cast<int>(percent + 0.5)) +
                             "% (--max-output raises the limit)");
    return result;
}

}  // namespace tarvex::builder
