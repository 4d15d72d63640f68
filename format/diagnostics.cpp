#include "format/diagnostics.h"

namespace tarvex::format {

std::string shortened(std::string_view text, std::size_t max_bytes) {
    constexpr std::string_view kEllipsis = "…";
    if (text.size() <= max_bytes) return std::string(text);
    std::size_t keep = max_bytes > kEllipsis.size() ? max_bytes - kEllipsis.size() : 0;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
    std::string out(text.substr(0, keep));
    out += kEllipsis;
    return out;
}

void Diagnostics::warn(std::uint64_t position, std::string text) {
    ++warnings_;
    if (entries_.size() >= kMaxEntries) return;
    if (text.size() > kMaxEntryBytes) text = shortened(text, kMaxEntryBytes);
    entries_.push_back(Entry{position, std::move(text)});
}

void Diagnostics::skipped(std::uint64_t position, std::string_view type_name) {
    if (type_name.empty()) type_name = "(unnamed)";  // a "(" with no type name before it
    std::string cut;
    if (type_name.size() > kMaxNameBytes) {
        cut = shortened(type_name, kMaxNameBytes);
        type_name = cut;
    }
    auto found = skippedCounts_.find(type_name);
    // Junk can name a new type at every turn: past a few dozen names the rest are lumped
    // together, so that neither memory nor the summary line follows it.
    if (found == skippedCounts_.end() && skippedCounts_.size() >= kMaxSkippedNames)
        found = skippedCounts_.try_emplace(std::string(kOtherTypes), 0).first;
    if (found == skippedCounts_.end()) {
        skippedCounts_.emplace(std::string(type_name), 1);
    } else {
        ++found->second;
    }
    if (entries_.size() < kMaxEntries)
        entries_.push_back(Entry{position, "skipped " + std::string(type_name)});
}

std::string Diagnostics::summary() const {
    std::string line;
    if (!skippedCounts_.empty()) {
        line = "skipped: ";
        bool first = true;
        for (const auto &[name, count] : skippedCounts_) {
            if (!first) line += ", ";
            first = false;
            line += std::to_string(count) + " " + name;
        }
    }
    if (warnings_ > 0) {
        if (!line.empty()) line += "; ";
        line += std::to_string(warnings_) + (warnings_ == 1 ? " warning" : " warnings");
    }
    return line;
}

std::string Diagnostics::where(std::uint64_t position) const {
    return (position_kind == PositionKind::line ? "line " : "byte ") + std::to_string(position);
}

}  // namespace tarvex::format
