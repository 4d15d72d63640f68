#include "run_readers.h"

#include <string>
#include <string_view>

#include "binary/binary_reader.h"
#include "binary_writer.h"
#include "core/convert.h"
#include "core/progress.h"
#include "core/tokenizer.h"
#include "core/vrml.h"
#include "format/diagnostics.h"
#include "format/object_tree.h"
#include "scene/scene_builder.h"
#include "text/text_parser.h"
#include "vrml97/scene_writer.h"
#include "world_check.h"

namespace {
std::string progressLog;
}

void tarvex::update_display(int pct, std::string_view outputLine) {
    progressLog.append(std::to_string(pct)).append(" ").append(outputLine).append("\n");
}

namespace tarvex::fuzz {
namespace {

std::string_view asText(Bytes bytes) {
    return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

std::string fullModeWorld(format::ObjectTree &tree, format::Diagnostics &diagnostics) {
    scene::Scene scene;
    scene::build_scene(tree, scene, diagnostics);
    return vrml97::write_scene_string(scene);
}

}  // namespace

void run_default_mode(Bytes bytes) {
    const std::string_view text = asText(bytes);
    progressLog.clear();
    const int result = read_in_memory(text);
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
    const int again = read_in_memory(text);
    set_read_block_size(standard);
    if (again != result || progressLog != progress)
        fail("the read block size changes the result or the progress");
    clean_up();
}

void run_text_reader(Bytes bytes, bool twin) {
    format::ObjectTree tree;
    format::Diagnostics diagnostics;
    text::parse_text(asText(bytes), tree, diagnostics);
    // Building converts values in place: the twin is made first.
    binary::testing::Twin made;
    if (twin) made = binary::testing::write_binary(tree);
    if (!twin || !made.lossy.empty() || !made.dropped.empty()) {
        check_world(fullModeWorld(tree, diagnostics));
        return;
    }
    for (std::uint32_t n = 0; n < tree.node_count(); ++n)
        if (!tree.label_of(n).empty()) tree.set_label(n, "");
    const std::string world = fullModeWorld(tree, diagnostics);
    check_world(world);
    format::ObjectTree fromTwin;
    format::Diagnostics ignored;
    if (!binary::read_binary(made.bytes, fromTwin, ignored).ok) fail("a binary twin is not read");
    if (fullModeWorld(fromTwin, ignored) != world)
        fail("a binary twin makes another world than its text");
}

void run_binary_reader(Bytes bytes) {
    format::ObjectTree tree;
    format::Diagnostics diagnostics;
    diagnostics.position_kind = format::PositionKind::byte;
    binary::read_binary(bytes, tree, diagnostics);
    check_world(fullModeWorld(tree, diagnostics));
}

}  // namespace tarvex::fuzz
