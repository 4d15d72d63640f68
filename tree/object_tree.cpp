#include "tree/object_tree.h"

#include <bit>
#include <cmath>
#include <limits>

namespace tarvex::tree {

ObjectTree::ObjectTree() {
    nodes_.push_back(Node{});  // the root
}

std::uint32_t ObjectTree::addText(std::string_view text) {
    const auto offset = static_cast<std::uint32_t>(chars_.size());
    chars_.insert(chars_.end(), text.begin(), text.end());
    texts_.push_back(Span{offset, static_cast<std::uint32_t>(text.size())});
    return static_cast<std::uint32_t>(texts_.size() - 1);
}

std::string_view ObjectTree::text(std::uint32_t index) const {
    if (index == kNone || index >= texts_.size()) return {};
    const Span span = texts_[index];
    return std::string_view(chars_.data() + span.offset, span.length);
}

std::string_view ObjectTree::name_of(std::uint32_t node) const {
    const Node &n = nodes_[node];
    if (n.type_name != kNone) return text(n.type_name);
    return type_name(n.type);
}

std::string_view ObjectTree::label_of(std::uint32_t node) const {
    return text(nodes_[node].label);
}

std::optional<float> ObjectTree::as_float(std::uint32_t value) const {
    const Payload payload = payloads_[value];
    switch (kinds_[value]) {
        case ValueKind::Float:
            return payload.real;
        case ValueKind::Int:
            return static_cast<float>(static_cast<std::int32_t>(payload.bits));
        case ValueKind::Uns:
            return static_cast<float>(payload.bits);
        default:
            return std::nullopt;
    }
}

std::optional<std::int64_t> ObjectTree::as_integer(std::uint32_t value) const {
    const Payload payload = payloads_[value];
    switch (kinds_[value]) {
        case ValueKind::Int:
            return static_cast<std::int32_t>(payload.bits);
        case ValueKind::Uns:
            return payload.bits;
        case ValueKind::Float: {
            const float f = payload.real;
            // Only values every int64 can hold exactly, and only whole ones.
            if (!(std::fabs(f) < 9.0e18f) || std::trunc(f) != f) return std::nullopt;
            return static_cast<std::int64_t>(f);
        }
        default:
            return std::nullopt;
    }
}

std::string_view ObjectTree::word(std::uint32_t value) const {
    return kinds_[value] == ValueKind::Word ? text(payloads_[value].bits) : std::string_view{};
}

std::string_view ObjectTree::string(std::uint32_t value) const {
    return kinds_[value] == ValueKind::String ? text(payloads_[value].bits) : std::string_view{};
}

std::span<const std::uint8_t> ObjectTree::raw(std::uint32_t value) const {
    if (kinds_[value] != ValueKind::Raw) return {};
    const Span span = raws_[payloads_[value].bits];
    return std::span<const std::uint8_t>(bytes_.data() + span.offset, span.length);
}

std::uint32_t ObjectTree::ref_target(std::uint32_t value) const {
    return kinds_[value] == ValueKind::Ref ? refs_[payloads_[value].bits].target : kNone;
}

std::string_view ObjectTree::ref_name(std::uint32_t value) const {
    return kinds_[value] == ValueKind::Ref ? text(refs_[payloads_[value].bits].name)
                                           : std::string_view{};
}

std::span<const float> ObjectTree::floats(std::uint32_t first, std::uint32_t count) {
    if (std::uint64_t(first) + count > kinds_.size()) return {};
    for (std::uint32_t i = first; i < first + count; ++i) {
        if (kinds_[i] == ValueKind::Float) continue;
        const std::optional<float> f = as_float(i);
        if (!f) return {};
        payloads_[i].real = *f;
        kinds_[i] = ValueKind::Float;
    }
    if (count == 0) return {};
    return std::span<const float>(&payloads_[first].real, count);
}

std::span<const std::uint32_t> ObjectTree::unsigned_ints(std::uint32_t first, std::uint32_t count) {
    if (std::uint64_t(first) + count > kinds_.size()) return {};
    for (std::uint32_t i = first; i < first + count; ++i) {
        if (kinds_[i] == ValueKind::Uns) continue;
        const std::optional<std::int64_t> n = as_integer(i);
        if (!n || *n < 0 || *n > std::numeric_limits<std::uint32_t>::max()) return {};
        payloads_[i].bits = static_cast<std::uint32_t>(*n);
        kinds_[i] = ValueKind::Uns;
    }
    if (count == 0) return {};
    return std::span<const std::uint32_t>(&payloads_[first].bits, count);
}

std::uint32_t ObjectTree::reference_target(std::uint32_t ref_id) const {
    const auto found = references_.find(ref_id);
    return found == references_.end() ? kNone : found->second;
}

std::uint32_t ObjectTree::labelled(std::string_view label) const {
    const auto found = labels_.find(label);
    return found == labels_.end() ? kNone : found->second;
}

std::uint32_t ObjectTree::add_node(ObjectType type, std::string_view name, std::uint32_t parent,
                                   std::uint64_t position) {
    const std::uint32_t text =
        type == ObjectType::Unknown || name != type_name(type) ? addText(name) : kNone;
    const std::uint32_t index = add_named_node(text, parent, position);
    nodes_[index].type = type;
    return index;
}

std::uint32_t ObjectTree::add_named_node(std::uint32_t name, std::uint32_t parent,
                                         std::uint64_t position) {
    const auto index = static_cast<std::uint32_t>(nodes_.size());
    Node node;
    node.type = ObjectType::Unknown;
    node.type_name = name;
    node.first_value = static_cast<std::uint32_t>(kinds_.size());
    node.parent = parent;
    node.position = position;
    nodes_.push_back(node);
    Node &p = nodes_[parent];
    if (p.last_child == kNone) {
        p.first_child = index;
    } else {
        nodes_[p.last_child].next_sibling = index;
    }
    p.last_child = index;
    return index;
}

void ObjectTree::set_label(std::uint32_t node, std::string_view label) {
    nodes_[node].label = addText(label);
}

void ObjectTree::reparent_last(std::uint32_t parent) {
    const auto index = static_cast<std::uint32_t>(nodes_.size() - 1);
    Node &last = nodes_[index];
    if (last.parent == parent || index == 0) return;
    // Unlink from the old parent, where it is necessarily the last child.
    Node &old = nodes_[last.parent];
    if (old.first_child == index) {
        old.first_child = old.last_child = kNone;
    } else {
        std::uint32_t before = old.first_child;
        while (nodes_[before].next_sibling != index) before = nodes_[before].next_sibling;
        nodes_[before].next_sibling = kNone;
        old.last_child = before;
    }
    last.parent = parent;
    last.next_sibling = kNone;
    Node &p = nodes_[parent];
    if (p.last_child == kNone) {
        p.first_child = index;
    } else {
        nodes_[p.last_child].next_sibling = index;
    }
    p.last_child = index;
}

void ObjectTree::add_word(std::string_view w) {
    appendValue(ValueKind::Word, addText(w));
}
void ObjectTree::add_string(std::string_view s) {
    appendValue(ValueKind::String, addText(s));
}

void ObjectTree::begin_raw() {
    raws_.push_back(Span{static_cast<std::uint32_t>(bytes_.size()), 0});
    appendValue(ValueKind::Raw, static_cast<std::uint32_t>(raws_.size() - 1));
}

void ObjectTree::append_raw(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    raws_.back().length += static_cast<std::uint32_t>(bytes.size());
}

void ObjectTree::add_ref_by_name(std::string_view label) {
    refs_.push_back(RefEntry{kNone, addText(label)});
    appendValue(ValueKind::Ref, static_cast<std::uint32_t>(refs_.size() - 1));
}

void ObjectTree::add_ref_to_node(std::uint32_t node) {
    refs_.push_back(RefEntry{node, kNone});
    appendValue(ValueKind::Ref, static_cast<std::uint32_t>(refs_.size() - 1));
}

void ObjectTree::truncate_values(std::uint32_t first) {
    Node &last = nodes_.back();
    if (first < last.first_value || first >= kinds_.size()) return;
    last.value_count = first - last.first_value;
    payloads_.resize(first);
    kinds_.resize(first);
}

void ObjectTree::reserve_values(std::size_t values) {
    payloads_.reserve(payloads_.size() + values);
    kinds_.reserve(kinds_.size() + values);
}

void ObjectTree::resolve() {
    labels_.clear();
    references_.clear();
    for (std::uint32_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].label != kNone) labels_.emplace(text(nodes_[i].label), i);
    // A binary file pointer may name an object past one whose decoding failed: the walk that
    // numbered the objects went further than the tree. Such a reference names nothing.
    const auto nodeCount = static_cast<std::uint32_t>(nodes_.size());
    for (RefEntry &ref : refs_) {
        if (ref.target != kNone && ref.target >= nodeCount) ref.target = kNone;
        if (ref.target != kNone || ref.name == kNone) continue;
        ref.target = labelled(text(ref.name));
    }
    // TableOfContents: nextTOC, refSeed, typeSeed, entryType, entrySize, nEntries, then per
    // entry a refID, a reference and (entry type 1) the object's type. Entries are read by
    // their shape rather than by nEntries, which writers get wrong.
    for (const Node &n : nodes_) {
        if (n.type != ObjectType::TableOfContents || n.value_count < 6) continue;
        std::uint32_t v = n.first_value + 6;
        const std::uint32_t end = n.first_value + n.value_count;
        while (v + 1 < end) {
            const std::optional<std::int64_t> id = as_integer(v);
            if (!id || kinds_[v + 1] != ValueKind::Ref) {
                ++v;
                continue;
            }
            const std::uint32_t target = ref_target(v + 1);
            if (target != kNone && *id >= 0 && *id <= UINT32_MAX)
                references_.emplace(static_cast<std::uint32_t>(*id), target);
            v += 2;
            if (v < end && !is_number(v) && kinds_[v] != ValueKind::Ref) ++v;  // the type
        }
    }
}

}  // namespace tarvex::tree
