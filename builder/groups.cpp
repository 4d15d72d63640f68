// Groups and References: the frame a group opens, and a Reference re-entering its target with
// a cycle check, shared with other uses of the same target in the same state.

#include "builder/builder.h"
#include "core/bit_cast.h"

namespace tarvex::builder {

using tree::ObjectTree;
using tree::ObjectType;

namespace {

struct GroupInfo {
    ObjectType kind = ObjectType::DisplayGroup;
    std::uint32_t flags = 0;
};
constexpr std::uint32_t kIsInline = 1, kDoNotDraw = 2;

}  // namespace

namespace {

// Mixes `v` into `h` (the 64-bit golden-ratio mix): enough to spread the states of a file's
// References over the buckets of a hash map.
void mix(std::uint64_t &h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
}
void mix(std::uint64_t &h, float f) {
    mix(h, std::uint64_t{f == 0 ? 0u : bit_cast<std::uint32_t>(f)});  // -0 == 0
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
        group.name = scene_.name(name);
        parent = add_node(t.parent, std::move(group));
    }
    frames_.push_back(f);
    if (parent != kNone) mutable_state().placement.parent = parent;
}

void Builder::open_repeated_group(std::uint32_t group, std::uint32_t depth, std::uint32_t wrapper) {
    const std::size_t open = frames_.size();
    open_group(group, depth, wrapper);
    if (frames_.size() > open) {
        frames_.back().reference = true;
        ++repeating_;
    }
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
        open_repeated_group(target, depth, kNone);
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
                ++repeating_;
                add_node(t.parent, std::move(use));
                --repeating_;
                return;
            }
        }
    }
    const Target t = place();
    Node wrapper;
    // A group's name goes on its wrapper; a geometry's stays on its Shape.
    if (group) wrapper.name = scene_.name(group_name(*this, target));
    ++repeating_;
    const std::uint32_t wrapper_node = add_node(t.parent, std::move(wrapper));
    --repeating_;
    if (reusable) {
        const State &now = state();
        uses_[use_key].push_back({now.attributes, now.texture, now.styles, wrapper_node});
    }
    if (group) {
        open_repeated_group(target, depth, wrapper_node);
        return;
    }
    const std::uint32_t saved = state().placement.parent;
    mutable_state().placement.parent = wrapper_node;
    active_[target] = 1;
    ++repeating_;
    visit(target, depth);
    --repeating_;
    active_[target] = 0;
    mutable_state().placement.parent = saved;
}

}  // namespace tarvex::builder
