// Object trees as short text, for expectations written by hand and for readable failures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tree/object_tree.h"

namespace tarvex::binary::testing {

// The nesting of node names: "Torus(AttributeSet(DiffuseColor)) Cone(Caps …)"; a BeginGroup
// shows its head before a bar: "BeginGroup(DisplayGroup | Translate)".
std::string shape(const tree::ObjectTree &tree, std::uint32_t node = 0);

// The values of `node` as text: numbers as "%g" (Int and Uns as integers), words as they are,
// strings quoted, raw data as "raw:<bytes>", references as "->Name" or "->none".
std::string values(const tree::ObjectTree &tree, std::uint32_t node);

// The nodes in depth-first order (the root excluded).
std::vector<std::uint32_t> preorder(const tree::ObjectTree &tree);

// The first node of `type` in depth-first order, kNone when there is none.
std::uint32_t find_first(const tree::ObjectTree &tree, tree::ObjectType type,
                         std::uint32_t skip = 0);

}  // namespace tarvex::binary::testing
