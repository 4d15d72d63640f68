// Hostile and damaged input, tiny read blocks, huge sizes, and output that never destroys the
// user's earlier file.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "core/convert.h"
#include "core/tokenizer.h"
#include "tests/core/core_test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvex;
using namespace tarvex_test;

struct robustness : TempDirTest {
    // The read result, the output and the progress calls of a conversion, which must give a
    // known result and write a whole world.
    std::string convert(const std::string &input) {
        progress_calls().clear();
        const int read = read_in(input, recording());
        EXPECT_TRUE(read >= 0 && read <= 10 && read != CNV_CANT_OPEN) << read;
        EXPECT_EQ(write_out(path("out.wrl").string(), OutputMode::text, recording()), 0);
        std::string out = read_file(path("out.wrl"));
        for (auto &c : progress_calls()) out.append(std::to_string(c.pct)).append(c.line) += '\n';
        return out.append(std::to_string(read));
    }
    // Bytes this process has handed to write(): a counting sink is then /dev/null.
    static std::size_t bytesWritten() {
        const std::string io = read_file("/proc/self/io");
        return std::stoull(io.substr(io.find("wchar:") + 6));
    }
};

// Every prefix and every one-byte change of the examples gives a known result, read from blocks
// of 1 to 7 bytes; the examples and the saved fuzz inputs (CR LF- and comment-heavy ones among
// them) convert the same from blocks of 1, 2 and 7 bytes, which put every token, comment and
// CR LF pair across a block boundary, as from the default block.
TEST_F(robustness, DamagedInputsGiveAResultAndTheReadBlockSizeChangesNothing) {
    const std::size_t standard = read_block_size();
    for (const std::string dir : {"examples", "tests/data", "tests/fuzz/corpus"}) {
        for (const auto &entry :
             fs::recursive_directory_iterator(fs::path(TARVEX_SOURCE_DIR) / dir)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".wrl") continue;
            const std::string bytes = read_file(entry.path());
            const std::size_t n = bytes.size();
            // k < n: the first k bytes; n <= k < 2n: byte k - n changed.
            for (std::size_t k = dir.ends_with("corpus") ? 2 * n : 0; k < 2 * n; ++k) {
                std::string input = bytes.substr(0, k);
                if (k >= n) input[k - n] = "\0\n\r \t#:()-.9e\xff"[k % 14];
                set_read_block_size(k % 7 + 1);
                convert(file("in", input));
                ASSERT_FALSE(HasFailure()) << input;
            }
            set_read_block_size(standard);
            const std::string reference = convert(file("in", bytes));
            for (const std::size_t size : {1u, 2u, 7u}) {
                set_read_block_size(size);
                ASSERT_EQ(convert(path("in")), reference) << entry.path() << " at " << size;
            }
        }
    }
}

// Declared counts claim neither memory nor output: a few bytes declaring a hundred million points
// give the world of the points that came, and billions of triangles reserve room for a few. (Which
// triangles a mesh cut short keeps is writer_test's unnamed_and_partial; the result codes of
// cut-off meshes are reader_test's.)
TEST_F(robustness, DeclaredCountsCostOnlyWhatTheFileHolds) {
    std::string text = "big: TriMesh ( 0 0 0 0 101 0\n";
    for (int i = 0; i < 100; ++i) text += "1 2 3\n";
    convert(file("in", text));
    const std::string hundred = read_file(path("out.wrl"));
    ASSERT_EQ(read_in(file("in", text.replace(text.find("101"), 3, "100000000"))), CNV_OK);
    EXPECT_LE(getShape(0)->geometry.coord.point.v.capacity(), text.size());
    convert(path("in"));
    EXPECT_EQ(read_file(path("out.wrl")), hundred);
    ASSERT_EQ(read_in(file("in", "TriMesh ( 2000000000 0 0 0 3 0 0 1 2")), CNV_OK);
    EXPECT_LE(getShape(0)->geometry.coordIndex.v.capacity(), 64u);
}

// 100 MB of tokens that start nothing: read to the end (a quadratic pass would not finish within
// the test's time limit). The ")" on a line of its own ends any table of contents.
TEST_F(robustness, HundredMegabytesOfJunkAreReadToTheEnd) {
    std::string junk;
    while (junk.size() < (100u << 20))
        junk += "Container ( BeginGroup x: 1 -2.5 #junk\n(\r\n)\n\t\rTableOfContents :#\377\n)\n";
    EXPECT_EQ(read_in(file("in", junk + "end: TriMesh ( 0 0 0 0 1 0")), CNV_OK);
    EXPECT_EQ(numberOfShapes(), 1);
}

TEST_F(robustness, LongLabelsAndLinesAreReadInFull) {
    std::string name(10 << 20, 'n');
    for (std::size_t i = 0; i < name.size(); i += 4096) name[i] = static_cast<char>('a' + i % 26);
    const std::string out = convert(file("in", name + ":\nTriMesh ( 0 0 0 0 1 0"));
    EXPECT_TRUE(getShape(0)->defName == name);
    EXPECT_NE(out.find(std::string("DEF ").append(name).append(" Shape {")), std::string::npos);
    // A 50 MB token, a 50 MB comment and 50 MB of coordinates, each on one line.
    constexpr int kPoints = (50 << 20) / 12;
    std::string text = std::string(50 << 20, 'w').append("\n#").append(50 << 20, 'w');
    text.append("\nlong: TriMesh ( 0 0 0 0 ").append(std::to_string(kPoints)).append(" 0 ");
    for (int i = 0; i < kPoints; ++i) text += i % 2 ? "0.5 -1 2 " : "7 8 9.25 ";  // 12 bytes
    ASSERT_EQ(read_in(file("in", text.append("\nDiffuseColor ( 0 1 0 )"))), CNV_OK);
    EXPECT_EQ(getShape(0)->geometry.coord.point.v.at(kPoints - 1).x, 0.5f);
    EXPECT_EQ(getShape(0)->appearance.material.diffuseColor.g, 1.0f);
}

// Pseudo-random bytes, then a megabyte of NULs (a NUL ends the text of its line): convert checks
// the result.
TEST_F(robustness, BinaryGarbageAndNulBytesGiveAResult) {
    std::string garbage(4 << 20, '\0');
    for (std::uint32_t i = 0; i < (3 << 20); ++i) garbage[i] = char(i * 2654435761u >> 24);
    convert(file("in", garbage));
}

// A token longer than the memory left is a result code, not an abort. AddressSanitizer reserves
// more memory than any limit here would allow.
TEST_F(robustness, TokenLargerThanTheMemoryLeftGivesAResult) {
    if (dlsym(RTLD_DEFAULT, "__asan_init")) GTEST_SKIP() << "not under AddressSanitizer";
    file("in", std::string(100 << 20, 'x'));
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{128 << 20, 128 << 20};
        setrlimit(RLIMIT_DATA, &limit);
        _exit(read_in(path("in").string()));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == CNV_CANT_ALLOC_NODE) << status;
}

// A failing write (past a file size limit, or to a full device) leaves the earlier file as it
// was and no temporary; a successful one keeps its permission bits and follows a link, which
// stays. FIFOs and devices are written in place.
TEST_F(robustness, WritingNeverDestroysTheEarlierFile) {
    std::string mesh = "m: TriMesh ( 0 0 0 0 200 0\n";
    for (int i = 0; i < 200; ++i) mesh += "1 2 3\n";
    convert(file("in", mesh));
    const std::string expected = read_file(path("out.wrl"));
    fs::create_directory(path("sub"));
    write_file(path("sub/real.wrl"), "old");
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    fs::permissions(path("sub/real.wrl"), perms);
    fs::create_symlink("sub/real.wrl", path("link.wrl"));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(write_out(path("link.wrl").string()), 1);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(read_file(path("sub/real.wrl")), "old");
    EXPECT_EQ(write_out("/dev/full"), 1);
    EXPECT_EQ(write_out(path("link.wrl").string()), 0);
    EXPECT_EQ(read_file(path("sub/real.wrl")), expected);
    EXPECT_EQ(fs::read_symlink(path("link.wrl")), "sub/real.wrl");
    EXPECT_EQ(fs::status(path("sub/real.wrl")).permissions(), perms);
    EXPECT_EQ(std::distance(fs::directory_iterator(path("sub")), {}), 1);  // no temporary left
    // Our own end, which both reads and writes, keeps what write_out puts into the FIFO.
    ASSERT_EQ(mkfifo(path("out.fifo").c_str(), 0600), 0);
    const int fifo = open(path("out.fifo").c_str(), O_RDWR | O_NONBLOCK);
    EXPECT_EQ(write_out(path("out.fifo").string()), 0);
    char received[1 << 16];
    EXPECT_EQ(read(fifo, received, sizeof received), static_cast<ssize_t>(expected.size()));
    close(fifo);
}

}  // namespace
