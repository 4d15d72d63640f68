// tarvex_bounded_bench [--kinds] [--hostile] [--gltf] [--rounds N] [--keep DIR]: full mode's work
// against the input's size. --kinds (the default) doubles each kind of input that used to grow
// faster than linearly (References, shared attribute sets, shaders, many-vertex polygons, NURB
// patches, meshes) and prints time (the fastest of N runs, 3 by default), peak memory and
// output per size with the time ratio per doubling; --hostile converts a set of hostile inputs
// of up to 4 MB and prints time, peak memory, output size and the result against the limits
// (10 s; 256 MiB plus 64 times the input); --gltf converts the largest of them, and the inputs
// that once took the glTF writer past that limit, to .gltf and .glb.
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/hostile_inputs.h"
#include "conversion/conversion.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvex::hostile;

struct Run {
    double seconds = 0, cpu = 0, peak_mib = 0;  // wall-clock and CPU (user + system) time
    std::uint64_t input = 0, output = 0, work = 0;
    std::string result;
};

// Converts `bytes` with the tarvex program in a process of its own, in full mode or the default
// one, for the time and the peak memory (its maximum resident set), then again in this process
// for the build's work count.
// Linux hands a program the high-water mark of the process that started it, so this one gives
// back what it can and resets its mark first.
Run convert(const fs::path &dir, const std::string &name, std::string bytes, bool full = true,
            const char *extension = ".wrl") {
    const fs::path in = dir / (name + ".3dmf"), out = dir / (name + extension);
    std::ofstream(in, std::ios::binary) << bytes;
    Run r;
    r.input = bytes.size();
    std::string().swap(bytes);
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::string exe = TARVEX_EXE, in_s = in.string(), out_s = out.string();
    const char *argv[] = {exe.c_str(), full ? "--full" : in_s.c_str(),
                          full ? in_s.c_str() : out_s.c_str(), full ? out_s.c_str() : nullptr,
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, const_cast<char **>(argv), environ) !=
        0) {
        std::fprintf(stderr, "cannot run %s\n", exe.c_str());
        std::exit(1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    r.peak_mib = usage.ru_maxrss / 1024.0;
    r.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    {
        tarvex::conversion::Conversion c;
        const tarvex::conversion::Status result = c.read(in.string(), {.full = full}).status;
        r.work = c.build().work;
        r.result =
            result == tarvex::conversion::Status::ok ? "ok" : "exit 1: " + c.result().message;
        if (c.build().detail < 1) r.result += " (coarsened)";
        for (const auto &e : c.diagnostics().entries())
            if (e.text.ends_with("drawn as a fan")) {
                r.result += " (a fan)";
                break;
            }
    }
    if ((code == 0) != (r.result.rfind("ok", 0) == 0))
        r.result += " (the program exited " + std::to_string(code) + ")";
    std::error_code ec;
    r.output = fs::file_size(out, ec);
    if (r.result.size() > 90) r.result = r.result.substr(0, 87) + "...";
    return r;
}

// n References to one shared group, each in a colour of its own (no drawing can be reused).
std::string references(int n) {
    std::ostringstream t;
    t << kHead << "s1: BeginGroup ( DisplayGroup ( ) ) Point ( 0 0 0 ) EndGroup ( )\n";
    for (int i = 0; i < n; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << (i % 1000) / 1000.0 << " "
          << (i / 1000 % 1000) / 1000.0 << " 0 ) Reference ( 1 ) EndGroup ( )\n";
    return t.str() + toc(1);
}

// n attribute sets, each inheriting from the two before it (2^n paths), each used by a point.
std::string attribute_sets(int n) {
    std::ostringstream t;
    t << kHead;
    for (int i = 1; i <= n; ++i) {
        t << "s" << i << ": Container ( AttributeSet ( ) ";
        if (i > 2) t << "Reference ( " << i - 2 << " ) Reference ( " << i - 1 << " ) ";
        t << "SpecularControl ( " << i << " ) )\n";
    }
    for (int i = 1; i <= n; ++i)
        t << "Container ( Point ( " << i << " 0 0 ) Reference ( " << i << " ) )\n";
    return t.str() + toc(n);
}

// n TextureShaders on one pixmap, each with a UV transform of its own.
std::string shaders(int n) {
    std::ostringstream t;
    t << kHead
      << "s1: PixmapTexture ( 2 2 4 16 RGB16 BigEndian BigEndian 0x7C0003E0 0x001F7FFF )\n";
    for (int i = 0; i < n; ++i)
        t << "Container ( Triangle ( 0 0 0 1 0 0 0 1 0 ) Container ( AttributeSet ( ) "
          << "Container ( TextureShader ( ) ShaderUVTransform ( 1 0 0 0 1 0 " << i % 1000 << " "
          << i / 1000 << " 1 ) Reference ( 1 ) ) ) )\n";
    return t.str() + toc(1);
}

// One GeneralPolygon of n vertices: a round outline with teeth `depth` deep (0: as deep as
// they are wide, the outline's detail growing with n), not self-crossing.
std::string toothed_polygon(int n, double depth) {
    std::ostringstream t;
    t.precision(9);
    t << kHead << "GeneralPolygon ( 1 " << n << "\n";
    const double inner = 1 - (depth > 0 ? depth : 4 * M_PI / n);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n, r = i % 2 ? 1.0 : inner;
        t << r * std::cos(a) << " " << r * std::sin(a) << " 0\n";
    }
    t << ")\n";
    return t.str();
}
std::string polygon(int n) {
    return toothed_polygon(n, 0);
}
std::string deep_toothed_polygon(int n) {
    return toothed_polygon(n, 0.02);
}

// n bicubic NURB patches of 4 x 4 control points, each with a trim loop.
std::string nurb_patches(int n) {
    std::ostringstream t;
    t << kHead;
    for (int i = 0; i < n; ++i) {
        t << "Container ( NURBPatch ( 4 4 4 4\n";
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) t << c + 5 * i << " " << r << " " << (r * c) % 3 << " 1\n";
        t << "0 0 0 0 1 1 1 1  0 0 0 0 1 1 1 1 )\n"
          << "Container ( TrimLoop ( ) NURBCurve2D ( 2 5  0.2 0.2 1  0.8 0.2 1  0.8 0.8 1"
          << "  0.2 0.8 1  0.2 0.2 1  0 0 1 2 3 4 4 ) ) )\n";
    }
    return t.str();
}

// One Mesh of a side x side grid of quads, n = side^2 faces.
std::string mesh(int side) {
    std::ostringstream t;
    t << kHead << "Mesh ( " << (side + 1) * (side + 1) << "\n";
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x) t << x << " " << y << " " << (x * y) % 7 << "\n";
    t << side * side << " 0\n";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = y * (side + 1) + x;
            t << "4 " << a << " " << a + 1 << " " << a + side + 2 << " " << a + side + 1 << "\n";
        }
    t << ")\n";
    return t.str();
}

void kinds(const fs::path &dir, int rounds) {
    struct Kind {
        const char *name;
        std::function<std::string(int)> make;
        int first;
        bool square;  // the generator's parameter is a side: sizes double as its square
    };
    const Kind list[] = {
        {"References", references, 20000, false},
        {"shared attribute sets", attribute_sets, 20000, false},
        {"TextureShaders", shaders, 20000, false},
        {"GeneralPolygon vertices", polygon, 4000, false},
        {"GeneralPolygon vertices, teeth 0.02 deep", deep_toothed_polygon, 4000, false},
        {"GeneralPolygon holes in a row", [](int n) { return holed_plates(1, n, 1); }, 8000, false},
        {"GeneralPolygon holes in a grid", [](int n) { return holed_plates(1, n, n); }, 90, true},
        {"Polygon spiral corners", [](int n) { return spirals(1, n); }, 32000, false},
        {"NURB patches", nurb_patches, 500, false},
        {"Mesh faces", mesh, 256, true},
    };
    std::printf(
        "| input | count | bytes | CPU time | ×CPU time | wall time | peak memory | output "
        "| work units |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Kind &k : list) {
        double previous = 0;
        for (int step = 0; step < 4; ++step) {
            const int n =
                k.square ? static_cast<int>(std::lround(k.first * std::pow(std::sqrt(2.0), step)))
                         : k.first << step;
            // The fastest of a few runs: the machine's other work only ever adds time.
            const std::string bytes = k.make(n);
            Run r = convert(dir, "kind", bytes);
            for (int round = 1; round < rounds; ++round) {
                const Run again = convert(dir, "kind", bytes);
                if (again.cpu < r.cpu) r = again;
            }
            const long count = k.square ? long(n) * n : n;
            char ratio[32] = "";
            if (previous > 0) std::snprintf(ratio, sizeof ratio, "%.2f", r.cpu / previous);
            std::printf(
                "| %s | %ld | %.2f MB | %.3f s | %s | %.3f s | %.1f MiB | %.2f MB | %llu |%s\n",
                k.name, count, r.input / 1e6, r.cpu, ratio, r.seconds, r.peak_mib, r.output / 1e6,
                static_cast<unsigned long long>(r.work),
                r.result == "ok" ? "" : (" " + r.result).c_str());
            previous = r.cpu;
        }
    }
}

// ---- hostile inputs ------------------------------------------------------------------------

std::string long_label(std::size_t label_bytes, int uses) {
    const std::string label(label_bytes, 'n');
    std::ostringstream t;
    t << kHead << label << ": BeginGroup ( DisplayGroup ( ) ) Point ( 0 0 0 ) EndGroup ( )\n";
    for (int i = 0; i < uses; ++i)
        t << "BeginGroup ( DisplayGroup ( ) ) DiffuseColor ( " << i / double(uses)
          << " 0 0 ) Reference ( 1 ) EndGroup ( )\n";
    t << "toc: TableOfContents ( toc2> 2 -1 0 12 1 1 " << label << "> )\n";
    return t.str();
}

std::string binary_type(std::size_t name_bytes, int uses) {
    std::string b;
    const auto u32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) b += char((v >> shift) & 0xFF);
    };
    b += "3DMF";
    u32(16), u32(0x00010006), u32(1), u32(0), u32(0);
    const std::size_t padded = (name_bytes + 1 + 3) / 4 * 4;
    b += "type";
    u32(static_cast<std::uint32_t>(4 + padded));
    u32(0xFFFFFFFF);
    b += std::string(name_bytes, 'T') + std::string(padded - name_bytes, '\0');
    for (int i = 0; i < uses; ++i) u32(0xFFFFFFFF), u32(0);
    return b;
}

std::string knotty_patch(int columns, int rows, int trim_edges) {
    std::ostringstream t;
    t << kHead << "SubdivisionStyle ( Constant 1024 1024 )\nContainer ( NURBPatch ( 2 2 " << rows
      << " " << columns << "\n";
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) t << c << " " << r << " " << (c + r) % 3 << " 1\n";
    const auto knots = [&](int n) {
        t << "0 ";
        for (int i = 0; i < n; ++i) t << i << " ";
        t << n - 1 << "\n";
    };
    knots(columns);
    knots(rows);
    t << ")\nContainer ( TrimLoop ( ) NURBCurve2D ( 2 " << trim_edges + 2 << "\n";
    for (int i = 0; i <= trim_edges; ++i)
        t << double(i) * (columns - 1) / trim_edges << " " << (i % 2 ? rows - 1.5 : 0.5) << " 1\n";
    t << "0 0.5 1\n0 ";
    for (int i = 0; i <= trim_edges + 1; ++i) t << i << " ";
    t << trim_edges + 1 << " ) ) )\n";
    return t.str();
}

std::string exponential_references(int levels) {
    std::ostringstream t;
    t << kHead << "Scale ( -1 1 1 )\n";
    for (int level = 1; level <= levels; ++level) {
        t << "s" << level << ": BeginGroup ( DisplayGroup ( ) )\n";
        if (level == 1)
            t << "Point ( 0 0 0 )\n";
        else
            t << "Container ( AttributeSet ( ) DiffuseColor ( 1 0 0 ) ) Reference ( " << level - 1
              << " )\nContainer ( AttributeSet ( ) DiffuseColor ( 0 1 0 ) ) Reference ( "
              << level - 1 << " )\n";
        t << "EndGroup ( )\n";
    }
    return t.str() + toc(levels);
}

void hostile(const fs::path &dir) {
    struct Case {
        const char *name;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        {"attribute sets 40 wide, 5 deep", [] { return fanned_sets(40, 5); }},
        {"40 k References, each its own colour", [] { return references(40000); }},
        {"20 k TextureShaders", [] { return shaders(20000); }},
        {"15 k-vertex polygon used 150 times", [] { return zigzag_polygon_used(15000, 150); }},
        {"1.8 MB label on a group used 4 k times", [] { return long_label(1800000, 4000); }},
        {"binary Type, 1 MB name, 300 k objects", [] { return binary_type(1 << 20, 300000); }},
        {"NURB patch 4000 x 60 spans, 20 k trim edges",
         [] { return knotty_patch(4000, 60, 20000); }},
        {"References doubling 40 levels (2^40)", [] { return exponential_references(40); }},
        {"10 greedy tori", [] { return greedy_tori(10); }},
        {"1,000 spheres at Constant 30 30",
         [] { return spheres(1000, "SubdivisionStyle ( Constant 30 30 )"); }},
        {"10,000 spheres at the default", [] { return spheres(10000, ""); }},
        {"150 k-vertex GeneralPolygon", [] { return polygon(150000); }},
        {"33 plates of 2,000 holes", [] { return holed_plates(33, 2000, 1); }},
        {"23 spirals of 8,000 corners", [] { return spirals(23, 8000); }},
    };
    for (const bool full : {true, false}) {
        std::printf("\n%s\n\n", full ? "Full mode:"
                                     : "The default mode (binary input is always read in full):");
        std::printf("| input | bytes | time | peak memory | limit | output | budget | result |\n");
        std::printf("|---|---|---|---|---|---|---|---|\n");
        for (const Case &c : cases) {
            const Run r = convert(dir, "hostile", c.make(), full);
            const double limit = 256 + 64.0 * r.input / (1 << 20);
            const double budget =
                std::min(16.0 * (1 << 20) + 1000.0 * r.input, 256.0 * (1 << 20)) / 1e6;
            std::printf(
                "| %s | %.2f MB | %.2f s | %.1f MiB | %.0f MiB | %.2f MB | %.1f MB | %s |\n",
                c.name, r.input / 1e6, r.seconds, r.peak_mib, limit, r.output / 1e6, budget,
                r.result.c_str());
            std::fflush(stdout);
        }
    }
}

// ---- glTF ----------------------------------------------------------------------------------

// A group per level, each drawing the level before through a Reference beside a box of its
// own: level n places n boxes, n(n+1)/2 in all, where VRML writes each level once.
std::string reference_chain(int levels) {
    std::ostringstream t;
    t << kHead;
    for (int g = 1; g <= levels; ++g) {
        t << "s" << g << ": BeginGroup ( DisplayGroup ( ) ) Translate ( 1 0.5 0.25 ) Box ( )";
        if (g > 1) t << " Reference ( " << g - 1 << " )";
        t << " EndGroup ( )\n";
    }
    return t.str() + "Reference ( " + std::to_string(levels) + " )\n" + toc(levels);
}

// `count` boxes of their own, each with a label when `labelled`.
std::string boxes(int count, bool labelled) {
    std::ostringstream t;
    t << kHead;
    for (int b = 0; b < count; ++b) {
        if (labelled) t << "b" << b << ": ";
        t << "Box ( 1 0 0 0 1 0 0 0 1 " << b % 50 << " " << b / 50 % 50 << " " << b / 2500
          << " )\n";
    }
    return t.str();
}

void gltf(const fs::path &dir) {
    struct Case {
        const char *name;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        {"6,300 tori at the per-surface cap", [] { return greedy_tori(6300); }},
        {"1,000 groups each drawing the one before", [] { return reference_chain(1000); }},
        {"90,000 labelled boxes", [] { return boxes(90000, true); }},
        {"116,000 boxes", [] { return boxes(116000, false); }},
        {"40 k References, each its own colour", [] { return references(40000); }},
        {"20 k TextureShaders", [] { return shaders(20000); }},
        {"10,000 spheres at the default", [] { return spheres(10000, ""); }},
        {"150 k-vertex GeneralPolygon", [] { return polygon(150000); }},
    };
    std::printf("| input | bytes | limit | .gltf peak | .gltf | .glb peak | .glb | result |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Case &c : cases) {
        const std::string bytes = c.make();
        const Run text = convert(dir, "gltf", bytes, true, ".gltf");
        const Run binary = convert(dir, "gltf", bytes, true, ".glb");
        std::printf("| %s | %.2f MB | %.0f MiB | %.1f MiB | %.1f MB | %.1f MiB | %.1f MB | %s |\n",
                    c.name, text.input / 1e6, 256 + 64.0 * text.input / (1 << 20), text.peak_mib,
                    text.output / 1e6, binary.peak_mib, binary.output / 1e6, text.result.c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char **argv) {
    bool doKinds = false, doHostile = false, doGltf = false;
    int rounds = 3;
    fs::path keep;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--kinds") {
            doKinds = true;
        } else if (a == "--hostile") {
            doHostile = true;
        } else if (a == "--gltf") {
            doGltf = true;
        } else if (a == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: tarvex_bounded_bench [--kinds] [--hostile] [--gltf] [--rounds N] "
                         "[--keep DIR]\n");
            return 1;
        }
    }
    if (!doKinds && !doHostile && !doGltf) doKinds = true;
    const fs::path dir = keep.empty() ? fs::temp_directory_path() / "tarvex_bounded_bench" : keep;
    fs::create_directories(dir);
    if (doKinds) kinds(dir, rounds);
    if (doHostile) hostile(dir);
    if (doGltf) gltf(dir);
    if (keep.empty()) fs::remove_all(dir);
    return 0;
}
