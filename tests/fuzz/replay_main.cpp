// Replays saved fuzz inputs through the fuzz entry point without libFuzzer: every file named on
// the command line, and every file under each directory named. Any fault aborts the run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

bool replay(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    // A heap buffer of exactly the input's size, so that a read past its end is caught.
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path root(argv[i]);
        std::error_code error;
        if (!std::filesystem::is_directory(root, error)) {
            ok = replay(root) && ok;
            ++replayed;
            continue;
        }
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root, error)) {
            if (!entry.is_regular_file()) continue;
            ok = replay(entry.path()) && ok;
            ++replayed;
        }
        if (error) {
            std::fprintf(stderr, "cannot list %s\n", root.string().c_str());
            ok = false;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return ok && replayed > 0 ? 0 : 1;
}
