// tarvex_bench [--rounds N] [--scenes all|big|small] [--keep DIR]: generates the benchmark scenes,
// converts each with the core and with the straightforward reference in alternating order, checks
// that both outputs are byte-identical, and prints the input speeds, the median ratio of their
// times (wall-clock and CPU), the core's peak memory, and how the core's time grows when the
// number of small meshes doubles.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/reference_converter.h"
#include "bench/scene_generator.h"
#include "conversion/conversion.h"
#include "core/convert.h"
#include "core/scene_store.h"

namespace tarvex::bench {
namespace {

namespace fs = std::filesystem;

// Linux only: the resident-set high-water mark, reset before each measured conversion (where
// the reset is refused, the peak of the whole run).
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}
double peakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024;
    }
    return 0;
}

struct Seconds {
    double wall = 0;
    double cpu = 0;  // of the whole process: only the conversion runs while it is timed
};

double processCpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// The CPU time stays meaningful when other work on the machine stretches the wall-clock time.
Seconds secondsOf(const std::function<bool()> &conversion) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuSeconds();
    if (!conversion()) throw std::runtime_error("a conversion failed");
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            processCpuSeconds() - cpuStart};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool sameFiles(const fs::path &a, const fs::path &b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

// Returns the memory freed by a conversion to the system, so that the next one starts from a
// fresh heap as one run of the program does (reusing the freed chunks of 200k meshes was slower
// than getting new pages).
void releaseFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

double smallest(const std::vector<double> &values) {
    return *std::min_element(values.begin(), values.end());
}

// Returns the core's smallest CPU time, the one least disturbed by other work on the machine.
double measure(const std::string &title, const fs::path &input, const SceneSize &size, int rounds) {
    const fs::path coreOut = input.string() + ".core.wrl";
    const fs::path referenceOut = input.string() + ".reference.wrl";
    const auto core = [&] {
        return read_in(input.string()) == CNV_OK &&
               write_out(coreOut.string(), OutputMode::binary) == 0;
    };
    const auto reference = [&] { return reference_convert(input.string(), referenceOut.string()); };

    std::vector<double> coreWall, referenceWall, wallRatios, coreCpu, cpuRatios;
    double peak = 0;
    // Alternating which runs first spreads drifts in the machine's load over both.
    for (int round = 0; round < rounds; ++round) {
        Seconds coreTime, referenceTime;
        if (round % 2 == 1) referenceTime = secondsOf(reference);
        releaseFreedMemory();
        resetPeakMemory();
        coreTime = secondsOf(core);
        peak = std::max(peak, peakMemoryMiB());
        clean_up();
        releaseFreedMemory();
        if (round % 2 == 0) referenceTime = secondsOf(reference);
        coreWall.push_back(coreTime.wall);
        referenceWall.push_back(referenceTime.wall);
        wallRatios.push_back(referenceTime.wall / coreTime.wall);
        coreCpu.push_back(coreTime.cpu);
        cpuRatios.push_back(referenceTime.cpu / coreTime.cpu);
    }
    if (!sameFiles(coreOut, referenceOut)) throw std::runtime_error(title + ": outputs differ");
    fs::remove(coreOut);
    fs::remove(referenceOut);

    const double megabytes = static_cast<double>(size.bytes) / 1e6;
    const double bound =
        (12.0 * static_cast<double>(size.points + size.triangles)) / (1 << 20) + 16;
    std::printf("%s: %.1f MB, %llu points, %llu triangles\n", title.c_str(), megabytes,
                static_cast<unsigned long long>(size.points),
                static_cast<unsigned long long>(size.triangles));
    std::printf("  core %.0f MB/s, reference %.0f MB/s, ratio %.2fx (medians of %d rounds)\n",
                megabytes / median(coreWall), megabytes / median(referenceWall), median(wallRatios),
                rounds);
    std::printf("  ratio of CPU times %.2fx (median)\n", median(cpuRatios));
    std::printf("  peak memory %.1f MiB (bound 12 B x (points + triangles) + 16 MiB = %.1f MiB)\n",
                peak, bound);
    std::printf("  outputs byte-identical\n");
    std::fflush(stdout);
    return smallest(coreCpu);
}

// Two ways of converting the same scene, alternated round by round: their speeds and peaks.
struct Way {
    std::string name;
    fs::path input;
    std::function<bool(const fs::path &input, const fs::path &output)> convert;
};

void compare(const std::string &title, const Way &first, const Way &second, int rounds) {
    std::vector<double> wall[2], cpu[2];
    double peak[2] = {0, 0};
    const Way *ways[2] = {&first, &second};
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round + turn) % 2;
            const Way &way = *ways[which];
            const fs::path output = way.input.string() + ".wrl";
            releaseFreedMemory();
            resetPeakMemory();
            const Seconds time = secondsOf([&] { return way.convert(way.input, output); });
            peak[which] = std::max(peak[which], peakMemoryMiB());
            wall[which].push_back(time.wall);
            cpu[which].push_back(time.cpu);
            fs::remove(output);
        }
    }
    std::printf("%s (medians of %d rounds)\n", title.c_str(), rounds);
    for (int which = 0; which < 2; ++which) {
        const double megabytes = static_cast<double>(fs::file_size(ways[which]->input)) / 1e6;
        std::printf("  %-22s %6.1f MB  %6.0f MB/s  %.3f s wall  %.3f s CPU  peak %.1f MiB\n",
                    ways[which]->name.c_str(), megabytes, megabytes / median(wall[which]),
                    median(wall[which]), median(cpu[which]), peak[which]);
    }
    std::printf("  time of %s / time of %s: %.2f (wall), %.2f (CPU)\n", second.name.c_str(),
                first.name.c_str(), median(wall[1]) / median(wall[0]),
                median(cpu[1]) / median(cpu[0]));
    std::fflush(stdout);
}

bool convertDefault(const fs::path &input, const fs::path &output) {
    const bool ok =
        read_in(input.string()) == CNV_OK && write_out(output.string(), OutputMode::binary) == 0;
    clean_up();
    return ok;
}

bool convertFull(const fs::path &input, const fs::path &output) {
    conversion::Conversion conversion;
    return conversion.read(input.string(), {.full = true}).status ==
               conversion::Status::ok &&
           conversion.write(output.string(), conversion::Format::vrml97, OutputMode::binary) == 0;
}

int run(int rounds, const fs::path &folder, std::string_view scenes) {
    fs::create_directories(folder);
    if (scenes != "small") {
        const fs::path big = folder / "big_mesh.3dmf";
        measure("big mesh", big, write_big_mesh_scene(big.string(), 742), rounds);
        const fs::path binary = folder / "big_mesh_binary.3dmf";
        write_big_mesh_binary_scene(binary.string(), 742);
        compare("big mesh: default mode and full mode", {"default mode", big, convertDefault},
                {"full mode", big, convertFull}, rounds);
        compare("big mesh: full mode, text and binary", {"full mode, text", big, convertFull},
                {"full mode, binary", binary, convertFull}, rounds);
    }
    if (scenes == "big") return 0;

    const fs::path small = folder / "small_meshes_100k.3dmf";
    const fs::path doubled = folder / "small_meshes_200k.3dmf";
    const double t1 = measure("100k small meshes", small,
                              write_small_meshes_scene(small.string(), 100'000), rounds);
    const double t2 = measure("200k small meshes", doubled,
                              write_small_meshes_scene(doubled.string(), 200'000), rounds);
    std::printf(
        "doubling the small meshes multiplies the core's CPU time by %.2f (fastest rounds)\n",
        t2 / t1);
    return 0;
}

}  // namespace
}  // namespace tarvex::bench

int main(int argc, char **argv) {
#if defined(__GLIBC__)
    // Each round should allocate and fault in its arrays afresh, as one run of the program
    // does, instead of reusing memory the previous round freed.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    int rounds = 9;
    std::filesystem::path keep;
    std::string_view scenes = "all";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--keep") keep = argv[i + 1];
        if (option == "--scenes") scenes = argv[i + 1];
    }
    const std::filesystem::path folder =
        keep.empty() ? std::filesystem::temp_directory_path() / "tarvex_bench" : keep;
    try {
        const int status = tarvex::bench::run(rounds, folder, scenes);
        if (keep.empty()) std::filesystem::remove_all(folder);
        return status;
    } catch (const std::exception &error) {
        std::cerr << "tarvex_bench: " << error.what() << '\n';
        return 1;
    }
}
