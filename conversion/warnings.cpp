#include "conversion/warnings.h"

namespace tarvex::conversion {

std::vector<std::string> warning_lines(const tree::Diagnostics &diagnostics,
                                       const std::string &input, bool verbose) {
    const char *at = diagnostics.position_kind == tree::PositionKind::byte ? ": byte " : ":";
    std::vector<std::string> lines;
    if (verbose) {
        for (const tree::Diagnostics::Entry &entry : diagnostics.entries())
            lines.push_back(input + at + std::to_string(entry.position) + ": " + entry.text);
        return lines;
    }
    for (const tree::Diagnostics::Kind &kind : diagnostics.kinds()) {
        std::string line = input + at + std::to_string(kind.position) + ": ";
        line.append(kind.text);
        if (kind.count > 1) line += " (and " + std::to_string(kind.count - 1) + " more like it)";
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace tarvex::conversion
