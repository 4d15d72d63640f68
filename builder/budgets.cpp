// What a file may cost: the work budget every expansion charges, the output budget the
// tessellated surfaces share, and the rebuild at a coarser subdivision when they ask for more.
#include <algorithm>

#include "builder/builder.h"
#include "builder/scene_builder.h"

namespace tarvex::builder {

namespace {

// The work budget, in units of about 0.1 µs and a few bytes: a base for small files, so many
// units per input byte, and what the output budget's tessellated bytes take (a grid cell of
// about 144 bytes charges its point and its two triangles' indices, 9 units).
constexpr std::uint64_t kWorkBase = std::uint64_t{8} << 20;
constexpr std::uint64_t kWorkPerByte = 16;
constexpr std::uint64_t kOutputBytesPerUnit = 16;
// The triangulator counts finer steps (an edge pair looked at) than the builder does.
constexpr std::uint64_t kTriangulationStepsPerUnit = 8;
// Where the input's size is not known (a tree built in memory): bytes per value or object.
constexpr std::uint64_t kBytesPerValue = 8;

// The output budget.
constexpr std::uint64_t kOutputBase = std::uint64_t{16} << 20;
constexpr std::uint64_t kOutputPerByte = 1000;
constexpr std::uint64_t kOutputCeiling = std::uint64_t{256} << 20;
// Estimated VRML bytes of a tessellated point (position, normal and texture coordinate) and of
// a triangle (its indices), for the output budget.
constexpr std::uint64_t kPointBytes = 80, kTriangleBytes = 32;
// The world's own geometry may write this many bytes per input byte beyond the output budget.
constexpr std::uint64_t kOwnOutputPerByte = 4;
// Builds after the first one, when coarsening once does not bring the output within budget.
constexpr int kMaxCoarsenings = 3;

std::string mebibytes(std::uint64_t bytes) {
    const std::uint64_t tenths = (bytes * 10 + (1 << 19)) >> 20;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MiB";
}

}  // namespace

std::uint64_t default_max_output(std::uint64_t input_bytes) {
    const std::uint64_t per_byte = input_bytes > kOutputCeiling / kOutputPerByte
                                       ? kOutputCeiling
                                       : input_bytes * kOutputPerByte;
    return std::min(kOutputCeiling, kOutputBase + per_byte);
}

std::uint64_t scene_output_limit(std::uint64_t input_bytes, std::uint64_t max_output) {
    const std::uint64_t cap = std::uint64_t{1} << 40;
    return std::min(max_output, cap) + kOwnOutputPerByte * std::min(input_bytes, cap);
}

std::uint64_t work_budget(std::uint64_t input_bytes, std::uint64_t max_output) {
    const std::uint64_t cap = std::uint64_t{1} << 40;
    return kWorkBase + kWorkPerByte * std::min(input_bytes, cap) +
           std::min(max_output, cap) / kOutputBytesPerUnit;
}

Limits complete_limits(const tree::ObjectTree &tree, Limits limits) {
    if (limits.input_bytes == 0)
        limits.input_bytes = kBytesPerValue * (tree.value_count() + tree.node_count());
    if (limits.max_output == 0) limits.max_output = default_max_output(limits.input_bytes);
    return limits;
}

bool Builder::charge(std::uint64_t work, std::uint32_t node) {
    work_ += work;
    if (work_ <= budget_) return true;
    fail(node, "The file asks for more work than its size allows (" + std::to_string(budget_) +
                   " units: References, attribute sets or tessellation); conversion stopped");
    return false;
}

Builder::Triangulated Builder::triangulate(std::uint32_t node, std::vector<float> &points,
                                           std::span<const std::vector<std::uint32_t>> contours,
                                           std::vector<std::uint32_t> &triangles) {
    std::uint64_t steps = budget_ > work_ ? (budget_ - work_) * kTriangulationStepsPerUnit : 0;
    const std::size_t before = triangles.size();
    const bool filled = geometry::triangulate_contours(points, contours, triangles, &steps);
    charge((steps + kTriangulationStepsPerUnit - 1) / kTriangulationStepsPerUnit, node);
    if (filled) return Triangulated::even_odd;
    return triangles.size() > before ? Triangulated::fan : Triangulated::none;
}

geometry::Subdivision Builder::subdivision() const {
    geometry::Subdivision s = state().styles.subdivision;
    s.detail = detail_;
    s.count_only = measuring_;
    return s;
}

bool Builder::count_written(std::uint64_t bytes, std::uint32_t node) {
    if (drawing_surface_) return true;  // counted by count_output()
    result_.output_other += bytes;
    if (repeating_ > 0) result_.output_repeated += bytes;
    const std::uint64_t limit = scene_output_limit(limits_.input_bytes, limits_.max_output);
    if (result_.output_repeated <= limit) return true;
    fail(node, "The scene would write more than " + mebibytes(limit) +
                   " (References repeating objects); conversion stopped");
    return false;
}

bool Builder::count_output(std::uint32_t node, const geometry::Surface &s) {
    if (!charge(s.work, node)) return false;
    result_.output_asked += s.asked_points * kPointBytes + s.asked_triangles * kTriangleBytes;
    result_.output_made += s.coords.size() / 3 * kPointBytes + s.face_part.size() * kTriangleBytes;
    // Only a first build at full detail measures: a coarsened one is drawn whatever it makes.
    if (!measuring_ && detail_ == 1 && result_.output_asked > limits_.max_output) {
        measuring_ = true;
        result_.over_output = true;
        result_.output_position = tree_.node(node).position;
    }
    return !measuring_;
}

BuildResult build_scene(tree::ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
                        const Limits &limits, Outline *outline) {
    // The readers' diagnostics, for a build that has to start again.
    const tree::Diagnostics before = diagnostics;
    BuildResult result = Builder(tree, scene, diagnostics, limits, 1, outline).run();
    if (!result.over_output) return result;

    // The surfaces get what the rest of the world leaves of its limit, at most the budget.
    const Limits full = complete_limits(tree, limits);
    const std::uint64_t limit = scene_output_limit(full.input_bytes, full.max_output);
    const std::uint64_t budget = std::max<std::uint64_t>(
        1,
        std::min(full.max_output, limit > result.output_other ? limit - result.output_other : 0));
    const std::uint64_t asked = result.output_asked;
    const std::uint64_t at = result.output_position;
    double detail = 1;
    std::uint64_t made = asked;
    for (int pass = 0; pass < kMaxCoarsenings && made > budget; ++pass) {
        // A little under the share that would fit: grids round down but keep their minimums.
        detail *= 0.97 * static_cast<double>(budget) / static_cast<double>(made);
        scene = Scene{};
        if (outline) outline->clear();
        diagnostics = before;
        result = Builder(tree, scene, diagnostics, limits, detail, outline).run();
        made = result.output_made;
    }
    const double percent = 100 * static_cast<double>(made) / static_cast<double>(asked);
    diagnostics.warn(at, "the surfaces ask for " + mebibytes(asked) + " of output where " +
                             mebibytes(budget) +
                             " is allowed: all of them are subdivided more "
                             "coarsely, to about " +
                             std::to_string(static_cast<int>(percent + 0.5)) +
                             "% (--max-output raises the limit)");
    return result;
}

}  // namespace tarvex::builder
