// What the end-to-end tests share: the 3DMF files they convert (our own, and the real corpus
// beside the repository where it is present), and counting in the text they write.
#pragma once

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace tarvex::measure {

// The regular files of each folder in turn, each folder's sorted; a missing folder gives none.
inline std::vector<std::filesystem::path> files_in(
    std::initializer_list<std::filesystem::path> folders) {
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::path &folder : folders) {
        if (!std::filesystem::is_directory(folder)) continue;
        const std::ptrdiff_t first = std::ssize(files);
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin() + first, files.end());
    }
    return files;
}

// Our own files: the hand-made shapes, the glTF writer's, and the example scene.
inline std::vector<std::filesystem::path> own_files(const std::filesystem::path &source) {
    std::vector<std::filesystem::path> files =
        files_in({source / "tests/data/shapes", source / "tests/writers/gltf/data"});
    files.push_back(source / "examples/scene.3dmf");
    return files;
}

inline std::vector<std::filesystem::path> corpus_files(const std::filesystem::path &corpus) {
    return files_in({corpus / "3dmf", corpus / "3dmf-binary"});
}

inline std::size_t occurrences(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace tarvex::measure
