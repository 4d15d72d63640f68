// The outline for the desktop program's tree: one line per object in drawing order, groups as
// folders. Capped so that a file of millions of objects cannot make the tree unusable.
#include "builder/builder.h"

namespace tarvex::builder {

namespace {
constexpr std::size_t kMaxOutlineItems = 200000;
}

std::string count_text(std::uint64_t n, std::string_view singular, std::string_view plural) {
    return std::to_string(n) + " " + std::string(n == 1 ? singular : plural);
}

void Builder::outline(std::uint32_t node, std::uint32_t depth, bool is_group) {
    outline_item_ = kNone;
    if (!outline_ || outline_->size() > kMaxOutlineItems) return;
    if (outline_->size() == kMaxOutlineItems) {
        OutlineItem more;
        more.type = "…";
        more.size = "more objects not listed";
        outline_->push_back(std::move(more));
        return;
    }
    OutlineItem item;
    item.depth = depth;
    item.is_group = is_group;
    item.type = type_text(node);
    item.label = tree::shortened(tree_.label_of(node), kMaxNameBytes);
    item.source = node;
    outline_item_ = static_cast<std::uint32_t>(outline_->size());
    outline_->push_back(std::move(item));
}

void Builder::set_outline_size(std::string size) {
    if (outline_item_ != kNone) (*outline_)[outline_item_].size = std::move(size);
}

}  // namespace tarvex::builder
