#include "bench/scene_generator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace tarvex::bench {
namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

// Gathers the scene text and writes it to the file in large pieces.
class SceneText {
  public:
    explicit SceneText(const std::string &path) : file_(std::fopen(path.c_str(), "wb")) {
        if (!file_) throw std::runtime_error("cannot create " + path);
    }

    SceneText &operator<<(const std::string &text) {
        text_ += text;
        if (text_.size() >= (std::size_t{1} << 20)) flush();
        return *this;
    }
    SceneText &operator<<(const char *text) { return *this << std::string(text); }
    SceneText &operator<<(long long value) { return *this << std::to_string(value); }

    // `micros` millionths, written with six decimals as the 3DMF writers do.
    SceneText &fixed6(long long micros) {
        char text[32];
        const unsigned long long magnitude = micros < 0 ? -micros : micros;
        std::snprintf(text, sizeof text, "%s%llu.%06llu", micros < 0 ? "-" : "",
                      magnitude / 1000000, magnitude % 1000000);
        return *this << text;
    }

    std::uint64_t finish() {
        flush();
        if (std::fflush(file_.get()) != 0) throw std::runtime_error("cannot write a scene");
        return written_;
    }

  private:
    void flush() {
        if (std::fwrite(text_.data(), 1, text_.size(), file_.get()) != text_.size()) {
            throw std::runtime_error("cannot write a scene");
        }
        written_ += text_.size();
        text_.clear();
    }

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string text_;
    std::uint64_t written_ = 0;
};

// The generators must make the same scenes everywhere: only the engine's output is portable.
long long randomMicros(std::mt19937 &random, long long range) {
    return static_cast<long long>(random() % (2 * range + 1)) - range;
}

}  // namespace

SceneSize write_big_mesh_scene(const std::string &path, int side) {
    std::mt19937 random(4);
    SceneText out(path);
    const long long points = static_cast<long long>(side) * side;
    const long long triangles = 2LL * (side - 1) * (side - 1);
    out << "3DMetafile ( 1 6 Normal toc> )\nterrain:\nContainer (\n\tTriMesh (\n\t\t" << triangles
        << " 0 0 0 " << points << " 1\n";
    for (int row = 0; row + 1 < side; ++row) {
        for (int column = 0; column + 1 < side; ++column) {
            const long long corner = static_cast<long long>(row) * side + column;
            out << "\t\t" << corner << " " << corner + 1 << " " << corner + side << "\n";
            out << "\t\t" << corner + 1 << " " << corner + side + 1 << " " << corner + side << "\n";
        }
    }
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            out << "\t\t";
            out.fixed6(column * 97'000LL - 36'000'000 + randomMicros(random, 20'000)) << " ";
            out.fixed6(randomMicros(random, 1'500'000)) << " ";
            out.fixed6(row * 97'000LL - 36'000'000 + randomMicros(random, 20'000)) << "\n";
        }
    }
    out << "\t\t-36.1 -1.5 -36.1 36.1 1.5 36.1\n\t\tFalse\n\t)\n\tAttributeArray ( 3 0 2 0 0\n";
    for (long long i = 0; i < points; ++i) {
        out << "\t\t";
        out.fixed6(randomMicros(random, 300'000)) << " ";
        out.fixed6(900'000 + randomMicros(random, 99'999)) << " ";
        out.fixed6(randomMicros(random, 300'000)) << "\n";
    }
    out << "\t)\n\tContainer ( AttributeSet ( ) DiffuseColor ( 0.4 0.55 0.3 ) )\n)\n";
    return {out.finish(), static_cast<std::uint64_t>(points),
            static_cast<std::uint64_t>(triangles)};
}

namespace {

// Big-endian binary 3DMF, gathered in memory (the big mesh is about 20 MB in this form).
class BinaryScene {
  public:
    void code(const char (&text)[5]) { bytes_.insert(bytes_.end(), text, text + 4); }
    void uns16(std::uint32_t v) {
        bytes_.push_back(std::uint8_t(v >> 8));
        bytes_.push_back(std::uint8_t(v));
    }
    void uns32(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(std::uint8_t(v >> shift));
    }
    void float32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        uns32(bits);
    }
    // The float the text form's "%.6f" of `micros` millionths reads back as.
    void fixed6(long long micros) {
        char text[32];
        const unsigned long long magnitude = micros < 0 ? -micros : micros;
        std::snprintf(text, sizeof text, "%s%llu.%06llu", micros < 0 ? "-" : "",
                      magnitude / 1000000, magnitude % 1000000);
        float32(std::strtof(text, nullptr));
    }
    // An object header whose size is filled in by close().
    std::size_t open(const char (&text)[5]) {
        code(text);
        uns32(0);
        return bytes_.size();
    }
    void close(std::size_t dataStart) {
        const auto size = static_cast<std::uint32_t>(bytes_.size() - dataStart);
        for (int i = 0; i < 4; ++i) bytes_[dataStart - 4 + i] = std::uint8_t(size >> (24 - 8 * i));
    }
    std::uint64_t write(const std::string &path) const {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
        if (!file || std::fwrite(bytes_.data(), 1, bytes_.size(), file.get()) != bytes_.size())
            throw std::runtime_error("cannot write " + path);
        return bytes_.size();
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

SceneSize write_big_mesh_binary_scene(const std::string &path, int side) {
    std::mt19937 random(4);  // as the text form: the same numbers
    BinaryScene out;
    const std::uint32_t points = static_cast<std::uint32_t>(side) * side;
    const std::uint32_t triangles = 2u * (side - 1) * (side - 1);
    const std::size_t header = out.open("3DMF");
    out.uns16(1);
    out.uns16(6);
    out.uns32(0);  // Normal
    out.uns32(0);  // no table of contents (an Uns64 of 0)
    out.uns32(0);
    out.close(header);
    const std::size_t container = out.open("cntr");
    const std::size_t mesh = out.open("tmsh");
    for (const std::uint32_t count : {triangles, 0u, 0u, 0u, points, 1u}) out.uns32(count);
    // Point indices are Uns32 once a mesh has more than 65,535 points.
    for (int row = 0; row + 1 < side; ++row) {
        for (int column = 0; column + 1 < side; ++column) {
            const std::uint32_t corner = static_cast<std::uint32_t>(row) * side + column;
            for (const std::uint32_t index :
                 {corner, corner + 1, corner + side, corner + 1, corner + side + 1, corner + side})
                out.uns32(index);
        }
    }
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            out.fixed6(column * 97'000LL - 36'000'000 + randomMicros(random, 20'000));
            out.fixed6(randomMicros(random, 1'500'000));
            out.fixed6(row * 97'000LL - 36'000'000 + randomMicros(random, 20'000));
        }
    }
    for (const float bound : {-36.1f, -1.5f, -36.1f, 36.1f, 1.5f, 36.1f}) out.float32(bound);
    out.uns32(0);  // False
    out.close(mesh);
    const std::size_t normals = out.open("atar");
    for (const std::uint32_t field : {3u, 0u, 2u, 0u, 0u}) out.uns32(field);
    for (std::uint32_t i = 0; i < points; ++i) {
        out.fixed6(randomMicros(random, 300'000));
        out.fixed6(900'000 + randomMicros(random, 99'999));
        out.fixed6(randomMicros(random, 300'000));
    }
    out.close(normals);
    const std::size_t attributes = out.open("cntr");
    out.close(out.open("attr"));
    const std::size_t colour = out.open("kdif");
    out.fixed6(400'000);
    out.fixed6(550'000);
    out.fixed6(300'000);
    out.close(colour);
    out.close(attributes);
    out.close(container);
    return {out.write(path), points, triangles};
}

SceneSize write_small_meshes_scene(const std::string &path, int meshes) {
    static const char *const cubeTriangles =
        "\t\t0 2 1  0 3 2\n\t\t4 5 6  4 6 7\n\t\t0 1 5  0 5 4\n"
        "\t\t1 2 6  1 6 5\n\t\t2 3 7  2 7 6\n\t\t3 0 4  3 4 7\n";
    std::mt19937 random(5);
    SceneText out(path);
    out << "3DMetafile ( 1 6 Normal toc> )\nBeginGroup ( DisplayGroup ( ) )\n";
    for (int mesh = 0; mesh < meshes; ++mesh) {
        if (mesh % 100 == 0) {
            const long long n = mesh / 100;
            out << "camera" << n << ":\nCameraPlacement ( ";
            out.fixed6(n * 10'000 + 4'000'000) << " 3 6  0 0.5 0  0 1 0 )\n";
            out << "light" << n << ":\nDirectionalLight ( ";
            out.fixed6(randomMicros(random, 1'000'000)) << " -1 ";
            out.fixed6(randomMicros(random, 1'000'000)) << " True ) Light ( True 0.8 1 1 1 )\n";
        }
        out << "mesh" << mesh << ":\nContainer (\n\tTriMesh ( 12 0 0 0 8 0\n" << cubeTriangles;
        const long long x = randomMicros(random, 50'000'000), z = randomMicros(random, 50'000'000);
        for (int corner = 0; corner < 8; ++corner) {
            out << "\t\t";
            out.fixed6(x + (corner & 1 ? 500'000 : -500'000)) << " ";
            out.fixed6(corner & 4 ? 500'000 : -500'000) << " ";
            out.fixed6(z + ((corner + 1) & 2 ? 500'000 : -500'000)) << "\n";
        }
        out << "\t\tFalse\n\t)\n\tContainer ( AttributeSet ( ) DiffuseColor ( ";
        for (int channel = 0; channel < 3; ++channel) {
            out.fixed6(static_cast<long long>(random() % 1'000'001)) << " ";
        }
        out << ") )\n)\n";
    }
    out << "EndGroup ( )\n";
    return {out.finish(), static_cast<std::uint64_t>(meshes) * 8,
            static_cast<std::uint64_t>(meshes) * 12};
}

}  // namespace tarvex::bench
