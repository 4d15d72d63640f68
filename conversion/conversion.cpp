#include "conversion/conversion.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <span>
#include <system_error>
#include <vector>

#include "core/file_names.h"
#include "core/output_buffer.h"
#include "core/result_codes.h"
#include "core/stdin_prefix.h"
#include "readers/binary/binary_reader.h"
#include "readers/text/text_parser.h"
#include "writers/common/write_problems.h"
#if TARVEX_GLTF
#include "writers/gltf/gltf_writer.h"
#endif
#include "writers/vrml97/scene_writer.h"
#include "writers/x3d/x3d_writer.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace tarvex::conversion {
namespace {

struct Input {
    std::FILE *file = nullptr;
    bool owned = false;
    std::uint64_t size = 0;  // 0 when unknown (standard input, FIFOs)

    ~Input() {
        if (owned && file != nullptr) std::fclose(file);
    }
};

bool openInput(const std::string &fileName, Input &input) {
    if (fileName == "stdin") {
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        input.file = stdin;
        return true;
    }
    const std::filesystem::path path = path_from_utf8(fileName);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    input.file = open_file(path, "rb");
    if (input.file == nullptr) return false;
    input.owned = true;
    if (std::filesystem::is_regular_file(path, ec)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec) input.size = size;
    }
    return true;
}

// Whatever cannot be rewound (standard input, a FIFO, a device) is read whole, so that its first
// bytes can decide the encoding; its size then bounds the memory, as for a binary file. Bytes a
// program took from standard input to look at come first. More than `most` bytes are not taken
// in: a stream has no end to promise (/dev/zero), and a file that large is better named, to be
// read from the disk as it goes.
enum class Whole { read, failed, too_large };
Whole readAll(std::FILE *file, std::vector<std::uint8_t> &bytes, std::uint64_t most) {
    if (file == stdin) {
        const std::string prefix = take_stdin_prefix();
        bytes.assign(prefix.begin(), prefix.end());
    }
    std::array<std::uint8_t, 65536> block;
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (bytes.size() + got > most) return Whole::too_large;
        bytes.insert(bytes.end(), block.begin(), block.begin() + got);
        if (got < block.size()) return std::ferror(file) == 0 ? Whole::read : Whole::failed;
    }
}

// What a writer had to mend, as warnings.
// "3 numbers ...", or nothing for none.
void addCount(std::vector<std::string> &repairs, std::uint64_t count, const char *one,
              const char *many) {
    if (count > 0) repairs.push_back(std::to_string(count) + (count == 1 ? one : many));
}

// Every writer writes a number that is not finite as 0, and says so alike.
void addNonFinite(std::vector<std::string> &repairs, std::uint64_t count) {
    addCount(repairs, count, " number that is not finite written as 0",
             " numbers that are not finite written as 0");
}

void addRepairs(const writers::WriteProblems &problems, std::vector<std::string> &repairs) {
    addNonFinite(repairs, problems.non_finite_numbers);
    addCount(repairs, problems.bad_indices, " index out of range written as 0",
             " indices out of range written as 0");
    addCount(repairs, problems.dropped, " node or array that VRML cannot hold left out",
             " nodes or arrays that VRML cannot hold left out");
}

}  // namespace

bool is_binary_input(const std::string &fileName) {
    std::string head;
    if (fileName == "stdin") {
#if defined(_WIN32)
        // Before the first read: text mode would translate line ends and stop at a Ctrl-Z, and
        // what it buffered would stay translated.
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        // Bytes an earlier look took come first, in their order; all go back for the reader.
        head = take_stdin_prefix();
        const std::size_t had = head.size();
        if (had < 4) {
            head.resize(4);
            head.resize(had + std::fread(head.data() + had, 1, 4 - had, stdin));
        }
        push_back_stdin(head);
    } else if (std::FILE *file = open_file(path_from_utf8(fileName), "rb")) {
        head.resize(4);
        head.resize(std::fread(head.data(), 1, head.size(), file));
        std::fclose(file);
    }
    return binary::looks_binary(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(head.data()),
                                      std::min<std::size_t>(head.size(), 4)));
}

Mode mode_for(const std::string &fileName, const Options &options) {
    return options.full || is_binary_input(fileName) ? Mode::full : Mode::default_mode;
}

Conversion::Conversion()
    : tree_(std::make_unique<tree::ObjectTree>()), scene_(std::make_unique<scene::Scene>()) {}

Conversion::~Conversion() = default;

const Result &Conversion::read(const std::string &fileName, const Options &options,
                               const Progress &progress) {
    start(mode_for(fileName, options));
    // Full mode leaves the store alone: another thread may be reading into it.
    if (result_.mode == Mode::full)
        readFull(fileName, nullptr, options, progress);
    else
        readDefault(fileName, progress);
    return result_;
}

const Result &Conversion::read_bytes(std::string_view bytes, const std::string &name,
                                     const Options &options, const Progress &progress) {
    const bool binary = binary::looks_binary(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                      std::min<std::size_t>(bytes.size(), 4)));
    start(options.full || binary ? Mode::full : Mode::default_mode);
    if (result_.mode == Mode::full) {
        readFull(name, &bytes, options, progress);
    } else {
        const int code = read_in_memory(bytes, progress);
        if (code != CNV_OK) fail(statusOf(code), code, name);
    }
    return result_;
}

void Conversion::start(Mode mode) {
    // The scene borrows from the tree: drop the scene first.
    scene_ = std::make_unique<scene::Scene>();
    tree_ = std::make_unique<tree::ObjectTree>();
    diagnostics_ = tree::Diagnostics{};
    outline_.clear();
    built_ = builder::BuildResult{};
    binary_ = false;
    result_ = Result{};
    result_.mode = mode;
    errno = 0;
}

Status Conversion::statusOf(int code) {
    switch (code) {
        case CNV_CANT_OPEN:
            return Status::cant_open;
        case CNV_EMPTY_FILE:
            return Status::empty;
        case CNV_READ_ERROR:
            return Status::read_error;
        default:
            return Status::failed;
    }
}

void Conversion::fail(Status status, int code, const std::string &fileName) {
    result_.system_error = errno;
    result_.status = status;
    result_.code = code;
    result_.message = read_result_message(code, fileName);
}

void Conversion::readDefault(const std::string &fileName, const Progress &progress) {
    const int code = read_in(fileName, progress);
    if (code != CNV_OK) fail(statusOf(code), code, fileName);
}

void Conversion::readFull(const std::string &fileName, const std::string_view *memory,
                          const Options &options, const Progress &progress) {
    Input input;
    if (memory == nullptr && !openInput(fileName, input))
        return fail(Status::cant_open, CNV_CANT_OPEN, fileName);

    // Peek at the header where the input can be rewound; otherwise take it all in.
    std::array<std::uint8_t, 4> head{};
    std::size_t headBytes = 0;
    std::vector<std::uint8_t> read;
    std::span<const std::uint8_t> whole;
    if (memory != nullptr)
        whole = {reinterpret_cast<const std::uint8_t *>(memory->data()), memory->size()};
    bool inMemory = memory != nullptr || input.size == 0;
    if (!inMemory) {
        headBytes = std::fread(head.data(), 1, head.size(), input.file);
        if (std::fseek(input.file, 0, SEEK_SET) != 0) inMemory = true;  // cannot happen often
    }
    // A read that fails part-way is no end of input: what came before is still converted, and
    // the failure reported.
    bool readFailed = false;
    if (inMemory) {
        if (memory == nullptr) {
            const std::uint64_t most =
                options.max_stream != 0 ? options.max_stream : kMaxStreamBytes;
            const Whole got = readAll(input.file, read, most);
            if (got == Whole::too_large) {
                result_.status = Status::failed;
                result_.code = -1;
                result_.message = fileName + ": more than " + std::to_string(most >> 20) +
                                  " MiB from a stream, more than is held in memory: save it to a "
                                  "file and name that";
                return;
            }
            readFailed = got == Whole::failed;
            whole = read;
        }
        if (readFailed && whole.empty()) return fail(Status::read_error, CNV_READ_ERROR, fileName);
        headBytes = std::min(whole.size(), head.size());
        std::copy_n(whole.begin(), headBytes, head.begin());
    }
    if (headBytes == 0) {
        if (input.file != nullptr && std::ferror(input.file) != 0)
            return fail(Status::read_error, CNV_READ_ERROR, fileName);
        return fail(Status::empty, CNV_EMPTY_FILE, fileName);
    }

    binary_ = binary::looks_binary(std::span<const std::uint8_t>(head.data(), headBytes));
    diagnostics_.position_kind = binary_ ? tree::PositionKind::byte : tree::PositionKind::line;
    const auto percent = [&progress](int pct) {
        if (progress) progress(pct, "");
    };
    bool readOk = true;
    std::uint64_t failedAt = 0;
    std::string failure;
    if (binary_) {
        const binary::ReadResult r =
            inMemory ? binary::read_binary(whole, *tree_, diagnostics_)
                     : binary::read_binary(input.file, input.size, *tree_, diagnostics_);
        readOk = r.ok;
        failedAt = r.offset;
        failure = r.message;
    } else {
        const text::ParseResult r =
            inMemory
                ? text::parse_text(
                      std::string_view(reinterpret_cast<const char *>(whole.data()), whole.size()),
                      *tree_, diagnostics_)
                : text::parse_text(input.file, input.size, *tree_, diagnostics_, percent);
        readOk = r.ok;
        failedAt = r.line;
        failure = r.message;
    }
    const bool ioError = readFailed || (input.file != nullptr && std::ferror(input.file) != 0);
    const int readErrno = errno;

    // What was read before a failure is still built, so that nothing read is lost.
    builder::Limits limits;
    limits.input_bytes = inMemory ? whole.size() : input.size;
    limits.max_output = options.max_output;
    built_ = builder::build_scene(*tree_, *scene_, diagnostics_, limits,
                                  options.outline ? &outline_ : nullptr);
    percent(100);
    // An empty world would otherwise pass for a successful conversion.
    if (readOk && built_.ok && !ioError && scene_->shapes.empty())
        diagnostics_.warn(binary_ ? 0 : 1, "nothing drawable in the file: the world is empty");

    if (ioError) {
        errno = readErrno;
        return fail(Status::read_error, CNV_READ_ERROR, fileName);
    }
    if (!readOk || !built_.ok) {
        const std::uint64_t at = readOk ? built_.position : failedAt;
        const std::string &what = readOk ? built_.message : failure;
        result_.status = Status::failed;
        result_.code = -1;
        result_.message = binary_ ? fileName + ": byte " + std::to_string(at) + ": " + what
                                  : fileName + ":" + std::to_string(at) + ": " + what;
    }
}

draw::DrawList Conversion::draw_list() const {
    return result_.mode == Mode::full ? draw::fromScene(*scene_) : draw::fromStore();
}

int Conversion::write(const std::string &fileName, Format format, OutputMode mode,
                      std::vector<std::string> *repairs, const Progress &progress) const {
    return writeTo(&fileName, nullptr, format, mode, repairs, progress);
}

int Conversion::write_bytes(std::string &bytes, Format format, std::vector<std::string> *repairs,
                            const Progress &progress) const {
    bytes.clear();
    return writeTo(nullptr, &bytes, format, OutputMode::binary, repairs, progress);
}

// Into the file named, or else into `bytes`: the same writer either way.
int Conversion::writeTo(const std::string *fileName, std::string *bytes, Format format,
                        OutputMode mode, std::vector<std::string> *repairs,
                        const Progress &progress) const {
    if (result_.mode == Mode::default_mode) {
        // The store knows VRML 97 only; the other formats are asked for after a full read.
        if (format != Format::vrml97) return 1;
        return fileName ? write_out(*fileName, mode, progress) : write_out_string(*bytes, progress);
    }
    if (format == Format::vrml97 || format == Format::x3d) {
        writers::WriteProblems problems;
        int result = 0;
        if (fileName) {
            result = format == Format::x3d
                         ? x3d::write_x3d_file(*scene_, *fileName, &problems)
                         : vrml97::write_scene_file(*scene_, *fileName, mode == OutputMode::binary,
                                                    &problems);
        } else {
            OutputBuffer out(*bytes);
            const bool written = format == Format::x3d
                                     ? x3d::write_x3d(*scene_, out, &problems)
                                     : vrml97::write_scene(*scene_, out, &problems);
            result = written ? 0 : 1;
        }
        if (repairs) addRepairs(problems, *repairs);
        return result;
    }
#if !TARVEX_GLTF
    return 1;  // format_available() tells callers beforehand
#else
    gltf::WriteReport report;
    const gltf::Container container =
        format == Format::glb ? gltf::Container::glb : gltf::Container::gltf;
    const int result = fileName ? gltf::write_gltf_file(*scene_, *fileName, container, &report)
                       : gltf::write_gltf(*scene_, container, *bytes, &report) ? 0
                                                                               : 1;
    if (repairs) {
        addNonFinite(*repairs, report.non_finite_numbers);
        addCount(*repairs, report.bad_normals, " normal of no length written as +z",
                 " normals of no length written as +z");
        addCount(*repairs, report.dropped,
                 " node, placement or texture that glTF cannot hold left out",
                 " nodes, placements or textures that glTF cannot hold left out");
        repairs->insert(repairs->end(), report.notes.begin(), report.notes.end());
    }
    return result;
#endif
}

}  // namespace tarvex::conversion
