// The objects of one 3DMF file as read, whichever encoding they came in: the text parser and the
// binary reader both fill an ObjectTree, and the scene builder reads it.
//
// Shape of the tree. Containers are folded away: `Container ( Root … children … )` becomes the
// node of Root whose children are the rest, and a label on the container labels that node. A
// group `BeginGroup ( Kind ( ) state… ) members… EndGroup ( )` becomes one BeginGroup node: its
// first `head_count` children are the objects written inside the BeginGroup's parentheses (the
// group kind object first, then DisplayGroupState, names…), the members follow as further
// children. EndGroup objects do not appear. Top-level objects are children of node 0, the root
// (type Unknown, no data); the file header is the root's first child when the file has one.
//
// Values. An object's data is a run of values, each with a kind: numbers keep what the file said
// (a text integer, a text real, a binary Uns32, Int32 or Float32) and are converted when the
// builder knows what the field is. Enum words, strings, raw bytes and references to other
// objects are values too. Everything lives in a few flat arrays: no allocation per value.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tree/object_type.h"

namespace tarvex::tree {

enum class ValueKind : std::uint8_t {
    Float,   // a real: text with a point or an exponent, or a binary Float32
    Int,     // a negative integer (Int32)
    Uns,     // a non-negative integer (Uns32)
    Word,    // an enum word or bitfield word as written ("Include", "True"); binary readers
             // give enums as Uns instead
    String,  // a quoted text string or a binary String / CString
    Raw,     // raw bytes: text 0x… tokens (consecutive ones joined), binary RawData
    Ref,     // a reference to another object: text `name>`, binary FilePointer
};

class ObjectTree {
  public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    struct Node {
        ObjectType type = ObjectType::Unknown;
        std::uint32_t type_name = kNone;  // text index (text()) of the name as written / code
        std::uint32_t label = kNone;      // text index of the label, kNone when unlabelled
        std::uint32_t first_value = 0;
        std::uint32_t value_count = 0;
        std::uint32_t parent = kNone;
        std::uint32_t first_child = kNone;
        std::uint32_t last_child = kNone;
        std::uint32_t next_sibling = kNone;
        std::uint32_t head_count = 0;  // BeginGroup: children written inside its parentheses
        std::uint64_t position = 0;    // text: line number (1-based); binary: byte offset
    };

    ObjectTree();

    // ---- reading -------------------------------------------------------------------------
    std::uint32_t root() const { return 0; }
    std::size_t node_count() const { return nodes_.size(); }
    const Node &node(std::uint32_t index) const { return nodes_[index]; }
    // The type name as written in the file (for Unknown types and messages).
    std::string_view name_of(std::uint32_t node) const;
    std::string_view label_of(std::uint32_t node) const;  // "" when unlabelled

    // Values of a node are `first_value … first_value + value_count - 1`.
    ValueKind kind(std::uint32_t value) const { return kinds_[value]; }
    std::size_t value_count() const { return kinds_.size(); }
    bool is_number(std::uint32_t value) const {
        const ValueKind k = kinds_[value];
        return k == ValueKind::Float || k == ValueKind::Int || k == ValueKind::Uns;
    }
    // The number as a float (integers rounded to nearest, as reading their text would); nullopt
    // when the value is not a number.
    std::optional<float> as_float(std::uint32_t value) const;
    // The number as an integer: Int and Uns as they are, a Float only when it is integral and in
    // range. nullopt otherwise.
    std::optional<std::int64_t> as_integer(std::uint32_t value) const;
    std::string_view word(std::uint32_t value) const;    // Word values
    std::string_view string(std::uint32_t value) const;  // String values (escapes resolved)
    std::span<const std::uint8_t> raw(std::uint32_t value) const;  // Raw values
    // Ref values: the node referred to, kNone when the name or offset matches no object.
    std::uint32_t ref_target(std::uint32_t value) const;
    std::string_view ref_name(std::uint32_t value) const;  // text label name ("" for binary)

    // `count` numeric values from `first` as contiguous floats, converting integers in place
    // (hence not const). Empty span when any of them is not a number. The span stays valid until
    // the tree is changed again.
    std::span<const float> floats(std::uint32_t first, std::uint32_t count);
    // The same for non-negative integers that fit 32 bits (integral Floats are converted too).
    std::span<const std::uint32_t> unsigned_ints(std::uint32_t first, std::uint32_t count);

    // Object sharing: the node a TableOfContents entry gives for `ref_id` (after resolve()),
    // kNone when none. And the node a label names.
    std::uint32_t reference_target(std::uint32_t ref_id) const;
    std::uint32_t labelled(std::string_view label) const;

    // ---- filling (text parser, binary reader) ---------------------------------------------
    // Appends a node as the last child of `parent`; its values are the ones added until the
    // next add_node call. Returns its index.
    std::uint32_t add_node(ObjectType type, std::string_view type_name, std::uint32_t parent,
                           std::uint64_t position);
    // A type name kept once for every node of that type (a binary file's custom types, however
    // many objects use them), and add_node for an Unknown node named by it.
    std::uint32_t add_type_name(std::string_view name) { return addText(name); }
    std::uint32_t add_named_node(std::uint32_t type_name, std::uint32_t parent,
                                 std::uint64_t position);
    void set_label(std::uint32_t node, std::string_view label);
    void set_head_count(std::uint32_t node, std::uint32_t count) {
        nodes_[node].head_count = count;
    }
    // Moves the last node added (a leaf, still without values of its own after it) and the
    // values added since to become a child of `parent` instead.
    void reparent_last(std::uint32_t parent);

    // Values for the last node added. (Numbers are defined here, inline: a reader adds millions.)
    void add_float(float v) {
        Payload payload;
        payload.real = v;
        appendValue(ValueKind::Float, payload);
    }
    void add_int(std::int32_t v) {  // negative integers (others become Uns)
        appendValue(v < 0 ? ValueKind::Int : ValueKind::Uns, static_cast<std::uint32_t>(v));
    }
    void add_uns(std::uint32_t v) { appendValue(ValueKind::Uns, v); }  // non-negative integers
    void add_word(std::string_view w);
    void add_string(std::string_view s);
    // Raw bytes: begin_raw() starts a value, append_raw() may be called repeatedly (text 0x
    // tokens are joined into one value).
    void begin_raw();
    void append_raw(std::span<const std::uint8_t> bytes);
    void add_ref_by_name(std::string_view label);  // text: resolved by resolve()
    void add_ref_to_node(std::uint32_t node);      // binary: already resolved

    // Values of the last node: drops values from index `first` on (a reader that found a
    // malformed tail).
    void truncate_values(std::uint32_t first);

    // Makes room for `values` more values without reallocating (a reader that knows the input
    // size reserves once: untouched pages cost no memory).
    void reserve_values(std::size_t values);

    // After the whole file was read: resolves `name>` references against the labels (first
    // definition wins) and collects every TableOfContents' entries for reference_target().
    // Unresolved names stay kNone; the caller decides whether that matters. Afterwards every
    // reference names a node that exists, or kNone.
    void resolve();

  private:
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };
    struct RefEntry {
        std::uint32_t target;
        std::uint32_t name;  // text index, kNone for binary
    };

    // A value's payload: `real` for Float values, `bits` (a number or an index) for the rest.
    // floats() lends `real` members as floats, so no float is ever read through another type.
    union Payload {
        std::uint32_t bits;
        float real;
    };
    static_assert(sizeof(Payload) == sizeof(float));

    std::uint32_t addText(std::string_view text);
    std::string_view text(std::uint32_t index) const;
    void appendValue(ValueKind kind, std::uint32_t bits) {
        Payload payload;
        payload.bits = bits;
        appendValue(kind, payload);
    }
    void appendValue(ValueKind kind, Payload payload) {
        payloads_.push_back(payload);
        kinds_.push_back(kind);
        ++nodes_.back().value_count;
    }

    std::vector<Node> nodes_;
    std::vector<Payload> payloads_;
    std::vector<ValueKind> kinds_;
    std::vector<char> chars_;          // text of names, labels, words, strings
    std::vector<Span> texts_;          // text index -> span of chars_
    std::vector<std::uint8_t> bytes_;  // raw data
    std::vector<Span> raws_;           // raw index -> span of bytes_
    std::vector<RefEntry> refs_;       // ref index -> target
    std::unordered_map<std::string_view, std::uint32_t> labels_;   // filled by resolve()
    std::unordered_map<std::uint32_t, std::uint32_t> references_;  // ref id -> node
};

}  // namespace tarvex::tree
