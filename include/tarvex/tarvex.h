// tarvex as a library: a 3DMF scene (QuickDraw 3D metafile, text or binary), as bytes or a file,
// converted into VRML 97, X3D or glTF 2.0 bytes or a file, or read as plain data.
//
// The names "stdin" and "stdout" as paths are the standard streams, as for the program.
//
// C++17. Nothing here throws: every failure, running out of memory included, comes back as a
// Result. Full-mode conversions are re-entrant: any number may run at once on different threads.
// The default mode reads into one store per process, so default-mode conversions wait for each
// other (a lock inside the library); they never wait for full-mode ones.
//
// Message texts are those the console program prints, unescaped: they may quote bytes of the
// input, so a program that shows them on a terminal should escape control bytes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvex/export.h"
#include "tarvex/version.h"

namespace tarvex {
inline namespace v1 {

// VRML 97 (.wrl); X3D 3.3 in XML (.x3d); glTF 2.0 as JSON with its buffer inside (.gltf) or
// binary (.glb).
enum class Format { vrml, x3d, gltf, glb };

// The default mode keeps what the classic converter kept from a text file, byte for byte; full
// mode reads every object of text and binary files. Binary input, and every format but VRML 97,
// is always read in full mode.
enum class Mode { default_mode, full };

struct Options {
    Mode mode = Mode::default_mode;
    Format format = Format::vrml;
    // Full mode's output budget for tessellated surfaces in bytes (the console's --max-output);
    // 0: min(16 MiB + 1,000 x the input's size, 256 MiB).
    std::uint64_t max_output = 0;
    // Every warning with its place (--verbose), rather than one line a kind.
    bool verbose = false;
    // What messages call an input or output held in memory; "input" and "output" when empty.
    std::string input_name;
    std::string output_name;
    // Told of each mesh the default mode reads (its line, as the console prints it) and of the
    // percentage of the input read; `line` is empty for a percentage only. Called on the
    // converting thread.
    std::function<void(int percent, std::string_view line)> progress;
};

enum class Status {
    ok,                  // converted completely; warnings may say what was mended or left out
    incomplete,          // the input could not be read to its end (or was empty): the output holds
                         // everything read before, `message` says where and why
    cant_open,           // the input file could not be opened: nothing was written
    not_3dmf,            // full mode: the input is not a 3DMF scene: nothing was written
    write_failed,        // the output could not be written (an existing file is left as it was)
    format_unavailable,  // this build writes no glTF: nothing was written
    out_of_memory,       // memory ran out: nothing was written
};

struct Result {
    Status status = Status::ok;
    Mode mode = Mode::default_mode;  // the mode the input was read in
    std::string message;             // what went wrong, "" when nothing did
    std::string reason;              // the system's words for a failed open, read or write, or ""
    // What the console prints besides: warnings with their places, the summary of skipped
    // objects, and what the writer mended.
    std::vector<std::string> warnings;

    bool ok() const { return status == Status::ok; }
};

// Converts a 3DMF scene given as bytes, or in the file at `input_path` (UTF-8), into `output`
// (replaced; on failure it holds what was written, if anything) or into the file at
// `output_path`, which is replaced only once it was written whole. The output bytes are those
// the console program writes for the same input and options.
TARVEX_API Result convert_bytes(std::string_view input, std::string &output,
                                const Options &options = {});
TARVEX_API Result convert_file(const std::string &input_path, std::string &output,
                               const Options &options = {});
TARVEX_API Result convert_bytes_to_file(std::string_view input, const std::string &output_path,
                                        const Options &options = {});
TARVEX_API Result convert_file_to_file(const std::string &input_path,
                                       const std::string &output_path, const Options &options = {});

// The format a name ("vrml", "x3d", "gltf", "glb") or a file's extension (".wrl", ".x3d",
// ".gltf", ".glb", any case) stands for; false for none.
TARVEX_API bool format_from_name(std::string_view name, Format &format);
TARVEX_API bool format_from_file_name(std::string_view file_name, Format &format);
// Whether this build writes `format` (glTF may be left out of a build).
TARVEX_API bool format_available(Format format);
// The version of the library linked, which may differ from TARVEX_VERSION of the header.
TARVEX_API const char *version();

// The scene full mode reads, as plain data. Indices are into the Scene's arrays; kNone for none.
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// A 4x4 affine transform, column-major with column vectors (p' = M p): the translation is
// m[12], m[13], m[14], as glTF, OpenGL and three.js store it.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// A node of the hierarchy: nodes[0] is the root. A node the file repeats (a reference, or a
// shared object placed twice) appears once per place, with the mesh it shows shared.
struct Node {
    std::string name;  // "" when the file names none
    std::uint32_t parent = kNone;
    std::vector<std::uint32_t> children;
    Matrix transform;  // relative to the parent
    std::uint32_t mesh = kNone;
};

enum class Primitive { triangles, lines, points };

// Geometry in its node's coordinates. `indices` hold 3 a triangle (counter-clockwise seen from
// the front), 2 a line segment or 1 a point, each below the number of vertices; the other arrays
// are empty or hold one entry a vertex.
struct Mesh {
    Primitive primitive = Primitive::triangles;
    std::vector<float> positions;  // x y z
    std::vector<float> normals;    // x y z; empty: shade each facet flat
    std::vector<float> uvs;        // s t, (0, 0) at the texture's first pixel
    std::vector<float> colors;     // r g b, 0..1; empty: the material's diffuse colour
    std::vector<std::uint32_t> indices;
    std::uint32_t material = 0;
    bool double_sided = true;  // false: the back faces are culled
};

struct Material {  // the VRML 97 material model; colours are r g b, 0..1
    float diffuse[3] = {0.8f, 0.8f, 0.8f};
    float specular[3] = {0, 0, 0};
    float emissive[3] = {0, 0, 0};
    float ambient_intensity = 0.2f;
    float shininess = 0.2f;  // 0..1
    float transparency = 0;  // 0 opaque .. 1 invisible
    std::uint32_t texture = kNone;
};

// RGBA, 8 bits a channel, rows from the bottom up (the first row is at t = 0).
struct Texture {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    bool repeat_s = true, repeat_t = true;  // false: clamped
};

// In world coordinates, looking down its own -z with +y up.
struct Camera {
    std::string name;
    float position[3] = {0, 0, 10};
    float orientation[4] = {0, 0, 0, 1};  // a unit quaternion x y z w
    float field_of_view = 0.785398f;      // radians, across the view's smaller side
};

// In world coordinates, as VRML 97 lights.
struct Light {
    enum class Kind { ambient, directional, point, spot };
    Kind kind = Kind::directional;
    std::string name;
    bool on = true;
    float intensity = 1;
    float color[3] = {1, 1, 1};
    float location[3] = {0, 0, 0};     // point, spot
    float direction[3] = {0, 0, -1};   // directional, spot
    float attenuation[3] = {1, 0, 0};  // point, spot: constant, linear, quadratic
    float beam_width = 1.570796f;      // spot, radians
    float cut_off_angle = 0.785398f;   // spot, radians
    float radius = 100;                // point, spot
};

struct Scene {
    std::vector<Node> nodes;
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    std::vector<Texture> textures;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    bool has_background = false;
    float background[3] = {0, 0, 0};
};

// Reads a 3DMF scene in full mode (whatever options.mode says) into `scene`, which is replaced.
// Like a conversion, what was read before a failure is kept.
TARVEX_API Result read_scene_bytes(std::string_view input, Scene &scene,
                                   const Options &options = {});
TARVEX_API Result read_scene_file(const std::string &input_path, Scene &scene,
                                  const Options &options = {});

}  // namespace v1
}  // namespace tarvex
