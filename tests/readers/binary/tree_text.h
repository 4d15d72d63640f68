// Object trees as short text, for expectations written by hand and for readable failures; and
// the files the binary tests read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tree/object_tree.h"

namespace tarvex::binary::testing {

// A whole file as text or as bytes, empty when it cannot be read.
template <class Bytes = std::string>
Bytes read_file(const std::filesystem::path &path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// The nesting of node names: "Torus(AttributeSet(DiffuseColor)) Cone(Caps …)"; a BeginGroup
// shows its head before a bar: "BeginGroup(DisplayGroup | Translate)".
std::string shape(const tree::ObjectTree &tree, std::uint32_t node = 0);

// The values of `node` as text: numbers as "%g" (Int and Uns as integers), words as they are,
// strings quoted, raw data as "raw:<bytes>", references as "->Name" or "->none".
std::string values(const tree::ObjectTree &tree, std::uint32_t node);

// The first node of `type` in depth-first order, kNone when there is none.
std::uint32_t find_first(const tree::ObjectTree &tree, tree::ObjectType type,
                         std::uint32_t skip = 0);

}  // namespace tarvex::binary::testing
