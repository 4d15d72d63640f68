// Comparing two readings of the same scene (a text file and its binary twin, or a real text and
// binary pair): same shape, same types, same values as numbers, enum words against their numbers.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "tree/object_tree.h"

namespace tarvex::binary::testing {

struct Allowances {
    std::set<std::uint32_t> dropped;  // nodes of `a` (with their children) absent from `b`
    std::set<std::uint32_t> lossy;    // nodes of `a` whose values `b` cannot hold: not compared
    bool extra_header = false;        // `b` begins with a header `a` lacks
};

// "" when the trees agree, else the first differences (at most `limit`), one per line, naming
// each node by its type and its positions in both trees. Labels are not compared.
std::string compare_trees(const tree::ObjectTree &a, const tree::ObjectTree &b,
                          const Allowances &allowances = {}, std::size_t limit = 8);

}  // namespace tarvex::binary::testing
