// Full mode, end to end: a 3DMF file (text or binary, told apart by its first bytes) is read into
// an object tree, built into a scene and written as VRML 97. Used by both programs and the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "builder/scene_builder.h"
#include "conversion/output_format.h"
#include "core/convert.h"
#include "scene/scene.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::conversion {

enum class ReadResult {
    ok,          // read to the end (warnings may have been given)
    cant_open,   // the input could not be opened: "Can't open %s!"
    empty,       // the input holds no byte: "%s empty!"
    read_error,  // reading failed part-way (an I/O error): "Error reading %s!"
    failed,      // the input could not be read on from some point: error() says where and why
};

// Whether the input ("stdin": standard input) begins with the binary header: such input is read
// in full mode whatever mode was asked for, since the default reader finds nothing in it. The
// bytes looked at on standard input are handed back for whichever reader reads it next.
bool is_binary_input(const std::string &fileName);

class Conversion {
  public:
    Conversion();
    ~Conversion();
    Conversion(const Conversion &) = delete;
    Conversion &operator=(const Conversion &) = delete;

    // Reads `fileName` ("stdin": standard input) and builds its scene, replacing what an earlier
    // read held. Whatever the result, what was read before a failure is in the scene.
    // `progress` (may be empty) gets percentages of the input read.
    ReadResult read(const std::string &fileName, const std::function<void(int)> &progress = {});

    // The most tessellated output (estimated VRML bytes) later reads may make before their
    // surfaces are subdivided more coarsely; 0: the default, builder::default_max_output().
    void set_max_output(std::uint64_t bytes) { maxOutput_ = bytes; }
    // What the last read's build spent and made (work units, output, detail kept).
    const builder::BuildResult &build() const { return built_; }

    // Writes the scene as VRML 97 ("stdout": standard output) through the same never-destroy
    // output as the default mode. 0 on success, 1 when anything could not be written. What the
    // writer had to mend is added to `repairs` as warnings (none for a scene built correctly).
    int write(const std::string &fileName, OutputMode mode = OutputMode::text,
              std::vector<std::string> *repairs = nullptr) const;
    // The same in `format`. What a format cannot hold (glTF's missing ambient light) is added to
    // `repairs` too.
    int write(const std::string &fileName, OutputFormat format,
              std::vector<std::string> *repairs = nullptr) const;

    // The message for the last read's result, "" for ok: the default mode's messages for
    // cant_open, empty and read_error; for failed "<file>:<line>: <what was expected>" (binary
    // input: "<file>: byte <offset>: <object type>: <what is wrong>").
    const std::string &error() const { return error_; }
    const tree::Diagnostics &diagnostics() const { return diagnostics_; }
    const scene::Scene &scene() const { return *scene_; }
    const tree::ObjectTree &tree() const { return *tree_; }
    bool binary_input() const { return binary_; }

  private:
    std::unique_ptr<tree::ObjectTree> tree_;
    std::unique_ptr<scene::Scene> scene_;
    tree::Diagnostics diagnostics_;
    std::string error_;
    bool binary_ = false;
    std::uint64_t maxOutput_ = 0;
    builder::BuildResult built_;
};

}  // namespace tarvex::conversion
