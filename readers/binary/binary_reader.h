// Reading the binary form of the 3D Metafile format into the object tree the text parser fills,
// so that everything after reading is shared. Big-endian throughout: the format's documentation
// defines no byte-swapped variant.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::binary {

// True when `first_bytes` begins with the binary header "3DMF" (0x33 0x44 0x4D 0x46).
bool looks_binary(std::span<const std::uint8_t> first_bytes);

struct ReadResult {
    bool ok = true;
    std::uint64_t offset = 0;  // the byte offset of the object the failure is in
    std::string message;       // "TriMesh: size 400 runs past its container (ends at byte 380)"
};

// Reads a whole binary metafile into `tree` (expected fresh): top-level objects become children
// of the root, containers are folded into their root object, BeginGroup … EndGroup into one
// BeginGroup node, and file pointers (header, tables of contents) point at the nodes of their
// objects. Objects of unknown types are kept as nodes without values, named by their code.
// Warnings (dangling file pointers, unclosed groups, trailing bytes) go to `diagnostics`, whose
// positions become byte offsets. On failure, everything read before the failing object stays in
// the tree; tree.resolve() has been called either way. Memory stays proportional to the input;
// nesting is handled without recursion.
ReadResult read_binary(std::span<const std::uint8_t> bytes, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics);

// The same for an open file, read whole first (`size_hint`: its size when known, else 0). A read
// error is a failure at the offset reached.
ReadResult read_binary(std::FILE *file, std::uint64_t size_hint, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics);

}  // namespace tarvex::binary
