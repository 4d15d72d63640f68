// What a full-mode conversion has to tell the user besides its result: warnings about input it
// read past, and objects it could not express. Shared by the readers and the scene builder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::tree {

// Where in the input something was: a text line or a binary byte offset.
enum class PositionKind { line, byte };

class Diagnostics {
  public:
    struct Entry {
        std::uint64_t position;
        std::string text;   // "skipped NURBCurve" or a warning text
        bool skip = false;  // from skipped(), not warn()
    };
    // Warnings of one kind: the first with its place, and how many of the entries kept are
    // like it (the same text but for numbers and quoted words).
    struct Kind {
        std::uint64_t position;
        std::string_view text;
        std::size_t count;
    };

    // Entries kept at most: junk input can warn once a token, and memory must not follow it.
    // Warnings and skipped objects beyond it are still counted.
    static constexpr std::size_t kMaxEntries = 1000;
    // Type names counted one by one in the summary; further ones count as kOtherTypes.
    static constexpr std::size_t kMaxSkippedNames = 64;
    static constexpr std::string_view kOtherTypes = "objects of other types";
    // Bytes kept of an entry's text and of a type name in the summary: a name can be as long as
    // the file, and a warning may quote it.
    static constexpr std::size_t kMaxEntryBytes = 512;
    static constexpr std::size_t kMaxNameBytes = 80;

    PositionKind position_kind = PositionKind::line;

    // Input that was read past: a stray value, a dangling reference, a clamped count.
    void warn(std::uint64_t position, std::string text);
    // An object the converter reads but cannot express (counted by type for the summary).
    void skipped(std::uint64_t position, std::string_view type_name);

    std::size_t warning_count() const { return warnings_; }
    const std::map<std::string, std::size_t, std::less<>> &skipped_counts() const {
        return skippedCounts_;
    }
    // In input order of arrival: the first kMaxEntries warnings and skipped objects with their
    // positions.
    const std::vector<Entry> &entries() const { return entries_; }

    // The warnings among entries() by kind, in the order each kind first came: what a person
    // reads without --verbose, one line a kind.
    std::vector<Kind> kinds() const;

    // One line for standard error, "" when there is nothing to say:
    // "skipped: 2 NURBCurve, 1 ViewHints; 3 warnings".
    std::string summary() const;
    // "line 12" or "byte 1024".
    std::string where(std::uint64_t position) const;

  private:
    std::map<std::string, std::size_t, std::less<>> skippedCounts_;
    std::vector<Entry> entries_;
    std::size_t warnings_ = 0;
};

// `text` cut to at most `max_bytes`, at a UTF-8 character boundary, with "…" (counted in the
// bytes) where it was cut.
std::string shortened(std::string_view text, std::size_t max_bytes);

}  // namespace tarvex::tree
