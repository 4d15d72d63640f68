// A cursor over one object's values, reading them as the fields the builder expects. Every read
// checks the value's kind and the object's end, so a malformed object can never be read past;
// numbers must be finite. Reads that fail leave the cursor where it was.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scene/scene.h"
#include "tree/object_tree.h"

namespace tarvex::builder {

using namespace tarvex::scene;  // the builder speaks the model's vocabulary

// Enum words of unknown spelling read as this value, so callers can fall back to a default.
inline constexpr std::uint32_t kUnknownWord = UINT32_MAX;

bool equal_words(std::string_view a, std::string_view b);  // ASCII case-insensitive
// Big-endian UTF-16 code units (the byte order real writers use) as UTF-8; unpaired surrogates
// become U+FFFD.
std::string utf8_from_utf16be(std::span<const std::uint8_t> bytes, std::uint32_t units);

class FieldReader {
  public:
    FieldReader(tree::ObjectTree &tree, std::uint32_t node)
        : tree_(tree),
          next_(tree.node(node).first_value),
          end_(tree.node(node).first_value + tree.node(node).value_count) {}

    std::uint32_t remaining() const { return end_ - next_; }
    bool at_end() const { return next_ >= end_; }
    std::uint32_t index() const { return next_; }  // the tree's index of the next value
    void skip(std::uint32_t count) { next_ = count > remaining() ? end_ : next_ + count; }

    bool next_is_number() const { return !at_end() && tree_.is_number(next_); }
    bool next_is_word() const { return !at_end() && tree_.kind(next_) == tree::ValueKind::Word; }

    std::optional<float> next_float() {
        if (at_end()) return std::nullopt;
        const std::optional<float> f = tree_.as_float(next_);
        if (!f || !std::isfinite(*f)) return std::nullopt;
        ++next_;
        return f;
    }
    std::optional<std::int64_t> next_int() {
        if (at_end()) return std::nullopt;
        const std::optional<std::int64_t> n = tree_.as_integer(next_);
        if (!n) return std::nullopt;
        ++next_;
        return n;
    }
    std::optional<std::uint32_t> next_uint() {
        if (at_end()) return std::nullopt;
        const std::optional<std::int64_t> n = tree_.as_integer(next_);
        if (!n || *n < 0 || *n > INT64_C(0xFFFFFFFF)) return std::nullopt;
        ++next_;
        return static_cast<std::uint32_t>(*n);
    }
    std::optional<Vec3> next_vec3() {
        if (remaining() < 3) return std::nullopt;
        const std::uint32_t start = next_;
        const auto x = next_float(), y = next_float(), z = next_float();
        if (!x || !y || !z) {
            next_ = start;
            return std::nullopt;
        }
        return Vec3{*x, *y, *z};
    }
    std::optional<Color> next_color() {
        const std::optional<Vec3> v = next_vec3();
        if (!v) return std::nullopt;
        return Color{v->x, v->y, v->z};
    }
    // An enum: a word (its position in `words`, kUnknownWord when not there) or, as binary
    // files write it, a number.
    std::optional<std::uint32_t> next_enum(std::initializer_list<std::string_view> words) {
        if (next_is_word()) {
            const std::string_view w = tree_.word(next_++);
            std::uint32_t i = 0;
            for (const std::string_view candidate : words) {
                if (equal_words(w, candidate)) return i;
                ++i;
            }
            return kUnknownWord;
        }
        return next_uint();
    }
    std::optional<bool> next_bool() {
        const std::optional<std::uint32_t> e = next_enum({"False", "True"});
        if (!e || *e == kUnknownWord) return std::nullopt;
        return *e != 0;
    }
    // A bitfield: a number, or words joined by `|` (as separate words or inside one), each a
    // name from `names` with the bit value beside it. Unknown names count as 0.
    std::optional<std::uint32_t> next_bits(
        std::initializer_list<std::pair<std::string_view, std::uint32_t>> names);

    // `count` finite numbers as floats, borrowed from the tree (numbers converted in place);
    // empty when there are not that many or one is not a finite number.
    std::span<const float> float_span(std::uint32_t count) {
        if (count == 0 || count > remaining()) return {};
        const std::span<const float> values = tree_.floats(next_, count);
        if (values.empty()) return {};
        for (const float f : values)
            if (!std::isfinite(f)) return {};
        next_ += count;
        return values;
    }
    std::span<const std::uint32_t> uint_span(std::uint32_t count) {
        if (count == 0 || count > remaining()) return {};
        const std::span<const std::uint32_t> values = tree_.unsigned_ints(next_, count);
        if (values.empty()) return {};
        next_ += count;
        return values;
    }

  private:
    tree::ObjectTree &tree_;
    std::uint32_t next_;
    std::uint32_t end_;
};

}  // namespace tarvex::builder
