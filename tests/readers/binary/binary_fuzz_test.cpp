// Hostile input: every prefix and many one-byte changes of real binary files (and of binary
// twins of text files) must each give a result, within memory proportional to the input. Run under
// AddressSanitizer in the sanitizer build, each input in its own buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "binary_writer.h"
#include "readers/binary/binary_reader.h"
#include "readers/text/text_parser.h"
#include "tree_text.h"

// Every byte the program holds through new, counted here rather than by the reader's own account
// of itself, so that a forgotten table or a wrong estimate cannot hide. Each block carries its
// size in front of it. Kept out of line: inlined at a delete, the compiler would take the step
// back to the header for a mismatched free.
namespace heap {
std::size_t live = 0;
std::size_t peak = 0;
constexpr std::size_t kHeader = alignof(std::max_align_t);
}  // namespace heap

[[gnu::noinline]] void *operator new(std::size_t size) {
    auto *block = static_cast<unsigned char *>(std::malloc(size + heap::kHeader));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<std::size_t *>(block) = size;
    heap::live += size;
    heap::peak = std::max(heap::peak, heap::live);
    return block + heap::kHeader;
}
void *operator new[](std::size_t size) {
    return operator new(size);
}
// The library asks these of the sanitizer's allocator unless they are replaced too.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}
[[gnu::noinline]] void operator delete(void *p) noexcept {
    if (p == nullptr) return;
    auto *block = static_cast<unsigned char *>(p) - heap::kHeader;
    heap::live -= *reinterpret_cast<std::size_t *>(block);
    std::free(block);
}
void operator delete[](void *p) noexcept {
    operator delete(p);
}
void operator delete(void *p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
    operator delete(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
    operator delete(p);
}

namespace tarvex::binary {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

struct Input {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Input> inputs() {
    std::vector<Input> list;
    const fs::path corpus(TARVEX_CORPUS_DIR);
    for (const char *name :
         {"qb-target.3dm", "qb-triangle.3dmf", "qb-quesa-logo.3dmf", "qb-podracer.3dmf"}) {
        auto bytes = read_file<std::vector<std::uint8_t>>(corpus / "3dmf-binary" / name);
        if (!bytes.empty()) list.push_back(Input{name, std::move(bytes)});
    }
    // Twins carry what the real files lack: groups, tables of contents, references, strings,
    // custom types, raw pixel data, meshes.
    for (const char *name :
         {"q-references.3dmf", "q-flip-shadow.3dmf", "q-mesh.3dmf", "q-tx24-big.3dmf",
          "q-trimesh-fancy.3dmf", "q-logo-text.3dmf", "q-genpoly-star0.3dmf", "q-nurbpatch.3dmf"}) {
        const std::string text = read_file(corpus / "3dmf" / name);
        if (text.empty()) continue;
        tree::ObjectTree tree;
        tree::Diagnostics diagnostics;
        text::parse_text(text, tree, diagnostics);
        list.push_back(Input{std::string("twin of ") + name, testing::write_binary(tree).bytes});
    }
    return list;
}

// One reading of `bytes` in a buffer of exactly its size (so that ASan sees any overread).
void readChecked(const std::vector<std::uint8_t> &bytes, const std::string &what) {
    const std::vector<std::uint8_t> copy(bytes);
    const std::size_t before = heap::live;
    heap::peak = heap::live;
    tree::ObjectTree tree;
    tree::Diagnostics diagnostics;
    const ReadResult result = read_binary(copy, tree, diagnostics);
    if (!result.ok) {
        ASSERT_FALSE(result.message.empty()) << what;
        ASSERT_LE(result.offset, copy.size()) << what;
    }
    // Everything the reading held at its peak (the tree, its tables, its messages) stays within a
    // small multiple of the input: under 8 bytes a byte on every input here, 16 allowed.
    ASSERT_LE(heap::peak - before, 16 * copy.size() + 8192) << what;
    ASSERT_LE(diagnostics.entries().size(), copy.size() / 8 + 1) << what;
}

TEST(binary_fuzz, every_prefix_gives_a_result) {
    const std::vector<Input> list = inputs();
    if (list.empty()) GTEST_SKIP() << "corpus not found";
    for (const Input &input : list) {
        std::vector<std::uint8_t> prefix;
        prefix.reserve(input.bytes.size());
        for (std::size_t length = 0; length <= input.bytes.size(); ++length) {
            readChecked(prefix, input.name + " cut at " + std::to_string(length));
            if (length < input.bytes.size()) prefix.push_back(input.bytes[length]);
        }
        // The whole input reads without complaint.
        tree::ObjectTree tree;
        tree::Diagnostics diagnostics;
        const ReadResult result = read_binary(input.bytes, tree, diagnostics);
        EXPECT_TRUE(result.ok) << input.name << ": byte " << result.offset << ": "
                               << result.message;
    }
}

TEST(binary_fuzz, one_byte_changes_give_a_result) {
    const std::vector<Input> list = inputs();
    if (list.empty()) GTEST_SKIP() << "corpus not found";
    for (const Input &input : list) {
        std::vector<std::uint8_t> changed = input.bytes;
        // Every byte of small inputs; big ones every fourth byte past their first 4 KiB.
        const std::size_t stride = input.bytes.size() > 8192 ? 4 : 1;
        for (std::size_t at = 0; at < changed.size(); at += at < 4096 ? 1 : stride) {
            const std::uint8_t original = changed[at];
            for (const std::uint8_t value :
                 {std::uint8_t(original ^ 0xFF), std::uint8_t(original ^ 0x01), std::uint8_t(0)}) {
                changed[at] = value;
                readChecked(changed, input.name + " with byte " + std::to_string(at) + " = " +
                                         std::to_string(value));
            }
            changed[at] = original;
        }
    }
}

}  // namespace
}  // namespace tarvex::binary
