// Giving an object tree its 3DMF meaning: groups and their state, transforms, attribute
// inheritance, shaders and styles, every geometry type, lights and cameras, shared objects.
#pragma once

#include <cstdint>
#include <string>

#include "builder/outline.h"
#include "scene/scene.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::builder {

using namespace tarvex::scene;  // the builder speaks the model's vocabulary

struct BuildResult {
    bool ok = true;
    std::uint64_t position = 0;  // where the failure is (line or byte offset)
    std::string message;         // what is wrong, e.g. "Reference 3 refers back to itself"
    // Work units spent (values visited, points and indices made, attribute and trim steps) and
    // the budget they were charged against.
    std::uint64_t work = 0, work_budget = 0;
    // The tessellated output the surfaces asked for and what they were given, in estimated
    // bytes of VRML, and the share of grid cells kept (1 unless coarsened for the budget).
    std::uint64_t output_asked = 0, output_made = 0;
    std::uint64_t output_other = 0;     // estimated bytes of everything else in the world
    std::uint64_t output_repeated = 0;  // the part of it drawn again through References
    double detail = 1;
    bool over_output = false;           // a build at full detail found the budget exceeded
    std::uint64_t output_position = 0;  // the surface that went past it
};

// What one file may cost. Both budgets grow with the input's size.
struct Limits {
    std::uint64_t input_bytes = 0;
    std::uint64_t max_output = 0;  // tessellated output in bytes; 0: default_max_output()
};

// The default output budget: 16 MiB plus 1,000 times the input, at most 256 MiB.
std::uint64_t default_max_output(std::uint64_t input_bytes);
// The most the world may take (estimated VRML bytes) in objects drawn again through References:
// the output budget plus four times the input. Past it the conversion stops. What the file
// draws once is bounded by its size and never stops it. The tessellated surfaces get what the
// rest of the world leaves of this limit, never more than the output budget.
std::uint64_t scene_output_limit(std::uint64_t input_bytes, std::uint64_t max_output);
// The work budget: a base for small files, so many units per input byte, and the units the
// output budget's tessellation takes.
std::uint64_t work_budget(std::uint64_t input_bytes, std::uint64_t max_output);

// Builds `scene` (expected empty) from `tree`, which must have been resolve()d. Numbers are
// converted in place in the tree and big arrays are borrowed from it, so the tree must outlive
// the scene unchanged. Objects that cannot be expressed are reported to `diagnostics`
// (skipped(), warn()); a failure keeps everything built before it. When the surfaces together
// ask for more output than `limits` allow, the scene is built again with every surface
// subdivided more coarsely, and one warning says so; no object is left out for it. `outline`,
// when given, receives one item per object read, for a program that shows them.
BuildResult build_scene(tree::ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
                        const Limits &limits = {}, Outline *outline = nullptr);

}  // namespace tarvex::builder
