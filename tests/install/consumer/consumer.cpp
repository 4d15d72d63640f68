// A program built against the installed library: converts a file in memory into each format,
// writing the results as NAME.EXT in a folder, for a comparison with the console program's.
//   consumer INPUT FOLDER
#include <tarvex/tarvex.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    if (std::strcmp(tarvex::version(), TARVEX_VERSION) != 0) {
        std::cerr << "the library is " << tarvex::version() << ", its header " TARVEX_VERSION "\n";
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const struct {
        const char *name;
        tarvex::Mode mode;
        tarvex::Format format;
    } outputs[] = {{"default.wrl", tarvex::Mode::default_mode, tarvex::Format::vrml},
                   {"full.wrl", tarvex::Mode::full, tarvex::Format::vrml},
                   {"scene.x3d", tarvex::Mode::default_mode, tarvex::Format::x3d},
                   {"scene.gltf", tarvex::Mode::default_mode, tarvex::Format::gltf},
                   {"scene.glb", tarvex::Mode::default_mode, tarvex::Format::glb}};
    for (const auto &output : outputs) {
        tarvex::Options options;
        options.mode = output.mode;
        options.format = output.format;
        std::string bytes;
        const tarvex::Result result = tarvex::convert_bytes(input, bytes, options);
        if (!result.ok()) {
            std::cerr << output.name << ": " << result.message << "\n";
            return 1;
        }
        std::ofstream(std::string(argv[2]) + "/" + output.name, std::ios::binary) << bytes;
    }
    tarvex::Scene scene;
    if (!tarvex::read_scene_bytes(input, scene).ok() || scene.meshes.empty()) return 1;
    return 0;
}
