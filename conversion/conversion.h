// One file's conversion, as both programs, the benchmark and the fuzz targets run it: a read in
// the mode the options choose, one result whatever the mode, and writing in a chosen format.
//
// The default mode reads 3DMF text into the core's one scene store, as it always has; full mode
// reads text or binary (told apart by the first bytes) into an object tree and builds a scene
// from it. Binary input is always read in full mode, since the default reader finds nothing in
// it. The store is global: one default-mode conversion at a time per process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "builder/outline.h"
#include "builder/scene_builder.h"
#include "conversion/format.h"
#include "core/convert.h"
#include "core/progress.h"
#include "draw/draw_list.h"
#include "scene/scene.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::conversion {

enum class Mode { default_mode, full };

struct Options {
    bool full = false;             // read every object the format knows (--full)
    std::uint64_t max_output = 0;  // full mode's tessellation budget in bytes; 0: the default
    bool outline = false;          // full mode: keep the outline of what was read, for a tree
    std::uint64_t max_stream = 0;  // full mode: most bytes read from a stream; 0: kMaxStreamBytes
};

// Full mode holds a stream's bytes (standard input, a pipe, a device) in memory, and stops past
// this many.
inline constexpr std::uint64_t kMaxStreamBytes = std::uint64_t{512} << 20;

enum class Status {
    ok,          // read to the end (full mode may have given warnings)
    cant_open,   // the input could not be opened: "Can't open %s!"
    empty,       // the input holds no byte: "%s empty!"
    read_error,  // reading failed part-way (an I/O error): "Error reading %s!"
    failed,      // the input could not be read on from some point: `message` says where and why
};

struct Result {
    Mode mode = Mode::default_mode;
    Status status = Status::ok;
    // The default mode's read result code (its messages are kept by code); in full mode the
    // code the same status has there, and -1 for a failure, which has no code of its own.
    int code = CNV_OK;
    // What went wrong, "" when nothing did: the default mode's messages, and in full mode for a
    // failure "<file>:<line>: <what was expected>" (binary: "<file>: byte <offset>: ...").
    std::string message;
    int system_error = 0;  // errno of a failed open or read, for the system's reason

    bool ok() const { return status == Status::ok; }
};

// Whether the input ("stdin": standard input) begins with the binary header. The bytes looked
// at on standard input are handed back for whichever reader reads it next.
bool is_binary_input(const std::string &fileName);

// The mode a read of `fileName` with `options` takes.
Mode mode_for(const std::string &fileName, const Options &options);

class Conversion {
  public:
    Conversion();
    ~Conversion();
    Conversion(const Conversion &) = delete;
    Conversion &operator=(const Conversion &) = delete;

    // Reads `fileName` ("stdin": standard input), replacing what an earlier read held. Whatever
    // the result, what was read before a failure is kept. `progress` hears of each mesh read in
    // the default mode and of the percentage of the input read in both.
    const Result &read(const std::string &fileName, const Options &options = {},
                       const Progress &progress = {});

    // Writes what was read ("stdout": standard output) through the never-destroy output file.
    // 0 on success, 1 when anything could not be written, and for a format other than VRML 97
    // after a default-mode read (choose full mode for those). What full mode's writer had to
    // mend, and what the format cannot hold (glTF's ambient light), is added to `repairs`.
    int write(const std::string &fileName, Format format = Format::vrml97,
              OutputMode mode = OutputMode::text, std::vector<std::string> *repairs = nullptr,
              const Progress &progress = {}) const;

    // read() for bytes held in memory, which need outlive the call only; `name` stands for the
    // input in messages. The same result as a file holding them.
    const Result &read_bytes(std::string_view bytes, const std::string &name,
                             const Options &options = {}, const Progress &progress = {});
    // write() into `bytes` (replacing what they held): exactly what a file would receive.
    int write_bytes(std::string &bytes, Format format = Format::vrml97,
                    std::vector<std::string> *repairs = nullptr,
                    const Progress &progress = {}) const;

    const Result &result() const { return result_; }
    Mode mode() const { return result_.mode; }
    // What the 3D view draws, from either mode's scene.
    draw::DrawList draw_list() const;

    // Full mode only (empty in the default mode).
    const tree::Diagnostics &diagnostics() const { return diagnostics_; }
    const scene::Scene &scene() const { return *scene_; }
    const tree::ObjectTree &tree() const { return *tree_; }
    const builder::Outline &outline() const { return outline_; }
    // What the build spent and made (work units, output, detail kept).
    const builder::BuildResult &build() const { return built_; }
    bool binary_input() const { return binary_; }

  private:
    void start(Mode mode);
    void readFull(const std::string &fileName, const std::string_view *memory,
                  const Options &options, const Progress &progress);
    static Status statusOf(int code);
    int writeTo(const std::string *fileName, std::string *bytes, Format format, OutputMode mode,
                std::vector<std::string> *repairs, const Progress &progress) const;
    void readDefault(const std::string &fileName, const Progress &progress);
    void fail(Status status, int code, const std::string &fileName);

    std::unique_ptr<tree::ObjectTree> tree_;
    std::unique_ptr<scene::Scene> scene_;
    tree::Diagnostics diagnostics_;
    builder::Outline outline_;
    builder::BuildResult built_;
    Result result_;
    bool binary_ = false;
};

}  // namespace tarvex::conversion
