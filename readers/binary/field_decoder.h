// The reading side of layouts.h: decodes one object's data bytes into values of the last node
// added to an object tree. Every read is checked against the object's end, so that no count or
// size in the file can make it read past the object, loop, or claim memory the file does not
// back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "readers/binary/enum_words.h"
#include "readers/binary/layouts.h"
#include "readers/binary/type_codes.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::binary {

// Where each object starts, for file pointers: (byte offset, node), sorted by offset.
using ObjectOffsets = std::vector<std::pair<std::uint64_t, std::uint32_t>>;

class FieldDecoder {
  public:
    // Decodes `file[begin, end)`, the data of the object starting at `object`.
    FieldDecoder(std::span<const std::uint8_t> file, std::uint64_t object, std::uint64_t begin,
                 std::uint64_t end, tree::ObjectTree &tree, tree::Diagnostics &diagnostics,
                 const ObjectOffsets &offsets, const TypeCodes &codes)
        : file_(file),
          object_(object),
          begin_(begin),
          pos_(begin),
          end_(end),
          tree_(tree),
          diagnostics_(diagnostics),
          offsets_(offsets),
          codes_(codes) {}

    // The codec of layouts.h.
    bool ok() const { return ok_; }
    std::uint32_t uns(unsigned width);
    void uns_array(std::uint64_t count, unsigned width);
    std::int32_t int32();
    void floats(std::uint64_t count);
    std::uint32_t choice(EnumTable) { return uns(4); }
    void string();
    void raw(std::uint64_t bytes);
    void file_pointer();
    void object_type();
    bool more(std::uint64_t bytes, std::uint32_t) const { return ok_ && end_ - pos_ >= bytes; }
    std::size_t pick(std::span<const std::uint64_t> sizes);
    unsigned record_width(std::uint64_t records, unsigned preferred);
    void rest(Rest kind);

    std::uint64_t remaining() const { return end_ - pos_; }
    std::uint64_t position() const { return pos_; }
    // What went wrong, e.g. "count 1000 of 4-byte values needs 4000 bytes, 12 left at byte 80".
    const std::string &failure() const { return failure_; }

  private:
    bool need(std::uint64_t count, unsigned width);
    std::uint32_t peek(std::uint64_t at, unsigned width) const;
    void fail(std::string what);

    std::span<const std::uint8_t> file_;
    std::uint64_t object_;
    std::uint64_t begin_;
    std::uint64_t pos_;
    std::uint64_t end_;
    tree::ObjectTree &tree_;
    tree::Diagnostics &diagnostics_;
    const ObjectOffsets &offsets_;
    const TypeCodes &codes_;
    bool ok_ = true;
    std::string failure_;
};

}  // namespace tarvex::binary
