#include "tree_text.h"

#include <cstdio>

namespace tarvex::binary::testing {

using tree::ObjectTree;
using tree::ValueKind;

std::string shape(const ObjectTree &tree, std::uint32_t node) {
    std::string text;
    // Explicit stack, so that deep trees do not recurse.
    struct Step {
        std::uint32_t parent;
        std::uint32_t next;
        std::uint32_t index;
        bool closes;
    };
    std::vector<Step> stack;
    auto open = [&](std::uint32_t n, bool parenthesised) {
        const std::uint32_t first = tree.node(n).first_child;
        if (first == ObjectTree::kNone) return;
        if (parenthesised) text += '(';
        stack.push_back(Step{n, first, 0, parenthesised});
    };
    if (node != 0) text += tree.name_of(node);
    open(node, node != 0);
    while (!stack.empty()) {
        Step &step = stack.back();
        if (step.next == ObjectTree::kNone) {
            if (step.closes) text += ')';
            stack.pop_back();
            continue;
        }
        const std::uint32_t child = step.next;
        const ObjectTree::Node &parent = tree.node(step.parent);
        step.next = tree.node(child).next_sibling;
        if (step.index > 0)
            text += (parent.type == tree::ObjectType::BeginGroup && step.index == parent.head_count)
                        ? " | "
                        : " ";
        ++step.index;
        text += tree.name_of(child);
        open(child, true);
    }
    return text;
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

std::vector<std::uint32_t> preorder(const ObjectTree &tree) {
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> stack;
    std::vector<std::uint32_t> children;
    auto pushChildren = [&](std::uint32_t node) {
        children.clear();
        for (std::uint32_t c = tree.node(node).first_child; c != ObjectTree::kNone;
             c = tree.node(c).next_sibling)
            children.push_back(c);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    };
    pushChildren(0);
    while (!stack.empty()) {
        const std::uint32_t node = stack.back();
        stack.pop_back();
        order.push_back(node);
        pushChildren(node);
    }
    return order;
}

std::uint32_t find_first(const ObjectTree &tree, tree::ObjectType type, std::uint32_t skip) {
    for (const std::uint32_t node : preorder(tree))
        if (tree.node(node).type == type && skip-- == 0) return node;
    return ObjectTree::kNone;
}

}  // namespace tarvex::binary::testing
