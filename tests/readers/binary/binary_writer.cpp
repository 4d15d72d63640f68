#include "binary_writer.h"

#include <bit>
#include <limits>
#include <unordered_map>

#include "readers/binary/enum_words.h"
#include "readers/binary/layouts.h"

namespace tarvex::binary::testing {
namespace {

using tree::ObjectTree;
using tree::ObjectType;
using tree::ValueKind;

using CustomCodes = std::unordered_map<std::string, std::int32_t>;

void put(std::vector<std::uint8_t> &out, std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Overwrites `width` bytes at `at`, big-endian.
void putAt(std::vector<std::uint8_t> &out, std::size_t at, std::uint64_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

void padTo4(std::vector<std::uint8_t> &out, std::size_t length) {
    for (std::size_t pad = (4 - length % 4) % 4; pad > 0; --pad) out.push_back(0);
}

void putString(std::vector<std::uint8_t> &out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    padTo4(out, text.size() + 1);
}

std::uint32_t codeOf(const ObjectTree &tree, std::uint32_t node, const CustomCodes &customs) {
    const ObjectType type = tree.node(node).type;
    if (type != ObjectType::Unknown) return tree::binary_code(type);
    const auto found = customs.find(std::string(tree.name_of(node)));
    return found == customs.end() ? 0 : static_cast<std::uint32_t>(found->second);
}

// The writing side of layouts.h: takes the values `next_` to `end_` in order and writes their
// fields.
struct FieldEncoder {
    const ObjectTree &tree_;
    std::uint32_t next_;
    std::uint32_t end_;
    std::vector<std::uint8_t> &out_;
    // Null: file pointers are written as their target's type code (for comparisons).
    std::vector<std::pair<std::size_t, std::uint32_t>> *patches_;
    const CustomCodes &customs_;
    bool ok_ = true;
    std::string failure_ = {};

    bool ok() const { return ok_; }
    // Why the values do not fit the layout, "" when they do.
    std::string problem() const {
        if (!ok_) return failure_;
        return next_ < end_ ? std::to_string(end_ - next_) + " values beyond its layout" : "";
    }

    std::uint32_t uns(unsigned width) {
        const auto n =
            integer(0, (std::int64_t(1) << (8 * width)) - 1, std::to_string(width) + " bytes");
        if (n) put(out_, std::uint64_t(*n), width);
        return n ? static_cast<std::uint32_t>(*n) : 0;
    }
    void uns_array(std::uint64_t count, unsigned width) {
        for (std::uint64_t i = 0; ok_ && i < count; ++i) uns(width);
    }
    std::int32_t int32() {
        const auto n = integer(std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFF, "an Int32");
        if (n) put(out_, static_cast<std::uint32_t>(*n), 4);
        return n ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*n)) : 0;
    }
    void floats(std::uint64_t count) {
        for (std::uint64_t i = 0; ok_ && i < count; ++i) {
            if (!take()) return;
            const std::optional<float> f = tree_.as_float(next_ - 1);
            if (!f) {
                fail("value " + std::to_string(next_ - 1) + " is not a number");
                return;
            }
            put(out_, std::bit_cast<std::uint32_t>(*f), 4);
        }
    }
    std::uint32_t choice(EnumTable table) {
        if (!ok_ || next_ >= end_) {
            fail("runs out of values");
            return 0;
        }
        if (tree_.kind(next_) != ValueKind::Word) return uns(4);
        std::uint32_t value = 0;
        do {
            const std::string_view word = tree_.word(next_++);
            const std::optional<std::uint32_t> n = enum_value(table, word);
            if (!n) {
                fail("word " + std::string(word) + " has no number in its field's table");
                return 0;
            }
            value |= *n;
        } while (is_bitfield(table) && next_ < end_ && tree_.kind(next_) == ValueKind::Word);
        put(out_, value, 4);
        return value;
    }
    void string() {
        if (!take(ValueKind::String)) return;
        const std::string_view text = tree_.string(next_ - 1);
        // Binary strings end at their first NUL; text ones may hold one.
        if (text.find('\0') != std::string_view::npos) fail("a string holds a NUL byte");
        putString(out_, text);
    }
    void raw(std::uint64_t bytes) {
        if (!take(ValueKind::Raw)) return;
        const std::span<const std::uint8_t> data = tree_.raw(next_ - 1);
        if (data.size() != bytes) {
            fail("raw data of " + std::to_string(data.size()) + " bytes where the fields say " +
                 std::to_string(bytes));
            return;
        }
        out_.insert(out_.end(), data.begin(), data.end());
        padTo4(out_, data.size());
    }
    void file_pointer() {
        if (!take(ValueKind::Ref)) return;
        const std::uint32_t target = tree_.ref_target(next_ - 1);
        if (patches_ != nullptr) {
            if (target != ObjectTree::kNone) patches_->emplace_back(out_.size(), target);
            put(out_, 0, 8);
        } else {
            put(out_, target == ObjectTree::kNone ? 0 : codeOf(tree_, target, customs_), 8);
        }
    }
    void object_type() {
        if (!take(ValueKind::Word)) return;
        const std::string_view name = tree_.word(next_ - 1);
        std::uint32_t code = tree::binary_code(tree::type_from_text_name(name));
        if (const auto found = customs_.find(std::string(name)); found != customs_.end())
            code = static_cast<std::uint32_t>(found->second);
        if (code == 0) fail("type name " + std::string(name) + " has no binary code");
        put(out_, code, 4);
    }
    bool more(std::uint64_t, std::uint32_t values) const { return ok_ && end_ - next_ >= values; }
    std::size_t pick(std::span<const std::uint64_t>) const { return 0; }
    unsigned record_width(std::uint64_t, unsigned preferred) const { return preferred; }
    void rest(Rest kind) {
        while (ok_ && next_ < end_) {
            if (kind == Rest::Float) {
                floats(1);
            } else if (kind == Rest::Boolean) {
                choice(EnumTable::Boolean);
            } else if (take(ValueKind::Raw)) {
                const std::span<const std::uint8_t> data = tree_.raw(next_ - 1);
                out_.insert(out_.end(), data.begin(), data.end());
            }
        }
    }

    void fail(std::string what) {
        if (!ok_) return;
        ok_ = false;
        failure_ = std::move(what);
    }
    // The next value, of `kind` when given.
    bool take(std::optional<ValueKind> kind = std::nullopt) {
        if (!ok_) return false;
        if (next_ >= end_) {
            fail("runs out of values");
            return false;
        }
        ++next_;
        if (!kind || tree_.kind(next_ - 1) == *kind) return true;
        fail("value " + std::to_string(next_ - 1) + " is not of the field's kind");
        return false;
    }
    // The next value when it is an integer from `low` to `high` (the range of `field`).
    std::optional<std::int64_t> integer(std::int64_t low, std::int64_t high,
                                        const std::string &field) {
        if (!take()) return std::nullopt;
        const std::optional<std::int64_t> n = tree_.as_integer(next_ - 1);
        if (!n)
            fail("value " + std::to_string(next_ - 1) + " is not an integer");
        else if (*n < low || *n > high)
            fail(std::to_string(*n) + " does not fit " + field);
        return ok_ ? n : std::nullopt;
    }
};

class Writer {
  public:
    explicit Writer(const ObjectTree &tree) : tree_(tree), offsets_(tree.node_count(), kNoOffset) {}

    Twin run() {
        const std::uint32_t first = tree_.node(0).first_child;
        const bool hasHeader =
            first != ObjectTree::kNone && tree_.node(first).type == ObjectType::Metafile;
        if (hasHeader) {
            // Text whose header's parentheses never close nests the objects in it; binary
            // headers hold none.
            if (tree_.node(first).first_child != ObjectTree::kNone)
                twin_.lossy.emplace_back(first, "the header holds objects");
            writeNode(first);
        } else {
            twin_.added_header = true;
            const std::size_t at = begin(tree::four_cc("3DMF"));
            put(out_, 0x0001000600000000, 8);  // version 1.6, no flags
            put(out_, 0, 8);                   // no table of contents
            end(at);
        }
        declareCustomTypes();
        for (std::uint32_t c = first; c != ObjectTree::kNone; c = tree_.node(c).next_sibling)
            if (!(hasHeader && c == first)) writeNode(c);
        for (const auto &[at, target] : patches_)
            putAt(out_, at, offsets_[target] == kNoOffset ? 0 : offsets_[target], 8);
        return std::move(twin_);
    }

  private:
    static constexpr std::uint64_t kNoOffset = UINT64_MAX;
    static constexpr std::uint32_t kMaxDepth = 200;

    std::size_t begin(std::uint32_t code) {
        const std::size_t at = out_.size();
        put(out_, code, 4);
        put(out_, 0, 4);
        return at;
    }
    void end(std::size_t at) { putAt(out_, at + 4, out_.size() - at - 8, 4); }

    void declareCustomTypes() {
        std::int32_t next = -1;
        for (std::uint32_t n = 1; n < tree_.node_count(); ++n) {
            if (tree_.node(n).type != ObjectType::Unknown) continue;
            if (!customs_.emplace(tree_.name_of(n), next).second) continue;
            const std::size_t at = begin(tree::four_cc("type"));
            put(out_, static_cast<std::uint32_t>(next), 4);
            putString(out_, tree_.name_of(n));
            end(at);
            --next;
        }
    }

    void writeNode(std::uint32_t node, std::uint32_t depth = 0) {
        // The writer recurses, unlike the readers: fuzzed nesting thousands deep is left out.
        if (depth >= kMaxDepth) {
            twin_.lossy.emplace_back(node, "nested deeper than this writer goes");
            twin_.dropped.push_back(node);
            return;
        }
        const ObjectTree::Node &n = tree_.node(node);
        if (n.type == ObjectType::BeginGroup) {
            offsets_[node] = out_.size();
            const std::size_t at = begin(tree::four_cc("bgng"));
            std::uint32_t index = 0;
            for (std::uint32_t c = n.first_child; c != ObjectTree::kNone;
                 c = tree_.node(c).next_sibling, ++index) {
                if (index == n.head_count) end(at);
                writeNode(c, depth + 1);
            }
            if (index <= n.head_count) end(at);
            end(begin(tree::four_cc("endg")));
            return;
        }
        const std::uint32_t code = codeOf(tree_, node, customs_);
        if (code == 0) {
            twin_.dropped.push_back(node);
            return;
        }
        std::vector<std::uint8_t> data;
        std::vector<std::pair<std::size_t, std::uint32_t>> patches;
        const std::uint32_t first = n.first_value;
        FieldEncoder encoder{tree_, first, first + n.value_count, data, &patches, customs_};
        if (n.type == ObjectType::Unknown || !fields(n.type, encoder)) {
            if (n.value_count > 0) twin_.lossy.emplace_back(node, "no binary layout");
            data.clear();
            patches.clear();
        } else if (!encoder.problem().empty()) {
            twin_.lossy.emplace_back(node, encoder.problem());
            if (!encoder.ok()) {
                twin_.dropped.push_back(node);
                return;
            }
        }
        const bool container = n.first_child != ObjectTree::kNone;
        offsets_[node] = out_.size();
        const std::size_t outer = container ? begin(tree::four_cc("cntr")) : 0;
        const std::size_t at = begin(code);
        for (const auto &[offset, target] : patches)
            patches_.emplace_back(out_.size() + offset, target);
        out_.insert(out_.end(), data.begin(), data.end());
        end(at);
        for (std::uint32_t c = n.first_child; c != ObjectTree::kNone;
             c = tree_.node(c).next_sibling)
            writeNode(c, depth + 1);
        if (container) end(outer);
    }

    const ObjectTree &tree_;
    Twin twin_;
    std::vector<std::uint8_t> &out_ = twin_.bytes;
    CustomCodes customs_;
    std::vector<std::uint64_t> offsets_;
    std::vector<std::pair<std::size_t, std::uint32_t>> patches_;
};

}  // namespace

Twin write_binary(const ObjectTree &tree) {
    return Writer(tree).run();
}

std::optional<std::vector<std::uint8_t>> encode_values(const ObjectTree &tree, std::uint32_t node,
                                                       std::string *why) {
    // Custom names encode as themselves here: both trees name them alike.
    CustomCodes customs;
    std::vector<std::uint8_t> data;
    const ObjectTree::Node &n = tree.node(node);
    const std::uint32_t first = n.first_value;
    FieldEncoder encoder{tree, first, first + n.value_count, data, nullptr, customs};
    const std::string problem = n.type == ObjectType::Unknown || !fields(n.type, encoder)
                                    ? "no binary layout"
                                    : encoder.problem();
    if (problem.empty()) return data;
    if (why != nullptr) *why = problem;
    return std::nullopt;
}

}  // namespace tarvex::binary::testing
