// The measure of a VRML 97 world as one line of JSON, for tests in other languages (the Python
// module's): measure_world FILE.wrl
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "vrml_measure.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: measure_world FILE.wrl\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "measure_world: cannot open %s\n", argv[1]);
        return 1;
    }
    const std::string world{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const tarvex::measure::Measure m = tarvex::measure::measure_vrml(world);
    const auto &b = m.box;
    std::printf("{\"triangles\": %zu, \"errors\": %zu, \"box\": ", m.triangles, m.errors.size());
    if (b.empty) {
        std::printf("null}\n");
    } else {
        std::printf("[[%.9g, %.9g, %.9g], [%.9g, %.9g, %.9g]]}\n", b.min[0], b.min[1], b.min[2],
                    b.max[0], b.max[1], b.max[2]);
    }
    return 0;
}
