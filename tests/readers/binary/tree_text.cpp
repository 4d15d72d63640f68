#include "tree_text.h"

#include <cstdio>

namespace tarvex::binary::testing {

using tree::ObjectTree;
using tree::ValueKind;

namespace {

// Whether `n` is the first member after the head of a BeginGroup.
bool endsHead(const ObjectTree &tree, std::uint32_t n) {
    const ObjectTree::Node &group = tree.node(tree.node(n).parent);
    if (group.type != tree::ObjectType::BeginGroup) return false;
    std::uint32_t index = 0;
    for (std::uint32_t c = group.first_child; c != n; c = tree.node(c).next_sibling) ++index;
    return index == group.head_count;
}

}  // namespace

std::string shape(const ObjectTree &tree, std::uint32_t top) {
    // Walked through the links, not recursively: trees may be a million levels deep.
    std::string text(top == 0 ? "" : tree.name_of(top));
    for (std::uint32_t n = top;;) {
        if (tree.node(n).first_child != ObjectTree::kNone) {
            if (n != 0) text += '(';
            n = tree.node(n).first_child;
        } else {
            while (n != top && tree.node(n).next_sibling == ObjectTree::kNone) {
                n = tree.node(n).parent;
                if (n != 0) text += ')';
            }
            if (n == top) return text;
            n = tree.node(n).next_sibling;
            text += endsHead(tree, n) ? " | " : " ";
        }
        text += tree.name_of(n);
    }
}

std::string values(const ObjectTree &tree, std::uint32_t node) {
    const ObjectTree::Node &n = tree.node(node);
    std::string text;
    for (std::uint32_t v = n.first_value; v < n.first_value + n.value_count; ++v) {
        if (!text.empty()) text += ' ';
        char buffer[64];
        switch (tree.kind(v)) {
            case ValueKind::Float:
                std::snprintf(buffer, sizeof buffer, "%g", double(*tree.as_float(v)));
                text += buffer;
                break;
            case ValueKind::Int:
            case ValueKind::Uns:
                text += std::to_string(*tree.as_integer(v));
                break;
            case ValueKind::Word:
                text += tree.word(v);
                break;
            case ValueKind::String:
                text += '"';
                text += tree.string(v);
                text += '"';
                break;
            case ValueKind::Raw:
                text += "raw:" + std::to_string(tree.raw(v).size());
                break;
            case ValueKind::Ref: {
                const std::uint32_t target = tree.ref_target(v);
                text += target == ObjectTree::kNone ? std::string("->none")
                                                    : "->" + std::string(tree.name_of(target));
                break;
            }
        }
    }
    return text;
}

std::uint32_t find_first(const ObjectTree &tree, tree::ObjectType type, std::uint32_t skip) {
    for (std::uint32_t n = 0;;) {
        if (tree.node(n).first_child != ObjectTree::kNone) {
            n = tree.node(n).first_child;
        } else {
            while (n != 0 && tree.node(n).next_sibling == ObjectTree::kNone)
                n = tree.node(n).parent;
            if (n == 0) return ObjectTree::kNone;
            n = tree.node(n).next_sibling;
        }
        if (tree.node(n).type == type && skip-- == 0) return n;
    }
}

}  // namespace tarvex::binary::testing
