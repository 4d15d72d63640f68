// Turning the text of value tokens into values of the object tree: numbers, raw hex data and
// strings. The parser decides where values may stand; these decide what they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "readers/text/text_lexer.h"
#include "tree/object_tree.h"

namespace tarvex::text {

// Adds the Number token as a value of the tree's last node: integers that fit 32 bits as Uns
// (≥ 0) or Int (< 0), everything else (`-0`, a point, an exponent, more than 32 bits) as the
// Float strtof reads. False, adding nothing, when that is not finite (`1e999`).
bool add_number(const Token &token, tree::ObjectTree &tree);

// Appends the bytes the hex digits spell to the Raw value begun last; an odd count reads as a
// leading 0. Returns how many bytes were appended.
std::size_t append_hex(std::string_view digits, tree::ObjectTree &tree);

// A quoted string's text with its escapes resolved (\n \r \t \v; \\ \' \" and unknown escapes
// stand for the byte itself), into `out`.
void unescape(std::string_view raw, std::string &out);

// nan, inf and infinity in any case, with or without a sign: words the C library would read as
// numbers that are not finite.
bool is_non_finite_word(std::string_view word);

}  // namespace tarvex::text
