#include "readers/binary/binary_reader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "readers/binary/field_decoder.h"
#include "readers/binary/layouts.h"
#include "readers/binary/type_codes.h"

namespace tarvex::binary {
namespace {

using tree::ObjectTree;
using tree::ObjectType;

constexpr std::uint32_t kMetafile = tree::four_cc("3DMF");
constexpr std::uint32_t kContainer = tree::four_cc("cntr");
constexpr std::uint32_t kBeginGroup = tree::four_cc("bgng");
constexpr std::uint32_t kEndGroup = tree::four_cc("endg");
constexpr std::uint32_t kType = tree::four_cc("type");

std::uint32_t be32(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
           (std::uint32_t(bytes[at + 2]) << 8) | std::uint32_t(bytes[at + 3]);
}

enum class FrameKind : std::uint8_t {
    File,
    Container,  // objects inside a `cntr`: the first is the root, the rest its children
    GroupBody,  // objects inside a `bgng`: the group's head
    Group,      // the members after a `bgng`, up to its `endg` (or its container's end)
};

struct Frame {
    std::uint64_t start;   // offset of the cntr / bgng object
    std::uint64_t end;     // where the objects of this frame end
    std::uint32_t parent;  // the node objects of this frame attach to
    FrameKind kind;
    bool rootPending = false;  // a container whose root has not come yet
    bool rootOfOuter = false;  // a container that is the first object of a pending container
};

// Walks the objects of a file. Run twice: first without a tree (`tree_` null) to learn which node
// each object offset becomes, for file pointers that point forward; then for real.
class Walker {
  public:
    Walker(std::span<const std::uint8_t> bytes, ObjectTree *tree, tree::Diagnostics &diagnostics,
           ObjectOffsets &offsets, std::uint32_t firstNode)
        : bytes_(bytes),
          tree_(tree),
          diagnostics_(diagnostics),
          offsets_(offsets),
          nextNode_(firstNode) {}

    ReadResult run();

  private:
    std::uint32_t addNode(ObjectType type, std::string_view name, std::uint64_t offset);
    std::uint32_t addUnknownNode(std::uint32_t code, std::uint64_t offset);
    void adoptAsRoot(std::uint32_t node);
    void closeFrame();
    ReadResult failure(std::uint64_t offset, std::string message) const {
        return ReadResult{false, offset, std::move(message)};
    }
    void warn(std::uint64_t offset, std::string text) {
        if (tree_ != nullptr) diagnostics_.warn(offset, std::move(text));
    }
    void declareType(std::uint64_t begin, std::uint64_t end);

    std::span<const std::uint8_t> bytes_;
    ObjectTree *tree_;
    tree::Diagnostics &diagnostics_;
    ObjectOffsets &offsets_;
    std::uint32_t nextNode_;
    TypeCodes codes_;
    std::unordered_map<std::uint32_t, std::uint32_t> typeNames_;  // code -> tree text
    std::vector<Frame> stack_;
};

std::uint32_t Walker::addUnknownNode(std::uint32_t code, std::uint64_t offset) {
    if (tree_ == nullptr) return addNode(ObjectType::Unknown, {}, offset);
    auto found = typeNames_.find(code);
    if (found == typeNames_.end())
        found = typeNames_.emplace(code, tree_->add_type_name(codes_.name_of(code))).first;
    const std::uint32_t parent = stack_.back().parent;
    const std::uint32_t node = tree_->add_named_node(found->second, parent, offset);
    adoptAsRoot(node);
    return node;
}

std::uint32_t Walker::addNode(ObjectType type, std::string_view name, std::uint64_t offset) {
    const std::uint32_t parent = stack_.back().parent;
    const std::uint32_t node =
        tree_ != nullptr ? tree_->add_node(type, name, parent, offset) : nextNode_++;
    if (tree_ == nullptr) offsets_.emplace_back(offset, node);
    adoptAsRoot(node);
    return node;
}

void Walker::adoptAsRoot(std::uint32_t node) {
    // The first object in a container is its root: it stands for the container (and for any
    // container that began with this one), and the container's further objects are its children.
    for (std::size_t i = stack_.size(); i-- > 0;) {
        Frame &frame = stack_[i];
        if (!frame.rootPending) break;
        frame.rootPending = false;
        frame.parent = node;
        if (tree_ == nullptr) offsets_.emplace_back(frame.start, node);
        if (!frame.rootOfOuter) break;
    }
}

void Walker::closeFrame() {
    const Frame frame = stack_.back();
    stack_.pop_back();
    switch (frame.kind) {
        case FrameKind::File:
            break;
        case FrameKind::Container:
            if (frame.rootPending) warn(frame.start, "empty Container skipped");
            break;
        case FrameKind::GroupBody: {
            if (tree_ != nullptr) {
                std::uint32_t count = 0;
                for (std::uint32_t c = tree_->node(frame.parent).first_child;
                     c != ObjectTree::kNone; c = tree_->node(c).next_sibling)
                    ++count;
                tree_->set_head_count(frame.parent, count);
            }
            // The members follow, up to the EndGroup or the end of what holds the group.
            const std::uint64_t end = stack_.empty() ? frame.end : stack_.back().end;
            stack_.push_back(Frame{frame.start, end, frame.parent, FrameKind::Group});
            break;
        }
        case FrameKind::Group:
            warn(frame.start, "BeginGroup without EndGroup: the group ends with its container");
            break;
    }
}

// A `type` object declares a custom code: Int32 code, String name.
void Walker::declareType(std::uint64_t begin, std::uint64_t end) {
    if (end - begin < 5) {
        warn(begin - 8, "Type object too short to declare a type: skipped");
        return;
    }
    const auto code = static_cast<std::int32_t>(be32(bytes_, begin));
    const std::uint8_t *first = bytes_.data() + begin + 4;
    const std::uint8_t *last = bytes_.data() + end;
    const std::uint8_t *zero = std::find(first, last, std::uint8_t{0});
    if (code >= 0 || zero == last) {
        warn(begin - 8, "Type object without a negative code and a name: skipped");
        return;
    }
    typeNames_.erase(static_cast<std::uint32_t>(code));
    codes_.declare(code, std::string_view(reinterpret_cast<const char *>(first),
                                          static_cast<std::size_t>(zero - first)));
}

ReadResult Walker::run() {
    const std::uint64_t size = bytes_.size();
    if (size < 8 || be32(bytes_, 0) != kMetafile)
        return failure(0, "3DMetafile: the file does not begin with a binary 3DMF header");
    stack_.push_back(Frame{0, size, 0, FrameKind::File});
    std::uint64_t pos = 0;
    for (;;) {
        while (!stack_.empty() && pos == stack_.back().end) closeFrame();
        if (stack_.empty()) break;
        const Frame &frame = stack_.back();
        const std::uint64_t left = frame.end - pos;
        const bool inFile = frame.kind == FrameKind::File || frame.kind == FrameKind::Group;
        if (left < 8)
            return failure(pos, "truncated object: " + std::to_string(left) +
                                    (left == 1 ? " byte" : " bytes") + " left in " +
                                    (frame.end == size ? "the file" : "its container") +
                                    ", an object header needs 8");
        const std::uint32_t code = be32(bytes_, pos);
        const std::uint32_t dataSize = be32(bytes_, pos + 4);
        const std::uint64_t begin = pos + 8;
        const std::uint64_t end = begin + dataSize;
        if (dataSize > left - 8) {
            return failure(
                pos, codes_.name_of(code) + ": size " + std::to_string(dataSize) + " runs past " +
                         (frame.end == size && inFile ? "the end of the file" : "its container") +
                         " (ends at byte " + std::to_string(frame.end) + ")");
        }
        if (pos == 0 && dataSize < 16)
            return failure(0, "3DMetafile: header size " + std::to_string(dataSize) +
                                  " is too small (16 expected)");

        switch (code) {
            case kContainer: {
                const bool outerPending = frame.kind == FrameKind::Container && frame.rootPending;
                Frame inner{pos, end, frame.parent, FrameKind::Container};
                inner.rootPending = true;
                inner.rootOfOuter = outerPending;
                stack_.push_back(inner);
                pos = begin;
                continue;
            }
            case kBeginGroup: {
                const std::uint32_t node =
                    addNode(ObjectType::BeginGroup, tree::type_name(ObjectType::BeginGroup), pos);
                stack_.push_back(Frame{pos, end, node, FrameKind::GroupBody});
                pos = begin;
                continue;
            }
            case kEndGroup:
                if (frame.kind == FrameKind::Group) {
                    stack_.pop_back();
                } else {
                    warn(pos, "EndGroup without BeginGroup skipped");
                }
                pos = end;
                continue;
            case kType:
                declareType(begin, end);
                pos = end;
                continue;
            default:
                break;
        }

        const ObjectType type = TypeCodes::type_of(code);
        // Known types are named by the table and custom ones once per code: a name as long as
        // the file is neither copied per object nor per warning.
        if ((code & 0x80000000u) != 0 && !codes_.declared(code))
            warn(pos, "custom type " + codes_.name_of(code) + " was not declared by a Type object");
        const std::string_view name =
            type == ObjectType::Unknown ? std::string_view{} : tree::type_name(type);
        if (type == ObjectType::Unknown)
            addUnknownNode(code, pos);
        else
            addNode(type, name, pos);
        if (tree_ != nullptr && type != ObjectType::Unknown) {
            const std::uint32_t firstValue = static_cast<std::uint32_t>(tree_->value_count());
            FieldDecoder decoder(bytes_, pos, begin, end, *tree_, diagnostics_, offsets_, codes_);
            if (fields(type, decoder)) {
                if (!decoder.ok()) {
                    tree_->truncate_values(firstValue);
                    return failure(pos, std::string(name) + ": " + decoder.failure());
                }
                const std::uint64_t rest = decoder.remaining();
                const bool padding =
                    rest < 4 &&
                    std::all_of(bytes_.begin() + static_cast<std::ptrdiff_t>(end - rest),
                                bytes_.begin() + static_cast<std::ptrdiff_t>(end),
                                [](std::uint8_t b) { return b == 0; });
                if (rest > 0 && !padding)
                    warn(pos, std::string(name) + ": " + std::to_string(rest) +
                                  " bytes after its last field skipped");
            }
        }
        pos = end;
    }
    return ReadResult{};
}

// Nodes, values and texts are numbered in 32 bits, and no object, value or name takes less than
// a byte: a file below this size cannot run out of numbers.
constexpr std::uint64_t kMaxFileSize = ObjectTree::kNone - 1;

ReadResult tooLarge() {
    return ReadResult{false, 0, "the file is larger than 4 GiB, more than this reader can number"};
}

}  // namespace

bool looks_binary(std::span<const std::uint8_t> first_bytes) {
    return first_bytes.size() >= 4 && first_bytes[0] == 0x33 && first_bytes[1] == 0x44 &&
           first_bytes[2] == 0x4D && first_bytes[3] == 0x46;
}

ReadResult read_binary(std::span<const std::uint8_t> bytes, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics) {
    diagnostics.position_kind = tree::PositionKind::byte;
    if (bytes.size() > kMaxFileSize) return tooLarge();
    const auto firstNode = static_cast<std::uint32_t>(tree.node_count());
    ObjectOffsets offsets;
    {
        // The first pass numbers the objects without decoding them, so it may go past an object
        // whose decoding stops the second; resolve() drops pointers to objects never added.
        Walker plan(bytes, nullptr, diagnostics, offsets, firstNode);
        plan.run();
    }
    std::stable_sort(offsets.begin(), offsets.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    // Values are at most one per byte, usually one per four.
    tree.reserve_values(bytes.size() / 4);
    Walker walker(bytes, &tree, diagnostics, offsets, firstNode);
    ReadResult result = walker.run();
    tree.resolve();
    return result;
}

ReadResult read_binary(std::FILE *file, std::uint64_t size_hint, tree::ObjectTree &tree,
                       tree::Diagnostics &diagnostics) {
    diagnostics.position_kind = tree::PositionKind::byte;
    if (size_hint > kMaxFileSize) return tooLarge();
    std::vector<std::uint8_t> bytes;
    if (size_hint > 0) bytes.reserve(static_cast<std::size_t>(size_hint));
    std::array<std::uint8_t, 1 << 16> block;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        if (bytes.size() > kMaxFileSize) return tooLarge();
        if (got < block.size()) break;
    }
    if (std::ferror(file) != 0) {
        ReadResult result = read_binary(bytes, tree, diagnostics);
        if (result.ok) {
            result =
                ReadResult{false, bytes.size(),
                           "the file could not be read past byte " + std::to_string(bytes.size())};
        }
        return result;
    }
    return read_binary(bytes, tree, diagnostics);
}

}  // namespace tarvex::binary
