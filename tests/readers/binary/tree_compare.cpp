#include "tree_compare.h"

#include <algorithm>
#include <vector>

#include "binary_writer.h"
#include "tree_text.h"

namespace tarvex::binary::testing {
namespace {

using tree::ObjectTree;
using tree::ValueKind;

std::vector<std::uint32_t> children(const ObjectTree &tree, std::uint32_t node,
                                    const std::set<std::uint32_t> &dropped) {
    std::vector<std::uint32_t> list;
    for (std::uint32_t c = tree.node(node).first_child; c != ObjectTree::kNone;
         c = tree.node(c).next_sibling)
        if (dropped.count(c) == 0) list.push_back(c);
    return list;
}

// Values compared one by one where both have the same count: numbers as numbers (a word in `a`
// against a number in `b` is left to the encoded comparison), the rest exactly.
bool sameValue(const ObjectTree &a, std::uint32_t va, const ObjectTree &b, std::uint32_t vb) {
    if (a.is_number(va) && b.is_number(vb)) {
        const auto ia = a.as_integer(va), ib = b.as_integer(vb);
        if (ia && ib) return *ia == *ib;
        return a.as_float(va) == b.as_float(vb);
    }
    if (a.kind(va) == ValueKind::Word && b.kind(vb) == ValueKind::Uns) return true;
    if (a.kind(va) != b.kind(vb)) return false;
    switch (a.kind(va)) {
        case ValueKind::Word:
            return a.word(va) == b.word(vb);
        case ValueKind::String:
            return a.string(va) == b.string(vb);
        case ValueKind::Raw:
            return std::ranges::equal(a.raw(va), b.raw(vb));
        case ValueKind::Ref: {
            const std::uint32_t ta = a.ref_target(va), tb = b.ref_target(vb);
            if (ta == ObjectTree::kNone || tb == ObjectTree::kNone) return ta == tb;
            return a.node(ta).type == b.node(tb).type && a.name_of(ta) == b.name_of(tb);
        }
        default:
            return false;
    }
}

std::string valueDifference(const ObjectTree &a, std::uint32_t na, const ObjectTree &b,
                            std::uint32_t nb) {
    std::string whyA, whyB;
    const auto ea = encode_values(a, na, &whyA);
    const auto eb = encode_values(b, nb, &whyB);
    if (ea && !eb) return "the binary reading does not fit the layout: " + whyB;
    if (ea && eb && *ea != *eb) return "fields differ";
    const ObjectTree::Node &x = a.node(na), &y = b.node(nb);
    if (!ea && eb) return "the text reading does not fit the layout (" + whyA + ")";
    if (x.value_count == y.value_count) {
        for (std::uint32_t i = 0; i < x.value_count; ++i)
            if (!sameValue(a, x.first_value + i, b, y.first_value + i))
                return "value " + std::to_string(i) + " differs";
    } else if (!ea) {
        return std::to_string(x.value_count) + " values against " + std::to_string(y.value_count);
    }
    return "";
}

}  // namespace

std::string compare_trees(const ObjectTree &a, const ObjectTree &b, const Allowances &allowances,
                          std::size_t limit) {
    std::string report;
    std::size_t found = 0;
    auto differ = [&](std::uint32_t na, std::uint32_t nb, const std::string &what) {
        if (found++ < limit) {
            report += std::string(a.name_of(na)) + " (a " + std::to_string(a.node(na).position) +
                      ", b " + std::to_string(b.node(nb).position) + "): " + what + "\n";
        }
    };
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [na, nb] = stack.back();
        stack.pop_back();
        const ObjectTree::Node &x = a.node(na), &y = b.node(nb);
        if (na != 0) {
            if (x.type != y.type ||
                (x.type == tree::ObjectType::Unknown && a.name_of(na) != b.name_of(nb))) {
                differ(na, nb, "type differs: " + std::string(b.name_of(nb)));
                continue;
            }
            if (x.head_count != y.head_count)
                differ(na, nb,
                       "head " + std::to_string(x.head_count) + " against " +
                           std::to_string(y.head_count));
            if (allowances.lossy.count(na) == 0) {
                const std::string what = valueDifference(a, na, b, nb);
                if (!what.empty())
                    differ(na, nb,
                           what + "\n  a: " + values(a, na).substr(0, 300) +
                               "\n  b: " + values(b, nb).substr(0, 300));
            }
        }
        const std::vector<std::uint32_t> ca = children(a, na, allowances.dropped);
        std::vector<std::uint32_t> cb = children(b, nb, {});
        if (na == 0 && allowances.extra_header && !cb.empty()) cb.erase(cb.begin());
        if (ca.size() != cb.size()) {
            report += (na == 0 ? std::string("the root") : std::string(a.name_of(na))) + ": " +
                      std::to_string(ca.size()) + " children against " + std::to_string(cb.size()) +
                      "\n  a: " + shape(a, na).substr(0, 300) +
                      "\n  b: " + shape(b, nb).substr(0, 300) + "\n";
            ++found;
            continue;
        }
        for (std::size_t i = ca.size(); i-- > 0;) stack.emplace_back(ca[i], cb[i]);
    }
    if (found > limit) report += std::to_string(found - limit) + " more differences\n";
    return report;
}

}  // namespace tarvex::binary::testing
