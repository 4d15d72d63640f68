// A test-only writer of binary 3DMF: turns an object tree (as the text parser gives it) into its
// binary twin with the reader's own field lists (binary/layouts.h), so that every text file can
// also be read as binary and the two readings compared. Not part of the programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tree/object_tree.h"

namespace tarvex::binary::testing {

struct Twin {
    std::vector<std::uint8_t> bytes;
    // Nodes of the source tree whose values the binary form cannot hold as they are (more or
    // fewer values than the layout, words its tables do not know), with the reason.
    std::vector<std::pair<std::uint32_t, std::string>> lossy;
    // Nodes left out with their children: types without a binary code (ForwardDirection).
    std::vector<std::uint32_t> dropped;
    bool added_header = false;  // the source had no header: a default one was written
};

// Containers are written again for nodes with children, BeginGroup nodes as bgng (holding their
// head) + members + endg, custom type names as `type` declarations after the header, and file
// pointers (header, tables of contents) to the objects their references resolve to. Labels
// themselves cannot be carried.
Twin write_binary(const tree::ObjectTree &tree);

// Encodes the values of one node with its layout, as write_binary() would: for comparing two
// trees field by field (enum words and their numbers encode alike; a file pointer encodes as the
// type code of its target). nullopt, with the reason in `why`, when the values do not fit the
// layout or the type has none.
std::optional<std::vector<std::uint8_t>> encode_values(const tree::ObjectTree &tree,
                                                       std::uint32_t node, std::string *why);

}  // namespace tarvex::binary::testing
