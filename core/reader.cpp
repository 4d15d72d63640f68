// The 3DMF reader: a token-counting state machine, not a full 3DMF parser. It recognises a few
// object keywords, takes a fixed number of tokens after each in a fixed order, and skips
// everything else; it never checks parentheses or nesting.
// One state machine in one file: its states and the fields they fill read best side by side.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

#include "core/convert.h"
#include "core/file_names.h"
#include "core/huge_pages.h"
#include "core/number_parse.h"
#include "core/orient.h"
#include "core/progress.h"
#include "core/scene_store.h"
#include "core/stdin_prefix.h"
#include "core/tokenizer.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace tarvex {
namespace {

enum State {
    SCANNING = 0,
    READING_TRIMESH_SPEC = 1,
    READING_TRIANGLES = 2,
    READING_EDGES = 3,
    READING_POINTS = 4,
    SEARCHING_FOR_DIFFUSECOLOR = 5,
    READING_DIFFUSECOLOR = 6,
    READING_FORWARDDIRECTION = 7,
    READING_CAMERAPLACEMENT = 8,
    READING_DIRECTIONALLIGHT = 9,
    SEARCHING_FOR_LIGHT = 10,
    READING_LIGHT = 11,
    READING_AMBIENTINTENSITY = 12,
    // A table of contents names object types as bare words ("TriMesh"); they start nothing.
    SKIPPING_TABLE_OF_CONTENTS = 13,
};

// meshParms elements: the six counts of a TriMesh header.
enum { NUM_TRIANGLES = 1, NUM_EDGES = 3, NUM_POINTS = 5 };

constexpr int kContinue = -1;

bool isLabel(std::string_view token) {
    return !token.empty() && token.back() == ':';
}

// Objects that follow a mesh or a light in real files before any colour or light data of their
// own: they end the search for the companion object, so that it is not taken from them.
bool endsCompanionSearch(std::string_view token) {
    // Most tokens met in a search are numbers: their first byte rules them out.
    if (token.empty() || token[0] < 'A' || token[0] > 'Z') return false;
    static constexpr std::array<std::string_view, 27> words = {"Box",
                                                               "Cone",
                                                               "Cylinder",
                                                               "Disk",
                                                               "Ellipse",
                                                               "Ellipsoid",
                                                               "GeneralPolygon",
                                                               "Line",
                                                               "Marker",
                                                               "Mesh",
                                                               "NURBCurve",
                                                               "NURBPatch",
                                                               "PixmapMarker",
                                                               "Point",
                                                               "PolyLine",
                                                               "Polygon",
                                                               "Polyhedron",
                                                               "Torus",
                                                               "Triangle",
                                                               "TriGrid",
                                                               "BeginGroup",
                                                               "EndGroup",
                                                               "PointLight",
                                                               "SpotLight",
                                                               "OrthographicCamera",
                                                               "ViewPlaneCamera",
                                                               "ViewAngleAspectCamera"};
    return std::find(words.begin(), words.end(), token) != words.end();
}

// Reserving a declared count in full would let a small file claim any amount of memory. A point
// or a triangle takes at least six bytes of input, so the rest of a file bounds how many can
// still come; from a stream of unknown length the arrays grow as values arrive beyond a start.
constexpr std::uint64_t kUnknownLengthReservation = 1 << 16;

std::size_t reservationFor(int declared, std::uint64_t bytesLeft) {
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(declared), bytesLeft / 6));
}

// The progress of a read is the share of the input consumed; standard input, whose length is
// unknown, reports against a nominal length of 100.
int percentage(std::uint64_t filePos, float fileLength) {
    const double pct =
        static_cast<double>(static_cast<float>(100.0 * static_cast<double>(filePos)) / fileLength) +
        0.5;
    if (!(pct < static_cast<double>(INT_MAX))) return INT_MAX;
    return static_cast<int>(pct);
}

class Reader {
  public:
    // `inputSize` is the input's length in bytes, 0 when unknown.
    Reader(LineTokenizer &tokenizer, float fileLength, std::uint64_t inputSize,
           const Progress &update_display)
        : tok_(tokenizer),
          fileLength_(fileLength),
          inputSize_(inputSize),
          update_display_(update_display) {}

    int run() {
        // A token longer than the memory left (one huge line of junk) fails here as well.
        try {
            std::string_view token;
            while (tok_.next_token(token)) {
                if (!pendingMessages_.empty() && tok_.watched_line_ended()) reportProgress();
                const int code = handle(token);
                if (code != kContinue) return finish(code);
            }
        } catch (const std::bad_alloc &) {
            return finish(CNV_CANT_ALLOC_NODE);
        }
        return finish(tok_.read_failed() ? CNV_READ_ERROR : CNV_OK);
    }

  private:
    bool mirrored() const { return direction_[2] == -1; }

    // A mesh's progress is that of the line holding its header's last count, so it is reported
    // once the tokenizer has seen where that line ends.
    void reportProgress() {
        const int pct = percentage(tok_.watched_line_end(), fileLength_);
        if (update_display_)
            for (const std::string &message : pendingMessages_) update_display_(pct, message);
        pendingMessages_.clear();
    }

    int finish(int code) {
        // A triangle or point cut short holds values never read: it is not part of the scene.
        if (partial_ == Partial::triangle) sp_->geometry.coordIndex.v.pop_back();
        if (partial_ == Partial::point) sp_->geometry.coord.point.v.pop_back();
        partial_ = Partial::none;
        if (!pendingMessages_.empty()) {
            tok_.finish_line();
            reportProgress();
        }
        return code;
    }

    int handle(std::string_view token) {
        switch (state_) {
            case SCANNING:
                scan(token);
                return kContinue;
            case READING_TRIMESH_SPEC:
                return readMeshHeader(token);
            case READING_TRIANGLES:
                return readTriangleIndex(token);
            case READING_EDGES:
                if (++count_ == 4 * std::int64_t{meshParms_[NUM_EDGES]}) enterSectionAfter(state_);
                return kContinue;
            case READING_POINTS:
                return readPointCoordinate(token);
            case SEARCHING_FOR_DIFFUSECOLOR:
                if (token == "DiffuseColor") {
                    enter(READING_DIFFUSECOLOR);
                } else {
                    searchOn(token);
                }
                return kContinue;
            case READING_DIFFUSECOLOR:
                return readDiffuseColor(token);
            case READING_FORWARDDIRECTION:
                return readForwardDirection(token);
            case READING_CAMERAPLACEMENT:
                return readCameraPlacement(token);
            case READING_DIRECTIONALLIGHT:
                return readLightDirection(token);
            case SEARCHING_FOR_LIGHT:
                // Apple's writer calls the object Light, its reference and other writers
                // LightData.
                if (token == "Light" || token == "LightData") {
                    enter(READING_LIGHT);
                } else {
                    searchOn(token);
                }
                return kContinue;
            case READING_LIGHT:
                return readLightData(token);
            case READING_AMBIENTINTENSITY:
                if (count_++ < 5) return kContinue;
                if (!parse_float(token, ambientIntensity_)) return CNV_BAD_LIGHT;
                state_ = SCANNING;
                return kContinue;
            case SKIPPING_TABLE_OF_CONTENTS:
                if (token.find(')') != std::string_view::npos) state_ = SCANNING;
                return kContinue;
        }
        return kContinue;
    }

    void enter(State state) {
        state_ = state;
        count_ = 0;
    }

    // Labels name the next record; the object keywords start their objects; all else is
    // skipped. A label keeps the current state, so that it also works inside searches.
    void scan(std::string_view token) {
        if (isLabel(token)) {
            lastDefName_.assign(token.substr(0, token.size() - 1));
        } else if (token == "TriMesh") {
            enter(READING_TRIMESH_SPEC);
        } else if (token == "CameraPlacement") {
            enter(READING_CAMERAPLACEMENT);
        } else if (token == "DirectionalLight") {
            enter(READING_DIRECTIONALLIGHT);
        } else if (token == "AmbientLight") {
            enter(READING_AMBIENTINTENSITY);
        } else if (token == "ForwardDirection") {
            enter(READING_FORWARDDIRECTION);
        } else if (token == "TableOfContents") {
            enter(SKIPPING_TABLE_OF_CONTENTS);
        }
    }

    // While searching for a companion object, the objects the reader keeps still count, and
    // other objects end the search: a colour or light data after them is theirs.
    void searchOn(std::string_view token) {
        const State before = state_;
        scan(token);
        if (state_ == before && endsCompanionSearch(token)) state_ = SCANNING;
    }

    int readMeshHeader(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        if (!parse_int(token, meshParms_[index])) return CNV_BAD_TRI_MESH_SPEC;
        return index == 6 ? createMesh() : kContinue;
    }

    int createMesh() {
        const int numTriangles = meshParms_[NUM_TRIANGLES];
        const int numPoints = meshParms_[NUM_POINTS];
        sp_ = newShape(lastDefName_, numPoints, numTriangles);
        if (!sp_) return CNV_CANT_ALLOC_NODE;

        const std::uint64_t bytesLeft = inputSize_ == 0              ? 6 * kUnknownLengthReservation
                                        : inputSize_ > tok_.offset() ? inputSize_ - tok_.offset()
                                                                     : 0;
        sp_->geometry.coord.point.v.reserve(reservationFor(numPoints, bytesLeft));
        sp_->geometry.coordIndex.v.reserve(reservationFor(numTriangles, bytesLeft));
        // Faulting in a big mesh's arrays 4 KiB at a time took a third of the reading time.
        advise_huge_pages(sp_->geometry.coord.point.v);
        advise_huge_pages(sp_->geometry.coordIndex.v);

        std::string message = lastDefName_.empty() ? "(no name):" : lastDefName_ + ": ";
        message.append(" ").append(std::to_string(numTriangles)).append(" triangles ");
        message.append(std::to_string(numPoints)).append(" points ");
        message.append(std::to_string(meshParms_[NUM_EDGES])).append(" edges");
        pendingMessages_.push_back(std::move(message));
        tok_.watch_line_end();
        lastDefName_.clear();

        enterSectionAfter(READING_TRIMESH_SPEC);
        return kContinue;
    }

    // A mesh's sections come in the order triangles, edges, points; empty ones take no tokens.
    void enterSectionAfter(State finished) {
        if (finished < READING_TRIANGLES && meshParms_[NUM_TRIANGLES] > 0) {
            enter(READING_TRIANGLES);
        } else if (finished < READING_EDGES && meshParms_[NUM_EDGES] > 0) {
            enter(READING_EDGES);
        } else if (finished < READING_POINTS && meshParms_[NUM_POINTS] > 0) {
            enter(READING_POINTS);
        } else {
            enter(SEARCHING_FOR_DIFFUSECOLOR);
        }
    }

    int readTriangleIndex(std::string_view token) {
        const std::int64_t index = count_++;
        int value;
        if (!parse_int(token, value)) return CNV_BAD_TRIANGLE;
        auto &triangles = sp_->geometry.coordIndex.v;
        // Mirroring z reverses the winding: a b c is stored as a c b.
        switch (index % 3) {
            case 0:
                triangles.push_back({value, 0, 0});
                partial_ = Partial::triangle;
                break;
            case 1:
                (mirrored() ? triangles.back().third : triangles.back().second) = value;
                break;
            default:
                (mirrored() ? triangles.back().second : triangles.back().third) = value;
                partial_ = Partial::none;
                break;
        }
        if (count_ == 3 * std::int64_t{meshParms_[NUM_TRIANGLES]}) enterSectionAfter(state_);
        return kContinue;
    }

    int readPointCoordinate(std::string_view token) {
        const std::int64_t index = count_++;
        float value;
        if (!parse_float(token, value)) return CNV_BAD_POINTS;
        auto &points = sp_->geometry.coord.point.v;
        switch (index % 3) {
            case 0:
                points.push_back({value, 0, 0});
                partial_ = Partial::point;
                break;
            case 1:
                points.back().y = value;
                break;
            default:
                points.back().z = mirrored() ? -value : value;
                partial_ = Partial::none;
                break;
        }
        if (count_ == 3 * std::int64_t{meshParms_[NUM_POINTS]}) enter(SEARCHING_FOR_DIFFUSECOLOR);
        return kContinue;
    }

    int readDiffuseColor(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        float value;
        if (!parse_float(token, value)) return CNV_BAD_COLOR;
        SFColor &color = sp_->appearance.material.diffuseColor;
        (index == 1 ? color.r : index == 2 ? color.g : color.b) = value;
        if (index == 3) {
            lastDefName_.clear();
            state_ = SCANNING;
        }
        return kContinue;
    }

    int readForwardDirection(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        if (!parse_int(token, direction_[index - 1])) return CNV_BAD_DIRECTION;
        if (index == 3) state_ = SCANNING;
        return kContinue;
    }

    int readCameraPlacement(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        double value;
        if (!parse_double(token, value)) return CNV_BAD_VIEWPOINT;
        // The location is stored as floats: it must stay finite there too.
        if (index <= 3 && !std::isfinite(static_cast<float>(value))) return CNV_BAD_VIEWPOINT;
        _Vector &target = index <= 3 ? pos_ : index <= 6 ? lookat_ : up_;
        switch ((index - 1) % 3) {
            case 0:
                target.x = value;
                break;
            case 1:
                target.y = value;
                break;
            default:
                target.z = mirrored() ? -value : value;
                break;
        }
        return index == 9 ? createViewpoint() : kContinue;
    }

    int createViewpoint() {
        Viewpoint *vp = newViewpoint(lastDefName_);
        if (!vp) return CNV_CANT_ALLOC_NODE;
        _Vector axis;
        double angle = 0;
        Convert_Camera_Model(pos_, lookat_, up_, axis, angle);
        vp->orientation = {static_cast<float>(axis.x), static_cast<float>(axis.y),
                           static_cast<float>(axis.z), static_cast<float>(angle)};
        vp->position = {static_cast<float>(pos_.x), static_cast<float>(pos_.y),
                        static_cast<float>(pos_.z)};
        state_ = SCANNING;
        lastDefName_.clear();
        return kContinue;
    }

    int readLightDirection(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        if (!parse_float(token, lightDirection_[index - 1])) return CNV_BAD_LIGHT;
        return index == 3 ? createLight() : kContinue;
    }

    int createLight() {
        lp_ = newLight(lastDefName_);
        if (!lp_) return CNV_CANT_ALLOC_NODE;
        lp_->ambientIntensity = ambientIntensity_;
        const float z = lightDirection_[2];
        lp_->direction = {lightDirection_[0], lightDirection_[1], mirrored() ? -z : z};
        enter(SEARCHING_FOR_LIGHT);
        lastDefName_.clear();
        return kContinue;
    }

    int readLightData(std::string_view token) {
        const std::int64_t index = count_++;
        if (index == 0) return kContinue;
        if (index == 1) {
            if (token == "True") lp_->on = 1;
            if (token == "False") lp_->on = 0;
            return kContinue;
        }
        float value;
        if (!parse_float(token, value)) return CNV_BAD_LIGHT;
        switch (index) {
            case 2:
                lp_->intensity = value;
                break;
            case 3:
                lp_->color.r = value;
                break;
            case 4:
                lp_->color.g = value;
                break;
            default:
                lp_->color.b = value;
                lastDefName_.clear();
                state_ = SCANNING;
                break;
        }
        return kContinue;
    }

    LineTokenizer &tok_;
    const float fileLength_;
    const std::uint64_t inputSize_;

    State state_ = SCANNING;
    std::int64_t count_ = 0;
    std::string lastDefName_;
    std::array<int, 7> meshParms_{};
    Shape *sp_ = nullptr;
    // The element of sp_ whose values are still coming, if any.
    enum class Partial : std::uint8_t { none, triangle, point } partial_ = Partial::none;
    DirectionalLight *lp_ = nullptr;
    float ambientIntensity_ = 0;
    std::array<int, 3> direction_{};
    _Vector pos_, lookat_, up_;
    std::array<float, 3> lightDirection_{};
    std::vector<std::string> pendingMessages_;  // meshes whose header line has not ended yet
    const Progress &update_display_;
};

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

int readTokens(LineTokenizer &tokenizer, float fileLength, std::uint64_t inputSize,
               const Progress &progress) {
    if (!tokenizer.prime()) return tokenizer.read_failed() ? CNV_READ_ERROR : CNV_EMPTY_FILE;
    Reader reader(tokenizer, fileLength, inputSize, progress);
    return reader.run();
}

}  // namespace

int read_in(const std::string &fileName, const Progress &progress) {
    std::unique_ptr<std::FILE, FileCloser> opened;
    std::FILE *input = stdin;
    float fileLength = 100;
    std::uint64_t inputSize = 0;  // unknown
    if (fileName == "stdin") {
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    } else {
        const std::filesystem::path path = path_from_utf8(fileName);
        opened.reset(open_file(path, "rb"));
        if (!opened) return CNV_CANT_OPEN;
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        // Some systems open a directory for reading and fail only at the first read.
        if (std::filesystem::is_directory(status)) return CNV_CANT_OPEN;
        if (std::filesystem::is_regular_file(status)) {
            inputSize = std::filesystem::file_size(path, error);
            if (error) inputSize = 0;
            fileLength = static_cast<float>(inputSize);
        }
        input = opened.get();
    }

    clean_up();
    try {
        LineTokenizer tokenizer(input, read_block_size(),
                                input == stdin ? take_stdin_prefix() : std::string{});
        return readTokens(tokenizer, fileLength, inputSize, progress);
    } catch (const std::bad_alloc &) {
        return CNV_CANT_ALLOC_NODE;
    }
}

int read_in_memory(std::string_view bytes, const Progress &progress) {
    clean_up();
    try {
        LineTokenizer tokenizer(bytes);
        return readTokens(tokenizer, static_cast<float>(bytes.size()), bytes.size(), progress);
    } catch (const std::bad_alloc &) {
        return CNV_CANT_ALLOC_NODE;
    }
}

}  // namespace tarvex
