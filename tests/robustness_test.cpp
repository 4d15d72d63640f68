// Hostile and damaged input, tiny read blocks, huge sizes, and output that must never destroy
// the user's earlier file.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <memory>
#include <random>
#include <thread>

#include "core/convert.h"
#include "core/tokenizer.h"
#include "core/vrml.h"
#include "tests/core_test_support.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEX_CLANG_ASAN 1
#endif
#endif
#ifndef TARVEX_CLANG_ASAN
#define TARVEX_CLANG_ASAN 0
#endif

namespace {

namespace fs = std::filesystem;
using tarvex_test::progress_calls;
using tarvex_test::read_file;
using tarvex_test::write_file;
using namespace std::string_view_literals;

const fs::path kSourceDir = TARVEX_SOURCE_DIR;

struct Conversion {
    int read = -1;
    int written = -1;
    std::string output;
    std::vector<tarvex_test::ProgressCall> progress;
    bool operator==(const Conversion &) const = default;
};

std::int64_t declaredElements() {
    std::int64_t total = 0;
    for (int i = 0; i < tarvex::numberOfShapes(); ++i) {
        const tarvex::Shape &shape = *tarvex::getShape(i);
        total += shape.geometry.coord.point.numPoints + shape.geometry.coordIndex.numPoints;
    }
    return total;
}

// A world that declares millions of elements (as some fuzz inputs do) would be gigabytes of
// text: it is summed up by its counts instead.
Conversion convert(const fs::path &input, const fs::path &output) {
    progress_calls().clear();
    Conversion result;
    result.read = tarvex::read_in(input.string());
    if (const std::int64_t declared = declaredElements(); declared > (1 << 20)) {
        result.output = "declares " + std::to_string(declared);
    } else {
        result.written = tarvex::write_out(output.string());
        result.output = read_file(output);
    }
    result.progress = progress_calls();
    return result;
}

class BlockSize {
  public:
    explicit BlockSize(std::size_t bytes) { tarvex::set_read_block_size(bytes); }
    ~BlockSize() { tarvex::set_read_block_size(old_); }
    BlockSize(const BlockSize &) = delete;
    BlockSize &operator=(const BlockSize &) = delete;

  private:
    std::size_t old_ = tarvex::read_block_size();
};

::testing::AssertionResult wellFormed(const Conversion &c) {
    const bool known = c.read == tarvex::CNV_OK || (c.read > tarvex::CNV_CANT_OPEN && c.read <= 10);
    if (!known) return ::testing::AssertionFailure() << "read result " << c.read;
    if (c.written != 0) return ::testing::AssertionFailure() << "write result " << c.written;
    if (!c.output.starts_with("#VRML V2.0 utf8\n") || !c.output.ends_with("  ]\n}\n")) {
        return ::testing::AssertionFailure() << "output is not a whole world";
    }
    return ::testing::AssertionSuccess();
}

std::vector<fs::path> filesIn(const fs::path &dir, const std::string &extension = "") {
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<fs::path> exampleInputs() {
    auto files = filesIn(kSourceDir / "examples", ".3dmf");
    for (auto &f : filesIn(kSourceDir / "tests" / "data", ".3dmf")) files.push_back(f);
    return files;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Opens and closes the other end of a FIFO without waiting, so that a thread still blocked in
// opening its end returns even when the code under test never opened the FIFO.
void releaseFifo(const fs::path &fifo, int otherEnd) {
    const int fd = open(fifo.c_str(), otherEnd | O_NONBLOCK);
    if (fd >= 0) close(fd);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A FIFO fed by a thread with each part repeated as often as asked, so that huge inputs need no
// disk and are read as a stream of unknown length. The feeder stops when the reader goes away.
class FifoFeeder {
  public:
    using Parts = std::vector<std::pair<std::string, int>>;
    FifoFeeder(const fs::path &path, Parts parts) : path_(path) {
        std::signal(SIGPIPE, SIG_IGN);
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        thread_ = std::thread([path, parts = std::move(parts)] {
            const int fd = open(path.c_str(), O_WRONLY);
            for (const auto &[bytes, times] : parts) {
                for (int i = 0; i < times; ++i) {
                    if (!writeAll(fd, bytes)) return close(fd);
                }
            }
            return close(fd);
        });
    }
    ~FifoFeeder() {
        releaseFifo(path_, O_RDONLY);
        thread_.join();
    }
    FifoFeeder(const FifoFeeder &) = delete;
    FifoFeeder &operator=(const FifoFeeder &) = delete;

  private:
    fs::path path_;
    std::thread thread_;
};

class robustness : public tarvex_test::TempDirTest {
  protected:
    void TearDown() override {
        tarvex::clean_up();
        TempDirTest::TearDown();
    }
};

// Every prefix is read once with the default block and once from a block of exactly its own
// length, so that any read past the end of the input lands outside that heap buffer.
TEST_F(robustness, EveryPrefixOfEveryExampleGivesAResultAndAWholeWorld) {
    for (const fs::path &example : exampleInputs()) {
        const std::string bytes = read_file(example);
        for (std::size_t n = 0; n <= bytes.size(); ++n) {
            write_file(path("in"), bytes.substr(0, n));
            const Conversion whole = convert(path("in"), path("out.wrl"));
            BlockSize exact(std::max<std::size_t>(n, 1));
            const Conversion exactBlock = convert(path("in"), path("out.wrl"));
            ASSERT_TRUE(wellFormed(whole)) << example << " prefix " << n;
            ASSERT_EQ(n == 0, whole.read == tarvex::CNV_EMPTY_FILE) << example << " prefix " << n;
            ASSERT_TRUE(exactBlock == whole) << example << " prefix " << n;
        }
    }
}

TEST_F(robustness, EveryOneByteChangeGivesAResultAndAWholeWorld) {
    static constexpr std::string_view kBytes("\0\n\r \t#:()-.9e\xff", 14);
    for (const fs::path &example : exampleInputs()) {
        const std::string bytes = read_file(example);
        if (bytes.size() > 4096) continue;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::string changed = bytes;
            changed[i] = kBytes[i % kBytes.size()];
            write_file(path("in"), changed);
            const Conversion c = convert(path("in"), path("out.wrl"));
            ASSERT_TRUE(wellFormed(c)) << example << " byte " << i;
            BlockSize tiny(1 + i % 3);
            ASSERT_TRUE(convert(path("in"), path("out.wrl")) == c) << example << " byte " << i;
        }
    }
}

// Block sizes of 1, 2 and 7 bytes put every token, CR LF pair and comment across a boundary.
TEST_F(robustness, TinyReadBlocksChangeNothing) {
    std::vector<fs::path> inputs = exampleInputs();
    for (auto &f : filesIn(kSourceDir / "tests" / "fuzz" / "corpus")) inputs.push_back(f);
    std::string mixed = "# comment\r\nm:\rTriMesh\t(\t1 0 0 0 3 0\r\n0 1 2 # x\n";
    mixed += "1 2 3\r\n4 5 6\r7 8 9 ) DiffuseColor ( 0.25 0.5 0.75 )\r\n";
    mixed += "ForwardDirection ( 0 0 -1 ) CameraPlacement ( 1 2 3 0 0 0 0 1 0 )\r";
    write_file(path("mixed.3dmf"), mixed);
    inputs.push_back(path("mixed.3dmf"));
    // So short that a line end counted one byte early shows in the progress percentage.
    write_file(path("short.3dmf"), "TriMesh ( 0 0 0 0 0 0\r\nx\r\n");
    inputs.push_back(path("short.3dmf"));
    ASSERT_GT(inputs.size(), 3u);
    for (const fs::path &input : inputs) {
        const Conversion reference = convert(input, path("out.wrl"));
        for (std::size_t size : {1, 2, 7}) {
            BlockSize tiny(size);
            EXPECT_TRUE(convert(input, path("out.wrl")) == reference) << input << " at " << size;
        }
    }
}

// A kilobyte that declares 10^8 points: memory follows what the file holds, while the world
// still has every point declared (the unread ones as zeros).
TEST_F(robustness, HugeDeclaredCountUsesMemoryForWhatIsThere) {
    auto scene = [](int declared) {
        std::string text = "big: TriMesh ( 0 0 0 0 " + std::to_string(declared) + " 0\n";
        for (int i = 0; i < 120; ++i) text += "1 2 3\n";
        return text;
    };
    const Conversion small = convert(file("small.3dmf", scene(120)), path("small.wrl"));
    ASSERT_EQ(small.read, tarvex::CNV_OK);
    const std::size_t pointsEnd = small.output.find("          ]\n");
    ASSERT_NE(pointsEnd, std::string::npos);

    constexpr std::int64_t kDeclared = 100'000'000;
    const std::string big = scene(kDeclared);
    ASSERT_LT(big.size(), 1024u);
    const long rssBefore = peakRssKb();
    ASSERT_EQ(tarvex::read_in(file("big.3dmf", big)), tarvex::CNV_OK);
    const auto &points = tarvex::getShape(0)->geometry.coord.point;
    EXPECT_EQ(points.v.size(), 120u);
    EXPECT_LE(points.v.capacity() * sizeof(tarvex::SFVec3f), 4 * big.size());

    std::int64_t bytes = 0, lines = 0;
    std::string head, tail;
    const fs::path fifo = path("out.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        std::vector<char> buffer(1 << 20);
        ssize_t n;
        while ((n = read(fd, buffer.data(), buffer.size())) > 0) {
            const std::string_view chunk(buffer.data(), static_cast<std::size_t>(n));
            if (head.size() < pointsEnd) head.append(chunk.substr(0, pointsEnd - head.size()));
            tail.append(chunk);
            if (tail.size() > 4096) tail.erase(0, tail.size() - 4096);
            lines += std::count(chunk.begin(), chunk.end(), '\n');
            bytes += n;
        }
        close(fd);
    });
    const int written = tarvex::write_out(fifo.string());
    releaseFifo(fifo, O_WRONLY);
    reader.join();
    EXPECT_EQ(written, 0);
    EXPECT_LT(peakRssKb() - rssBefore, 64 * 1024);

    const std::string zeroLine = "            0.000000 0.000000 0.000000\n";
    const std::int64_t unread = kDeclared - 120;
    EXPECT_EQ(bytes, static_cast<std::int64_t>(small.output.size()) +
                         unread * static_cast<std::int64_t>(zeroLine.size()));
    EXPECT_EQ(lines, std::count(small.output.begin(), small.output.end(), '\n') + unread);
    EXPECT_EQ(head, small.output.substr(0, pointsEnd));
    EXPECT_TRUE(tail.ends_with(zeroLine + small.output.substr(pointsEnd)));
}

// 100 MB of tokens that start nothing, as a stream: read to the end in bounded memory (a
// quadratic pass would never finish within the test's time limit).
TEST_F(robustness, JunkStreamIsReadToTheEndInBoundedMemory) {
    const std::string words =
        "Container|(|)|BeginGroup|EndGroup|x:|label:|3DMetafile|1|-2.5|1e9|True|False|Box|"
        "DiffuseColor|Light|LightData|#junk comment\n|\r\n|\n|\r|\t|TableOfContents|TriMes|"
        "trimesh|\x80\xfe\xff|((((|::|#|\x01\x02";
    std::vector<std::string_view> vocabulary;
    for (std::size_t from = 0, bar; from < words.size(); from = bar + 1) {
        bar = std::min(words.find('|', from), words.size());
        vocabulary.push_back(std::string_view(words).substr(from, bar - from));
    }
    std::mt19937 random(5);
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk.append(vocabulary[random() % vocabulary.size()]) += ' ';
    FifoFeeder feeder(
        path("in.fifo"),
        // The ")" on a line of its own ends any table of contents, whatever comment came before.
        {{chunk + "\n)\n", 100}, {"end: TriMesh ( 1 0 0 0 3 0 0 1 2 1 2 3 4 5 6 7 8 9 )", 1}});
    const long rssBefore = peakRssKb();
    EXPECT_EQ(tarvex::read_in(path("in.fifo").string()), tarvex::CNV_OK);
    EXPECT_LT(peakRssKb() - rssBefore, 64 * 1024);
    ASSERT_EQ(tarvex::numberOfShapes(), 1);
    EXPECT_EQ(tarvex::getShape(0)->defName, "end");
    EXPECT_EQ(tarvex::getShape(0)->geometry.coord.point.v.size(), 3u);
}

TEST_F(robustness, TenMegabyteLabelIsKeptInFull) {
    std::string name(10 << 20, 'n');
    for (std::size_t i = 0; i < name.size(); i += 4096) name[i] = static_cast<char>('a' + i % 26);
    write_file(path("in.3dmf"), name + ":\nTriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 )\n" +
                                    name + ": CameraPlacement ( 0 0 5 0 0 0 0 1 0 )\n");
    const Conversion c = convert(path("in.3dmf"), path("out.wrl"));
    ASSERT_TRUE(wellFormed(c));
    EXPECT_EQ(c.read, tarvex::CNV_OK);
    EXPECT_NE(c.output.find("    DEF " + name + " Shape {"), std::string::npos);
    EXPECT_NE(c.output.find("DEF " + name + " Viewpoint{"), std::string::npos);
    EXPECT_NE(c.output.find("description \"" + name + "\""), std::string::npos);
    ASSERT_FALSE(c.progress.empty());
    EXPECT_TRUE(c.progress[0].line.starts_with(name + ": "));
}

// A 50 MB token, a 50 MB comment and 50 MB of coordinates, each on one line.
TEST_F(robustness, FiftyMegabyteLinesAreReadInFull) {
    constexpr std::size_t kLine = 50u << 20;
    constexpr int kPoints = static_cast<int>(kLine / 12);
    std::string points = "\nlong: TriMesh ( 0 0 0 0 " + std::to_string(kPoints) + " 0 ";
    for (int i = 0; i < kPoints; ++i) points += i % 2 ? "0.5 -1 2 " : "7 8 9.25 ";  // 12 bytes
    const std::string block(1 << 20, 'w');
    FifoFeeder feeder(
        path("in.fifo"),
        {{block, 50}, {"\n#", 1}, {block, 50}, {points + "\nDiffuseColor ( 0 1 0 )\n", 1}});
    ASSERT_EQ(tarvex::read_in(path("in.fifo").string()), tarvex::CNV_OK);
    ASSERT_EQ(tarvex::numberOfShapes(), 1);
    const tarvex::Shape &shape = *tarvex::getShape(0);
    ASSERT_EQ(shape.geometry.coord.point.v.size(), static_cast<std::size_t>(kPoints));
    const tarvex::SFVec3f last = shape.geometry.coord.point.v.back();
    EXPECT_EQ(last.x, 0.5f);
    EXPECT_EQ(last.z, 2.0f);
    EXPECT_EQ(shape.appearance.material.diffuseColor.g, 1.0f);
    EXPECT_EQ(tarvex::write_out("/dev/null"), 0);
}

TEST_F(robustness, BinaryGarbageAndNulBytesGiveAResult) {
    std::mt19937 random(11);
    std::string garbage(4 << 20, '\0');
    for (char &c : garbage) c = static_cast<char>(random());
    EXPECT_TRUE(wellFormed(convert(file("garbage", garbage), path("out.wrl"))));

    const Conversion nuls = convert(file("nuls", std::string(1 << 20, '\0')), path("out.wrl"));
    EXPECT_EQ(nuls.read, tarvex::CNV_OK);
    EXPECT_EQ(tarvex::numberOfShapes() + tarvex::numberOfViewpoints(), 0);

    // A NUL ends the text of its line; the next line is read as usual.
    const std::string text(
        std::string_view("a: TriMesh ( 9 9 9\0 9 9 9\nb: TriMesh ( 1 0 0 0 3 0"sv));
    EXPECT_EQ(convert(file("nul", text), path("out.wrl")).read, tarvex::CNV_BAD_TRI_MESH_SPEC);
}

// A token longer than the memory left is a result code, not an abort. Sanitizers reserve more
// address space than any limit here would allow.
TEST_F(robustness, TokenLargerThanTheMemoryLeftGivesAResult) {
#if defined(__SANITIZE_ADDRESS__) || TARVEX_CLANG_ASAN
    GTEST_SKIP() << "address space limits do not work under AddressSanitizer";
#endif
    const fs::path fifo = path("in.fifo");
    FifoFeeder feeder(fifo, {{std::string(1 << 20, 'x'), 1024}});
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::ifstream statm("/proc/self/statm");
        rlim_t pages = 0;
        statm >> pages;
        const rlim_t limit = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (256u << 20);
        const rlimit space{limit, limit};
        setrlimit(RLIMIT_AS, &space);
        try {
            _exit(tarvex::read_in(fifo.string()));
        } catch (...) {
            _exit(255);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), tarvex::CNV_CANT_ALLOC_NODE);
}

// Output that fails part way must leave the user's earlier file as it was. A file size limit
// makes every write past a few kilobytes fail, on any file system and without privileges.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    rlimit old_{};
};

class output : public robustness {
  protected:
    void SetUp() override {
        robustness::SetUp();
        std::string scene = "m: TriMesh ( 0 0 0 0 2000 0\n";
        for (int i = 0; i < 2000; ++i) scene += std::to_string(i) + " 1 2\n";
        ASSERT_EQ(tarvex::read_in(file("in.3dmf", scene)), tarvex::CNV_OK);
        ASSERT_EQ(tarvex::write_out(path("expected.wrl").string()), 0);
        expected_ = read_file(path("expected.wrl"));
        ASSERT_GT(expected_.size(), 64u << 10);
    }
    std::vector<std::string> entries(const fs::path &dir) const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string expected_;
};

TEST_F(output, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    write_file(path("old.wrl"), "the user's earlier world\n");
    const auto before = entries(dir_);
    {
        FileSizeLimit limit(16 << 10);
        EXPECT_EQ(tarvex::write_out(path("old.wrl").string()), 1);
        EXPECT_EQ(tarvex::write_out(path("new.wrl").string()), 1);
    }
    EXPECT_EQ(read_file(path("old.wrl")), "the user's earlier world\n");
    EXPECT_EQ(entries(dir_), before);
    EXPECT_EQ(tarvex::write_out("/dev/full"), 1);
}

TEST_F(output, ReplacementKeepsPermissionsAndFollowsLinks) {
    fs::create_directory(path("sub"));
    write_file(path("sub/real.wrl"), "old");
    fs::permissions(path("sub/real.wrl"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("sub/real.wrl", path("link.wrl"));
    write_file(path("plain.wrl"), "old");
    fs::permissions(path("plain.wrl"), fs::perms::owner_all | fs::perms::others_read);
    const auto before = entries(dir_);

    ASSERT_EQ(tarvex::write_out(path("link.wrl").string()), 0);
    ASSERT_EQ(tarvex::write_out(path("plain.wrl").string()), 0);
    EXPECT_EQ(read_file(path("sub/real.wrl")), expected_);
    EXPECT_EQ(read_file(path("plain.wrl")), expected_);
    EXPECT_TRUE(fs::is_symlink(path("link.wrl")));
    EXPECT_EQ(fs::read_symlink(path("link.wrl")), "sub/real.wrl");
    EXPECT_EQ(fs::status(path("sub/real.wrl")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::status(path("plain.wrl")).permissions(),
              fs::perms::owner_all | fs::perms::others_read);
    EXPECT_EQ(entries(dir_), before);
    EXPECT_EQ(entries(path("sub")), std::vector<std::string>{"real.wrl"});
}

TEST_F(output, DevicesFifosAndDirectoriesAreWrittenInPlace) {
    EXPECT_EQ(tarvex::write_out("/dev/null"), 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    std::string received;
    const fs::path fifo = path("out.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread reader([&] { received = read_file(fifo); });
    EXPECT_EQ(tarvex::write_out(fifo.string()), 0);
    releaseFifo(fifo, O_WRONLY);
    reader.join();
    EXPECT_EQ(received, expected_);
    EXPECT_TRUE(fs::is_fifo(fifo));

    const auto before = entries(dir_);
    EXPECT_EQ(tarvex::write_out(dir_.string()), 1);
    EXPECT_EQ(tarvex::write_out((dir_ / "missing" / "out.wrl").string()), 1);
    EXPECT_EQ(entries(dir_), before);
}

}  // namespace
