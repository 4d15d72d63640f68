// Writes the binary twin of each 3DMF text file named, for the binary fuzz target's seeds:
//   fuzz_make_twins OUTDIR FILE...
// A twin is written even when the binary form cannot hold everything the text says: the reader
// meets it the same way.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "binary_writer.h"
#include "readers/binary/binary_reader.h"
#include "readers/text/text_parser.h"
#include "tree/diagnostics.h"

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_make_twins OUTDIR FILE...\n");
        return 1;
    }
    namespace fs = std::filesystem;
    const fs::path outDir = argv[1];
    fs::create_directories(outDir);
    int written = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        if (tarvex::binary::looks_binary(
                {reinterpret_cast<const std::uint8_t *>(text.data()), text.size()}))
            continue;
        tarvex::tree::ObjectTree tree;
        tarvex::tree::Diagnostics diagnostics;
        tarvex::text::parse_text(text, tree, diagnostics);
        const auto twin = tarvex::binary::testing::write_binary(tree);
        std::ofstream out(outDir / (fs::path(argv[i]).filename().string() + ".twin"),
                          std::ios::binary);
        out.write(reinterpret_cast<const char *>(twin.bytes.data()),
                  static_cast<std::streamsize>(twin.bytes.size()));
        written += out.good();
    }
    std::printf("%d binary twins in %s\n", written, outDir.string().c_str());
    return 0;
}
