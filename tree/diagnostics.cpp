#include "tree/diagnostics.h"

#include <unordered_map>

namespace tarvex::tree {
namespace {

// What tells one kind of warning from another: its text with every number and quoted word
// replaced, so that "byte 36" and "byte 40", 'nan' and 'inf', fall together.
std::string kindOf(std::string_view text) {
    std::string key;
    key.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            while (i + 1 < text.size() && ((text[i + 1] >= '0' && text[i + 1] <= '9') ||
                                           text[i + 1] == '.' || text[i + 1] == '-'))
                ++i;
            key += '#';
        } else if (c == '\'' || c == '"') {
            const std::size_t close = text.find(c, i + 1);
            if (close == std::string_view::npos) {
                key += c;
                continue;
            }
            key.append({c, '*', c});
            i = close;
        } else {
            key += c;
        }
    }
    return key;
}

}  // namespace

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
        entries_.push_back(Entry{position, "skipped " + std::string(type_name), true});
}

std::vector<Diagnostics::Kind> Diagnostics::kinds() const {
    std::vector<Kind> kinds;
    std::unordered_map<std::string, std::size_t> index;
    for (const Entry &entry : entries_) {
        if (entry.skip) continue;
        const auto [found, added] = index.try_emplace(kindOf(entry.text), kinds.size());
        if (added) {
            kinds.push_back(Kind{entry.position, entry.text, 1});
        } else {
            ++kinds[found->second].count;
        }
    }
    return kinds;
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

}  // namespace tarvex::tree
