// Reads 3DMF text into an ObjectTree (see format/object_tree.h for the tree's shape).
//
// What the tree holds for text input, beyond the tree's own rules:
// - A type name is matched case-insensitively; an unknown one (a custom type such as
//   `Apple Computer, Inc.:NameElement`) keeps its words joined by one space as its name, and
//   the node has type Unknown. `( … )` with no type name before it is an Unknown node named "".
// - Integers become Uns (≥ 0) or Int (< 0); integers beyond 32 bits and `-0` become Float, as
//   does every number with a point or an exponent. A number that is not finite (`1e999`, the
//   words nan and inf) is dropped with a warning.
// - Bitfields `Top | Bottom` are consecutive Word values, the `|` dropped. Trailing commas are
//   taken off words.
// - Consecutive `0x…` tokens form one Raw value; an odd digit count reads as a leading 0.
// - `name>` is a Ref value resolved by ObjectTree::resolve(); `Reference ( n )` is an ordinary
//   node with one Uns value; TableOfContents entries' type names are Word values.
// - A label names the object after it: for a Container its root, for a BeginGroup the group
//   node. An object labelled twice (`a: Container ( b: Box ( ) )`) keeps the inner label.
// - A word run longer than 32 words before a `(` is not a type name: custom names are shorter.
// - Node positions are the line of the type name.
//
// Leniency. Read past with a warning (diagnostics, position = line): values between objects or
// directly inside a Container, a stray `)` or EndGroup, a label before no object, values
// following a nested object inside an object's parentheses (dropped: an object's values must
// be contiguous), an empty Container (nothing added), a BeginGroup left open at a `)` of an
// enclosing object or at the end of the file (closed there), numbers glued to words, NUL
// bytes, a second label on one object. Failure only where reading cannot go on: the input ends
// inside an object or a string (or holds more than the tree's 32-bit indexes can count).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::text {

struct ParseResult {
    bool ok = true;
    std::uint64_t line = 0;  // where reading could not go on (1-based)
    std::string message;     // what was expected, without the file name
};

// Reads 3DMF text into `tree` (a fresh ObjectTree) and calls tree.resolve() before returning,
// also after a failure (everything read before the failure stays in the tree). Warnings go to
// `diagnostics` (position = line). `size_hint` is the input's size in bytes when known (0:
// unknown): the value arrays are reserved once for it. `progress` (may be empty) gets 0..100.
// `file` stays open and owned by the caller; a read error ends the input like its end does
// (the caller tells them apart with ferror()).
ParseResult parse_text(std::FILE *file, std::uint64_t size_hint, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics,
                       const std::function<void(int)> &progress = {});

// The same from memory (tests, fuzzing): no file system, and reading blocks no larger than the
// input. The read block size is core's read_block_size() test hook in both forms.
ParseResult parse_text(std::string_view bytes, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics);

}  // namespace tarvex::text
