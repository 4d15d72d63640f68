// Runs full mode on arbitrary bytes, in memory: the text parser or the binary reader (by the
// first bytes, as the programs choose), the scene builder and the VRML writer. Besides the
// sanitizers' checks, the world written must hold no nan or inf and keep its brackets balanced.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "binary/binary_reader.h"
#include "core/progress.h"
#include "format/diagnostics.h"
#include "format/object_tree.h"
#include "scene/scene_builder.h"
#include "text/text_parser.h"
#include "vrml97/scene_writer.h"

namespace {

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "tarvex full-mode fuzz check failed: %s\n", what);
    std::abort();
}

bool isDelimiter(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == ',' || c == '[' || c == ']' || c == '{' ||
           c == '}';
}

// Brackets outside strings and comments must pair up; no number may be nan or inf (a node name
// follows DEF and USE and may be any word).
void checkWorld(std::string_view world) {
    if (!world.starts_with("#VRML V2.0 utf8\n")) fail("no VRML header");
    long braces = 0, squares = 0;
    std::string_view previous;
    std::size_t i = 0;
    while (i < world.size()) {
        const char c = world[i];
        if (c == '#') {
            while (i < world.size() && world[i] != '\n') ++i;
        } else if (c == '"') {
            for (++i; i < world.size() && world[i] != '"'; ++i)
                if (world[i] == '\\') ++i;
            if (i >= world.size()) fail("a string is not closed");
            ++i;
        } else if (isDelimiter(c)) {
            braces += c == '{' ? 1 : c == '}' ? -1 : 0;
            squares += c == '[' ? 1 : c == ']' ? -1 : 0;
            if (braces < 0 || squares < 0) fail("a bracket closes what was not opened");
            ++i;
        } else {
            const std::size_t start = i;
            while (i < world.size() && !isDelimiter(world[i]) && world[i] != '"' && world[i] != '#')
                ++i;
            const std::string_view token = world.substr(start, i - start);
            std::string_view magnitude = token;
            if (magnitude.starts_with('-') || magnitude.starts_with('+'))
                magnitude.remove_prefix(1);
            if (previous != "DEF" && previous != "USE" &&
                (magnitude == "nan" || magnitude == "inf" || magnitude == "infinity"))
                fail("a number is not finite");
            previous = token;
        }
    }
    if (braces != 0 || squares != 0) fail("unbalanced brackets");
}

}  // namespace

// The default mode's progress hook; full mode does not call it.
void tarvex::update_display(int, std::string_view) {}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    tarvex::format::ObjectTree tree;
    tarvex::format::Diagnostics diagnostics;
    if (tarvex::binary::looks_binary(bytes)) {
        diagnostics.position_kind = tarvex::format::PositionKind::byte;
        tarvex::binary::read_binary(bytes, tree, diagnostics);
    } else {
        tarvex::text::parse_text(std::string_view(reinterpret_cast<const char *>(data), size), tree,
                                 diagnostics);
    }
    tarvex::scene::Scene scene;
    tarvex::scene::build_scene(tree, scene, diagnostics);
    checkWorld(tarvex::vrml97::write_scene_string(scene));
    return 0;
}
