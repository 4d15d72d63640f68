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

void padTo4(std::vector<std::uint8_t> &out, std::size_t length) {
    for (std::size_t pad = (4 - length % 4) % 4; pad > 0; --pad) out.push_back(0);
}

std::uint32_t codeOf(const ObjectTree &tree, std::uint32_t node, const CustomCodes &customs) {
    const ObjectType type = tree.node(node).type;
    if (type != ObjectType::Unknown) return tree::binary_code(type);
    const auto found = customs.find(std::string(tree.name_of(node)));
    return found == customs.end() ? 0 : static_cast<std::uint32_t>(found->second);
}

// The writing side of layouts.h: takes the node's values in order and writes their fields.
class FieldEncoder {
  public:
    // `patches` null: file pointers are written as their target's type code (for comparisons).
    FieldEncoder(const ObjectTree &tree, std::uint32_t node, std::vector<std::uint8_t> &out,
                 std::vector<std::pair<std::size_t, std::uint32_t>> *patches,
                 const CustomCodes &customs)
        : tree_(tree),
          next_(tree.node(node).first_value),
          end_(tree.node(node).first_value + tree.node(node).value_count),
          out_(out),
          patches_(patches),
          customs_(customs) {}

    bool ok() const { return ok_; }
    const std::string &failure() const { return failure_; }
    std::uint32_t leftover() const { return end_ - next_; }

    std::uint32_t uns(unsigned width) {
        const std::optional<std::int64_t> n = integer();
        if (!n) return 0;
        const std::uint64_t limit =
            width == 4 ? 0xFFFFFFFFu : (std::uint64_t(1) << (8 * width)) - 1;
        if (*n < 0 || std::uint64_t(*n) > limit) {
            fail(std::to_string(*n) + " does not fit " + std::to_string(width) + " bytes");
            return 0;
        }
        put(out_, std::uint64_t(*n), width);
        return static_cast<std::uint32_t>(*n);
    }
    void uns_array(std::uint64_t count, unsigned width) {
        for (std::uint64_t i = 0; ok_ && i < count; ++i) uns(width);
    }
    std::int32_t int32() {
        const std::optional<std::int64_t> n = integer();
        if (!n) return 0;
        if (*n < std::numeric_limits<std::int32_t>::min() || *n > 0xFFFFFFFFll) {
            fail(std::to_string(*n) + " does not fit an Int32");
            return 0;
        }
        put(out_, static_cast<std::uint32_t>(*n), 4);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
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
        out_.insert(out_.end(), text.begin(), text.end());
        out_.push_back(0);
        padTo4(out_, text.size() + 1);
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
            switch (kind) {
                case Rest::Float:
                    floats(1);
                    break;
                case Rest::Boolean:
                    choice(EnumTable::Boolean);
                    break;
                case Rest::Raw:
                    if (take(ValueKind::Raw)) {
                        const std::span<const std::uint8_t> data = tree_.raw(next_ - 1);
                        out_.insert(out_.end(), data.begin(), data.end());
                    }
                    break;
            }
        }
    }

  private:
    void fail(std::string what) {
        if (!ok_) return;
        ok_ = false;
        failure_ = std::move(what);
    }
    bool take() {
        if (!ok_) return false;
        if (next_ >= end_) {
            fail("runs out of values");
            return false;
        }
        ++next_;
        return true;
    }
    bool take(ValueKind kind) {
        if (!take()) return false;
        if (tree_.kind(next_ - 1) == kind) return true;
        fail("value " + std::to_string(next_ - 1) + " is not of the field's kind");
        return false;
    }
    std::optional<std::int64_t> integer() {
        if (!take()) return std::nullopt;
        const std::optional<std::int64_t> n = tree_.as_integer(next_ - 1);
        if (!n) fail("value " + std::to_string(next_ - 1) + " is not an integer");
        return n;
    }

    const ObjectTree &tree_;
    std::uint32_t next_;
    std::uint32_t end_;
    std::vector<std::uint8_t> &out_;
    std::vector<std::pair<std::size_t, std::uint32_t>> *patches_;
    const CustomCodes &customs_;
    bool ok_ = true;
    std::string failure_;
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
            put(out_, 1, 2);
            put(out_, 6, 2);
            put(out_, 0, 4);
            put(out_, 0, 8);
            end(at);
        }
        declareCustomTypes();
        for (std::uint32_t c = first; c != ObjectTree::kNone; c = tree_.node(c).next_sibling)
            if (!(hasHeader && c == first)) writeNode(c);
        for (const auto &[at, target] : patches_) {
            const std::uint64_t offset = offsets_[target] == kNoOffset ? 0 : offsets_[target];
            for (unsigned i = 0; i < 8; ++i)
                out_[at + i] = static_cast<std::uint8_t>(offset >> (8 * (7 - i)));
        }
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
    void end(std::size_t at) {
        const std::uint64_t size = out_.size() - at - 8;
        for (unsigned i = 0; i < 4; ++i)
            out_[at + 4 + i] = static_cast<std::uint8_t>(size >> (8 * (3 - i)));
    }

    void declareCustomTypes() {
        std::int32_t next = -1;
        for (std::uint32_t n = 1; n < tree_.node_count(); ++n) {
            if (tree_.node(n).type != ObjectType::Unknown) continue;
            const std::string name(tree_.name_of(n));
            if (customs_.count(name) != 0) continue;
            customs_.emplace(name, next);
            const std::size_t at = begin(tree::four_cc("type"));
            put(out_, static_cast<std::uint32_t>(next), 4);
            out_.insert(out_.end(), name.begin(), name.end());
            out_.push_back(0);
            padTo4(out_, name.size() + 1);
            end(at);
            --next;
        }
    }

    void writeNode(std::uint32_t node) {
        // The writer recurses, unlike the readers: fuzzed nesting thousands deep is left out.
        if (depth_ >= kMaxDepth) {
            twin_.lossy.emplace_back(node, "nested deeper than this writer goes");
            twin_.dropped.push_back(node);
            return;
        }
        ++depth_;
        writeNested(node);
        --depth_;
    }

    void writeNested(std::uint32_t node) {
        const ObjectTree::Node &n = tree_.node(node);
        if (n.type == ObjectType::BeginGroup) {
            offsets_[node] = out_.size();
            const std::size_t at = begin(tree::four_cc("bgng"));
            std::uint32_t index = 0;
            for (std::uint32_t c = n.first_child; c != ObjectTree::kNone;
                 c = tree_.node(c).next_sibling, ++index) {
                if (index == n.head_count) end(at);
                writeNode(c);
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
        FieldEncoder encoder(tree_, node, data, &patches, customs_);
        const bool known = n.type != ObjectType::Unknown && fields(n.type, encoder);
        if (!known) {
            if (n.value_count > 0) twin_.lossy.emplace_back(node, "no binary layout");
            data.clear();
            patches.clear();
        } else if (!encoder.ok()) {
            twin_.lossy.emplace_back(node, encoder.failure());
            twin_.dropped.push_back(node);
            return;
        } else if (encoder.leftover() > 0) {
            twin_.lossy.emplace_back(
                node, std::to_string(encoder.leftover()) + " values beyond its layout");
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
            writeNode(c);
        if (container) end(outer);
    }

    const ObjectTree &tree_;
    std::uint32_t depth_ = 0;
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
    FieldEncoder encoder(tree, node, data, nullptr, customs);
    const ObjectType type = tree.node(node).type;
    if (type == ObjectType::Unknown || !fields(type, encoder)) {
        if (why != nullptr) *why = "no binary layout";
        return std::nullopt;
    }
    if (!encoder.ok() || encoder.leftover() > 0) {
        if (why != nullptr)
            *why = encoder.ok() ? std::to_string(encoder.leftover()) + " values beyond its layout"
                                : encoder.failure();
        return std::nullopt;
    }
    return data;
}

}  // namespace tarvex::binary::testing
