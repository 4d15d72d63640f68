#include "run_readers.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "binary_writer.h"
#include "builder/scene_builder.h"
#include "core/convert.h"
#include "core/output_buffer.h"
#include "core/progress.h"
#include "core/scene_store.h"
#include "core/tokenizer.h"
#include "readers/binary/binary_reader.h"
#include "readers/text/text_parser.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"
#include "world_check.h"
#include "writers/vrml97/scene_writer.h"

namespace tarvex::fuzz {
namespace {

std::string progressLog;

void logProgress(int pct, std::string_view outputLine) {
    progressLog.append(std::to_string(pct)).append(" ").append(outputLine).append("\n");
}

std::string_view asText(Bytes bytes) {
    return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

// While fuzzing, scenes of more values than this are built but not written. The writer takes
// the same paths for any size, and the few inputs that tessellate into megabytes of world would
// otherwise take most of the fuzzing time. The default mode's run draws the same line.
std::size_t maxWrittenValues = std::size_t{1} << 16;

std::size_t valuesOf(const scene::FaceSet &f) {
    return f.coords.size() + f.triangles.size() + f.coord_index.size() + f.colors.size() +
           f.color_index.size() + f.normals.size() + f.normal_index.size() + f.tex_coords.size() +
           f.tex_coord_index.size();
}
std::size_t valuesOf(const scene::LineSet &l) {
    return l.coords.size() + l.coord_index.size() + l.colors.size() + l.color_index.size();
}
std::size_t valuesOf(const scene::PointSet &p) {
    return p.coords.size() + p.colors.size();
}

std::size_t valuesIn(const scene::Scene &scene) {
    std::size_t values = 0;
    for (const scene::Shape &shape : scene.shapes)
        values +=
            std::visit([](const auto &geometry) { return valuesOf(geometry); }, shape.geometry);
    for (const scene::Texture &texture : scene.textures) values += texture.pixels.size();
    return values;
}

// Builds the scene of `tree` and writes its world into `world`, where it is checked; a scene too
// big to write leaves `world` empty. Returns the scene's number of values. Callers keep `world`
// from run to run, so that its room is not allocated and faulted in again every time.
std::size_t convertFullMode(tree::ObjectTree &tree, tree::Diagnostics &diagnostics,
                            std::string &world) {
    scene::Scene scene;
    builder::build_scene(tree, scene, diagnostics);
    const std::size_t values = valuesIn(scene);
    world.clear();
    if (values > maxWrittenValues) return values;
    OutputBuffer out(world);
    if (!vrml97::write_scene(scene, out)) fail("writing failed");
    check_world(world);
    return values;
}

std::string world, twinWorld;

}  // namespace

void write_all_worlds() {
    maxWrittenValues = SIZE_MAX;
}

void run_default_mode(Bytes bytes) {
    const std::string_view text = asText(bytes);
    progressLog.clear();
    const int result = read_in_memory(text, logProgress);
    // Memory cannot fail to open or read.
    if (result < 0 || result >= CNV_READ_ERROR || result == CNV_CANT_OPEN)
        fail("an unexpected result code");
    const std::string progress = progressLog;

    // A declared count writes that many lines whatever the input holds: big worlds are not written.
    std::int64_t declared = 0;
    for (int i = 0; i < numberOfShapes(); ++i) {
        const IndexedFaceSet &mesh = getShape(i)->geometry;
        declared += std::int64_t{mesh.coord.point.numPoints} + mesh.coordIndex.numPoints;
    }
    if (declared <= (1 << 16)) {
        std::string world;
        if (write_out_string(world) != 0) fail("writing failed");
        check_world(world);
    }

    const std::size_t standard = read_block_size();
    set_read_block_size(bytes.empty() ? 1 : 1 + bytes[0] % 7);
    progressLog.clear();
    const int again = read_in_memory(text, logProgress);
    set_read_block_size(standard);
    if (again != result || progressLog != progress)
        fail("the read block size changes the result or the progress");
    clean_up();
}

void run_text_reader(Bytes bytes, bool twin) {
    tree::ObjectTree tree;
    tree::Diagnostics diagnostics;
    text::parse_text(asText(bytes), tree, diagnostics);
    // Building converts values in place: the twin is made first.
    binary::testing::Twin made;
    if (twin) made = binary::testing::write_binary(tree);
    if (!twin || !made.lossy.empty() || !made.dropped.empty()) {
        convertFullMode(tree, diagnostics, world);
        return;
    }
    for (std::uint32_t n = 0; n < tree.node_count(); ++n)
        if (!tree.label_of(n).empty()) tree.set_label(n, "");
    const std::size_t values = convertFullMode(tree, diagnostics, world);
    tree::ObjectTree fromTwin;
    tree::Diagnostics ignored;
    if (!binary::read_binary(made.bytes, fromTwin, ignored).ok) fail("a binary twin is not read");
    if (convertFullMode(fromTwin, ignored, twinWorld) != values || twinWorld != world)
        fail("a binary twin makes another world than its text");
}

void run_binary_reader(Bytes bytes) {
    tree::ObjectTree tree;
    tree::Diagnostics diagnostics;
    diagnostics.position_kind = tree::PositionKind::byte;
    binary::read_binary(bytes, tree, diagnostics);
    convertFullMode(tree, diagnostics, world);
}

}  // namespace tarvex::fuzz
