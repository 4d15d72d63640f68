#include "readers/binary/field_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "core/bit_cast.h"

namespace tarvex::binary {

void FieldDecoder::fail(std::string what) {
    if (!ok_) return;
    ok_ = false;
    failure_ = std::move(what);
}

bool FieldDecoder::need(std::uint64_t count, unsigned width) {
    if (!ok_) return false;
    const std::uint64_t left = end_ - pos_;
    if (count <= left / width) return true;
    if (count == 1) {
        fail("needs " + std::to_string(width) + " more bytes at byte " + std::to_string(pos_) +
             ", " + std::to_string(left) + " left in the object");
    } else {
        fail("count " + std::to_string(count) + " of " + std::to_string(width) +
             "-byte values at byte " + std::to_string(pos_) + " needs more than the " +
             std::to_string(left) + " bytes left in the object");
    }
    return false;
}

std::uint32_t FieldDecoder::peek(std::uint64_t at, unsigned width) const {
    const std::uint8_t *p = file_.data() + at;
    std::uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i) v = (v << 8) | p[i];
    return v;
}

std::uint32_t FieldDecoder::uns(unsigned width) {
    if (!need(1, width)) return 0;
    const std::uint32_t v = peek(pos_, width);
    pos_ += width;
    tree_.add_uns(v);
    return v;
}

void FieldDecoder::uns_array(std::uint64_t count, unsigned width) {
    if (!need(count, width)) return;
    for (std::uint64_t i = 0; i < count; ++i, pos_ += width) tree_.add_uns(peek(pos_, width));
}

std::int32_t FieldDecoder::int32() {
    if (!need(1, 4)) return 0;
    const auto v = static_cast<std::int32_t>(peek(pos_, 4));
    pos_ += 4;
    tree_.add_int(v);
    return v;
}

void FieldDecoder::floats(std::uint64_t count) {
    if (!need(count, 4)) return;
    for (std::uint64_t i = 0; i < count; ++i, pos_ += 4) {
        const float f = bit_cast<float>(peek(pos_, 4));
        // Every number written out must be finite. The value is dropped as the text form drops
        // "nan", and the object goes on: its size, not its values, tells where the next begins.
        if (!std::isfinite(f)) {
            diagnostics_.warn(object_, "the value at byte " + std::to_string(pos_) +
                                           " is not a finite number: dropped");
            continue;
        }
        tree_.add_float(f);
    }
}

void FieldDecoder::string() {
    if (!need(1, 1)) return;
    const std::uint8_t *first = file_.data() + pos_;
    const std::uint8_t *last = file_.data() + end_;
    const std::uint8_t *zero = std::find(first, last, std::uint8_t{0});
    if (zero == last) {
        fail("the string at byte " + std::to_string(pos_) + " has no terminating zero byte");
        return;
    }
    const auto length = static_cast<std::size_t>(zero - first);
    tree_.add_string(std::string_view(reinterpret_cast<const char *>(first), length));
    pos_ += length + 1;
    // Strings are padded to a multiple of 4 bytes; writers that do not pad are read as well.
    for (std::size_t pad = (4 - (length + 1) % 4) % 4; pad > 0 && pos_ < end_; --pad) {
        if (file_[pos_] != 0) break;
        ++pos_;
    }
}

void FieldDecoder::raw(std::uint64_t bytes) {
    if (!need(bytes, 1)) return;
    tree_.begin_raw();
    tree_.append_raw(file_.subspan(pos_, bytes));
    pos_ += bytes;
    for (std::uint64_t pad = (4 - bytes % 4) % 4; pad > 0 && pos_ < end_; --pad) {
        if (file_[pos_] != 0) break;
        ++pos_;
    }
}

void FieldDecoder::file_pointer() {
    if (!need(1, 8)) return;
    const std::uint64_t offset = (std::uint64_t(peek(pos_, 4)) << 32) | peek(pos_ + 4, 4);
    pos_ += 8;
    std::uint32_t target = tree::ObjectTree::kNone;
    if (offset != 0) {
        const auto found =
            std::lower_bound(offsets_.begin(), offsets_.end(), offset,
                             [](const std::pair<std::uint64_t, std::uint32_t> &entry,
                                std::uint64_t value) { return entry.first < value; });
        if (found != offsets_.end() && found->first == offset) {
            target = found->second;
        } else {
            diagnostics_.warn(object_, "file pointer to byte " + std::to_string(offset) +
                                           " does not point at an object");
        }
    }
    tree_.add_ref_to_node(target);
}

void FieldDecoder::object_type() {
    if (!need(1, 4)) return;
    const std::uint32_t code = peek(pos_, 4);
    pos_ += 4;
    tree_.add_word(codes_.name_of(code));
}

std::size_t FieldDecoder::pick(std::span<const std::uint64_t> sizes) {
    if (!ok_) return 0;
    const std::uint64_t size = end_ - begin_;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] == size) return i;
    fail("size " + std::to_string(size) + " does not fit its counts with any index width");
    return 0;
}

unsigned FieldDecoder::record_width(std::uint64_t records, unsigned preferred) {
    if (!ok_) return preferred;
    for (const unsigned width : widths_from(preferred)) {
        std::uint64_t at = pos_;
        std::uint64_t r = 0;
        for (; r < records && end_ - at >= 4; ++r) {
            const auto count = static_cast<std::int32_t>(peek(at, 4));
            at += 4;
            const std::uint64_t n =
                count < 0 ? std::uint64_t(-std::int64_t(count)) : std::uint64_t(count);
            if (n > (end_ - at) / width) break;
            at += n * width;
        }
        if (r == records && at == end_) return width;
    }
    fail("size " + std::to_string(end_ - begin_) +
         " does not fit its index records with any index width");
    return preferred;
}

void FieldDecoder::rest(Rest kind) {
    if (!ok_) return;
    switch (kind) {
        case Rest::Float:
            floats(remaining() / 4);
            break;
        case Rest::Boolean:
            uns_array(remaining() / 4, 4);
            break;
        case Rest::Raw:
            tree_.begin_raw();
            tree_.append_raw(file_.subspan(pos_, remaining()));
            pos_ = end_;
            break;
    }
}

}  // namespace tarvex::binary
