#include "conversion/skip_hint.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "core/file_names.h"
#include "readers/text/text_parser.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"
#include "tree/object_type.h"

namespace tarvex {
namespace {

// Kinds named in the line; the rest are counted together, so that the hint stays one line.
constexpr std::size_t kKindsNamed = 4;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

}  // namespace

std::string default_mode_skipped(const std::string &fileName) {
    if (fileName == "stdin") return {};  // already read, and cannot be read twice
    const std::filesystem::path path = path_from_utf8(fileName);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};
    const std::unique_ptr<std::FILE, FileCloser> file(open_file(path, "rb"));
    if (!file) return {};
    tree::ObjectTree tree;
    tree::Diagnostics diagnostics;
    text::parse_text(file.get(), std::filesystem::file_size(path, error), tree, diagnostics);

    // Only what draws counts: the default mode reads triangle meshes and nothing else that does.
    std::map<tree::ObjectType, std::size_t> skipped;
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < tree.node_count(); ++i) {
        const tree::ObjectType type = tree.node(i).type;
        if (tree::is_geometry(type) && type != tree::ObjectType::TriMesh) {
            ++skipped[type];
            ++total;
        }
    }
    if (total == 0) return {};
    std::vector<std::pair<tree::ObjectType, std::size_t>> kinds(skipped.begin(), skipped.end());
    std::stable_sort(kinds.begin(), kinds.end(),
                     [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string line = std::to_string(total) + (total == 1 ? " object (" : " objects (");
    std::size_t kindsShown = 0;
    std::size_t objectsShown = 0;
    for (const auto &[type, count] : kinds) {
        if (kindsShown == kKindsNamed) {
            line += ", " + std::to_string(total - objectsShown) + " of other kinds";
            break;
        }
        if (kindsShown > 0) line += ", ";
        line += std::to_string(count) + " " + std::string(tree::type_name(type));
        ++kindsShown;
        objectsShown += count;
    }
    return line + ")";
}

}  // namespace tarvex
