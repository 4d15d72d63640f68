#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/vrml.h"
#include "tests/core_test_support.h"

using namespace tarvex;
using namespace std::string_literals;
using tarvex_test::progress_calls;
using tarvex_test::ProgressCall;

namespace {

// The store as one line per record (at most four elements of each array), so that a case
// states all it expects in one string. Floats print with six significant digits.
std::string scene() {
    std::ostringstream s;
    auto list = [&s](const auto &array, auto print) {
        s << array.numPoints << ':';
        for (int j = 0; j < std::min(array.numPoints, 4); ++j) print(array.at_or_zero(j));
    };
    for (int i = 0; i < numberOfShapes(); ++i) {
        const Shape *sp = getShape(i);
        const SFColor &c = sp->appearance.material.diffuseColor;
        s << "S" << sp->defName << " c" << c.r << ',' << c.g << ',' << c.b << " t";
        list(sp->geometry.coordIndex,
             [&s](TriangleIndex t) { s << ' ' << t.first << ',' << t.second << ',' << t.third; });
        s << " p";
        list(sp->geometry.coord.point, [&s](SFVec3f p) { s << ' ' << p.x << ',' << p.y << ',' << p.z; });
        s << '\n';
    }
    for (int i = 0; i < numberOfViewpoints(); ++i) {
        const Viewpoint *vp = getViewpoint(i);
        s << "V" << vp->defName << " p" << vp->position.x << ',' << vp->position.y << ','
          << vp->position.z << " o" << vp->orientation.x << ',' << vp->orientation.y << ','
          << vp->orientation.z << ',' << vp->orientation.angle << '\n';
    }
    for (int i = 0; i < numberOfLights(); ++i) {
        const DirectionalLight *lp = getLight(i);
        s << "L" << lp->defName << " on" << lp->on << " i" << lp->intensity << " a"
          << lp->ambientIntensity << " c" << lp->color.r << ',' << lp->color.g << ',' << lp->color.b
          << " d" << lp->direction.x << ',' << lp->direction.y << ',' << lp->direction.z << '\n';
    }
    return s.str();
}

const std::string kCube =
    "cube: TriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 -1 -1 0 1 1 0 False ) "
    "DiffuseColor ( 1 0 0 )\n";
const std::string kCubeScene = "Scube c1,0,0 t1: 0,1,2 p3: 0,0,0 1,0,0 0,1,0\n";
const std::string kMesh = "TriMesh ( 0 0 0 0 0 0 ) ";
const std::string kGrey = "S c0.8,0.8,0.8 t0: p0:\n";
const std::string kCamera = "CameraPlacement ( 0 0 10 0 0 0 0 1 0 ) ";
const std::string kView = "V p0,0,10 o1,0,0,0\n";
const std::string kLight = "DirectionalLight ( 0 0 -1 ) ";
const std::string kDefaultLight = "L on1 i1 a0 c1,1,1 d0,0,-1\n";
const std::string kOffLight = "L on0 i0.5 a0 c0,0,0 d0,0,-1\n";
const std::string kKept =
    "kept: " + kMesh + "DiffuseColor ( 1 1 1 ) " + kCamera + kLight + "Light ( True 1 1 1 1 )\n";
const std::string kKeptShape = "Skept c1,1,1 t0: p0:\n";
const std::string kKeptScene = kKeptShape + kView + kDefaultLight;

struct Case {
    std::string what, input;
    int code;
    std::string scene;
};

class reader : public tarvex_test::TempDirTest {
protected:
    int read(const std::string &bytes) { return tarvex_test::read_bytes(dir_, bytes); }
    void check(const std::vector<Case> &cases) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            EXPECT_EQ(read(c.input), c.code);
            EXPECT_EQ(scene(), c.scene);
        }
    }
};

TEST_F(reader, objects_names_and_companions) {
    check({
        {"mesh", kCube, CNV_OK, kCubeScene},
        {"lights", "AmbientLight ( ) x ( True 0.3 ) DirectionalLight ( 0 0 -1 True ) "
                   "Light ( False 0.8 1 0.5 0 )", CNV_OK, "L on0 i0.8 a0.3 c1,0.5,0 d0,0,-1\n"},
        {"mirrored camera looks along +z", "ForwardDirection ( 0 0 -1 ) " + kCamera, CNV_OK,
         "V p0,0,-10 o0,1,0,3.14159\n"},
        {"mirroring on and off",
         "ForwardDirection ( 0 0 -1.0 ) TriMesh ( 1 0 0 0 1 0 0 1 2 1 2 3 ) DiffuseColor ( 0 0 -1 ) "
         "DirectionalLight ( 0.5 0.25 -1 ) ForwardDirection ( 0 0 1 ) TriMesh ( 1 0 0 0 1 0 0 1 2 1 2 3 )",
         CNV_OK, "S c0,0,-1 t1: 0,2,1 p1: 1,2,-3\nS c0.8,0.8,0.8 t1: 0,1,2 p1: 1,2,3\n"
                 "L on1 i1 a0 c1,1,1 d0.5,0.25,1\n"},
        {"sections take their counts; edges are skipped unread",
         "TriMesh ( 2 0 3 0 4 0 0 1 2 2 3 0 TriMesh e e e e e e e e e e e 0 0 0 1 0 0 1 1 0 0 1 0 "
         "-1 -1 -1 ) DiffuseColor ( 0 1 0 ) TriMesh ( 1 0 -1 0 1 0 0 1 2 9 8 7 ) "
         "TriMesh ( 0 0 0 0 1 0 4 5 6 )",
         CNV_OK, "S c0,1,0 t2: 0,1,2 2,3,0 p4: 0,0,0 1,0,0 1,1,0 0,1,0\n"
                 "S c0.8,0.8,0.8 t1: 0,1,2 p1: 9,8,7\nS c0.8,0.8,0.8 t0: p1: 4,5,6\n"},
        {"keywords are exact whole tokens; a keyword label is a label",
         "trimesh ( 0 0 0 0 0 0 ) TriMesh( 0 0 0 0 0 0 ) DiffuseColor ( 1 1 1 ) TriMesh: " + kCamera,
         CNV_OK, "VTriMesh p0,0,10 o1,0,0,0\n"},
        {"labels before objects that make no record",
         "a: ForwardDirection ( 0 0 1 ) b: AmbientLight ( 1 2 3 4 0.5 ) Group ( ) " + kMesh +
             "DiffuseColor ( 1 1 1 ) " + kCamera,
         CNV_OK, "Sb c1,1,1 t0: p0:\n" + kView},
        {"lone colon empties the name", "a: : " + kMesh, CNV_OK, kGrey},
        {"the mesh uses up the name", "a: " + kMesh + kCamera, CNV_OK,
         "Sa c0.8,0.8,0.8 t0: p0:\n" + kView},
        {"labels while searching", "a: " + kMesh + "b: " + kCamera + kLight +
             "c: Light ( True 1 1 1 1 ) " + kCamera + kLight + "d: " + kCamera,
         CNV_OK, "Sa c0.8,0.8,0.8 t0: p0:\nVb p0,0,10 o1,0,0,0\n" + kView +
                     "Vd p0,0,10 o1,0,0,0\n" + kDefaultLight + kDefaultLight},
        {"a colour or a light clears the name", "a: " + kMesh + "b: DiffuseColor ( 1 1 1 ) " + kCamera +
             "l: " + kLight + kCamera, CNV_OK, "Sa c1,1,1 t0: p0:\n" + kView + kView + "Ll" + kDefaultLight.substr(1)},
        {"first token of an object is skipped, even a label",
         "CameraPlacement c: 0 0 10 0 0 0 0 1 0 " + kMesh, CNV_OK, kGrey + kView},
        {"ambient intensity applies to later lights", kLight + "AmbientLight ( 1 2 3 4 0.25 ) " +
             kLight + "AmbientLight TriMesh TriMesh TriMesh TriMesh TriMesh 0.5 " + kLight,
         CNV_OK, kDefaultLight + "L on1 i1 a0.25 c1,1,1 d0,0,-1\nL on1 i1 a0.5 c1,1,1 d0,0,-1\n"},
        {"LightData; only True and False switch", kLight + "LightData ( False 0.5 0.25 0.5 0.75 ) " +
             kLight + "Light ( true 0.5 1 1 1 )",
         CNV_OK, "L on0 i0.5 a0 c0.25,0.5,0.75 d0,0,-1\nL on1 i0.5 a0 c1,1,1 d0,0,-1\n"},
        {"table of contents", "TableOfContents ( cube: TriMesh 1 2 3 4 5 6 " + kCamera + "x)y " +
             kMesh + "DiffuseColor ( 1 0 0 )", CNV_OK, "S c1,0,0 t0: p0:\n"},
        {"cut-off mesh", "TriMesh ( 2 0 0 0 3 0 0 1 2 7", CNV_OK,
         "S c0.8,0.8,0.8 t2: 0,1,2 7,0,0 p3: 0,0,0 0,0,0 0,0,0\n"},
        {"cut-off camera", "CameraPlacement ( 0 0 10 0 0 0 0 1", CNV_OK, ""},
        {"cut-off light direction", "DirectionalLight ( 0 0", CNV_OK, ""},
        {"cut-off Light", kLight + "Light ( False 0.5", CNV_OK, "L on0 i0.5 a0 c1,1,1 d0,0,-1\n"},
        {"huge counts; 3 x triangles overflows an int",
         "TriMesh ( 1000000000 0 0 0 2147483647 0 0 1 2 3 4 5", CNV_OK,
         "S c0.8,0.8,0.8 t1000000000: 0,1,2 3,4,5 0,0,0 0,0,0 p2147483647: 0,0,0 0,0,0 0,0,0 0,0,0\n"},
    });
}

// After a mesh or a light the reader looks for its companion object. An object keyword ends
// that search and is handled; the companion that comes later is then skipped.
TEST_F(reader, object_keywords_end_the_companion_searches) {
    const std::string colour = "DiffuseColor ( 0 0 1 )", light = "Light ( False 0.5 0 0 0 )";
    check({
        {"mesh, mesh", kMesh + kMesh + colour, CNV_OK, kGrey + "S c0,0,1 t0: p0:\n"},
        {"mesh, camera", kMesh + kCamera + colour, CNV_OK, kGrey + kView},
        {"mesh, light", kMesh + kLight + colour, CNV_OK, kGrey + kDefaultLight},
        {"mesh, ambient", kMesh + "AmbientLight ( 1 2 3 4 0.5 ) " + colour + " " + kLight, CNV_OK,
         kGrey + "L on1 i1 a0.5 c1,1,1 d0,0,-1\n"},
        {"mesh, forward", kMesh + "ForwardDirection ( 0 0 -1 ) " + colour + " " + kLight, CNV_OK,
         kGrey + "L on1 i1 a0 c1,1,1 d0,0,1\n"},
        {"mesh, contents", kMesh + "TableOfContents ( DiffuseColor ) " + colour, CNV_OK, kGrey},
        {"light, mesh", kLight + kMesh + light, CNV_OK, kGrey + kDefaultLight},
        {"light, camera", kLight + kCamera + light, CNV_OK, kView + kDefaultLight},
        {"light, light", kLight + kLight + light, CNV_OK, kDefaultLight + kOffLight},
        {"light, ambient", kLight + "AmbientLight ( 1 2 3 4 0.5 ) " + light, CNV_OK, kDefaultLight},
        {"light, forward", kLight + "ForwardDirection ( 0 0 1 ) " + light, CNV_OK, kDefaultLight},
        {"light, contents", kLight + "TableOfContents ( Light ) " + light, CNV_OK, kDefaultLight},
    });
}

TEST_F(reader, other_object_words_end_the_searches_but_near_misses_do_not) {
    std::vector<Case> cases;
    for (const char *word : {"Box", "Cone", "Cylinder", "Disk", "Ellipse", "Ellipsoid",
                             "GeneralPolygon", "Line", "Marker", "Mesh", "NURBCurve", "NURBPatch",
                             "PixmapMarker", "Point", "PolyLine", "Polygon", "Polyhedron", "Torus",
                             "Triangle", "TriGrid", "BeginGroup", "EndGroup", "PointLight",
                             "SpotLight", "OrthographicCamera", "ViewPlaneCamera",
                             "ViewAngleAspectCamera"}) {
        cases.push_back({word, kMesh + word + " ( ) DiffuseColor ( 0 0 1 )", CNV_OK, kGrey});
        cases.push_back({word, kLight + word + " ( ) Light ( False 0.5 0 0 0 )", CNV_OK, kDefaultLight});
    }
    for (const char *word : {"box", "Boxes", "Group", "Ellipsoid:", "DiffuseColour", "Lights"}) {
        cases.push_back({word, kMesh + word + " ( ) DiffuseColor ( 0 0 1 )", CNV_OK, "S c0,0,1 t0: p0:\n"});
        cases.push_back({word, kLight + word + " ( ) Light ( False 0.5 0 0 0 )", CNV_OK, kOffLight});
    }
    check(cases);
}

TEST_F(reader, each_failure_stops_with_its_code_and_keeps_what_was_made) {
    const std::string rest = kView + kDefaultLight;
    check({
        {"header count", kKept + "TriMesh ( 1 0 0 x 3 0 " + kCube, CNV_BAD_TRI_MESH_SPEC, kKeptScene},
        {"attribute count", kKept + "TriMesh ( 1 0 0 0 3 ) " + kCube, CNV_BAD_TRI_MESH_SPEC, kKeptScene},
        {"count overflow", kKept + "TriMesh ( 1 0 99999999999 0 3 0 " + kCube, CNV_BAD_TRI_MESH_SPEC,
         kKeptScene},
        {"negative triangles", kKept + "TriMesh ( -1 0 0 0 3 0 " + kCube, CNV_CANT_ALLOC_NODE, kKeptScene},
        {"negative points", kKept + "TriMesh ( 1 0 0 0 -3 0 " + kCube, CNV_CANT_ALLOC_NODE, kKeptScene},
        {"triangle", kKept + "TriMesh ( 2 0 0 0 3 0 0 1 2 5 ) 1 " + kCube, CNV_BAD_TRIANGLE,
         kKeptShape + "S c0.8,0.8,0.8 t2: 0,1,2 5,0,0 p3: 0,0,0 0,0,0 0,0,0\n" + rest},
        {"point", kKept + "TriMesh ( 1 0 0 0 2 0 0 1 1 1 2 3 4 ) 6 " + kCube, CNV_BAD_POINTS,
         kKeptShape + "S c0.8,0.8,0.8 t1: 0,1,1 p2: 1,2,3 4,0,0\n" + rest},
        {"colour", kKept + kMesh + "DiffuseColor ( 0.5 ) 0 ) " + kCube, CNV_BAD_COLOR,
         kKeptShape + "S c0.5,0.8,0.8 t0: p0:\n" + rest},
        {"forward direction", kKept + "ForwardDirection ( 0 0 ) ) " + kCube, CNV_BAD_DIRECTION, kKeptScene},
        {"camera", kKept + "CameraPlacement ( 0 0 10 0 0 0 0 1 ) ) " + kCube, CNV_BAD_VIEWPOINT, kKeptScene},
        {"light direction", kKept + "DirectionalLight ( 0 -1 ) ) " + kCube, CNV_BAD_LIGHT, kKeptScene},
        {"Light values", kKept + kLight + "Light ( False 0.5 0.25 ) 0 ) " + kCube, CNV_BAD_LIGHT,
         kKeptScene + "L on0 i0.5 a0 c0.25,1,1 d0,0,-1\n"},
        {"ambient light", kKept + "AmbientLight ( ) x ( True ) " + kCube, CNV_BAD_LIGHT, kKeptScene},
        {"empty input", "", CNV_EMPTY_FILE, ""},
        {"comments and blanks only", "# comment\n\n \t \n#TriMesh ( 0 0 0 0 0 0 )\n", CNV_OK, ""},
    });
}

TEST_F(reader, unopenable_input_leaves_the_store_alone) {
    ASSERT_EQ(read(kCube), CNV_OK);
    EXPECT_EQ(read_in(path("missing.3dmf").string()), CNV_CANT_OPEN);
    EXPECT_EQ(read_in(dir_.string()), CNV_CANT_OPEN);
    EXPECT_EQ(scene(), kCubeScene);
}

TEST_F(reader, line_ends_comments_long_lines_and_nul) {
    const std::string lf =
        "3DMetafile ( 1 0 Normal toc> ) # header\ncube:\tTriMesh (  1 0\t0 0 3 0 # counts 9 9\n"
        "0 1 2#x\n#0 5 5\n\n0 0 0 1 0 0 0 1 0 -1 -1 0 1 1 0 False )\nDiffuseColor ( 1 0 0 )";
    auto ending = [&lf](const std::string &eol) {
        std::string out;
        for (char ch : lf) out += ch == '\n' ? eol : std::string(1, ch);
        return out;
    };
    const std::string name(1500, 'n'), one = "1." + std::string(1200, '0') + "1";
    check({
        {"LF", lf, CNV_OK, kCubeScene},
        {"CR LF", ending("\r\n") + "\r\n", CNV_OK, kCubeScene},
        {"CR", ending("\r"), CNV_OK, kCubeScene},
        {"long tokens", std::string(2000, ' ') + name + ": TriMesh ( 0 0 0 0 1 0 " + one + " " + one +
             " 2 )", CNV_OK, "S" + name + " c0.8,0.8,0.8 t0: p1: 1,1,2\n"},
        {"long comment", "# " + std::string(1200, 'c') + " " + kMesh + "\n" + kCube, CNV_OK, kCubeScene},
        {"NUL", "cube: TriMesh ( 1 0 0 0 3 0 0 1 2\0 x\n0 0 0 1 0 0 0 1 0 ) DiffuseColor ( 1\0TriMesh\r0 0 )"s,
         CNV_OK, kCubeScene},
    });
}

TEST_F(reader, many_values_survive_buffer_boundaries) {
    constexpr int n = 60000;
    std::ostringstream in;
    in << "TriMesh ( " << n << " 0 0 0 " << n << " 0\r\n";
    for (int i = 0; i < n; ++i) in << i << ' ' << n - 1 - i << " 7\r\n";
    for (int i = 0; i < n; ++i) in << i << ".5 -" << i << " 0.25\r\n";
    ASSERT_EQ(read(in.str()), CNV_OK);
    const Shape *sp = getShape(0);
    for (int i = 0; i < n; ++i) {
        const TriangleIndex t = sp->geometry.coordIndex.at_or_zero(i);
        const SFVec3f p = sp->geometry.coord.point.at_or_zero(i);
        ASSERT_TRUE(t.first == i && t.second == n - 1 - i && t.third == 7) << "triangle " << i;
        ASSERT_TRUE(p.x == i + 0.5f && p.y == -i && p.z == 0.25f) << "point " << i;
    }
}

TEST_F(reader, float_tokens_follow_strtof_and_must_be_finite) {
    const std::pair<const char *, float> good[] = {
        {"+5", 5},    {"\v5", 5},  {"\f-2", -2}, {"0x1p3", 8},   {"0X1.8P1", 3},   {"5abc", 5},
        {".5", 0.5f}, {"1.5e", 1.5f}, {"1e+", 1}, {"1,5", 1},    {"0x", 0},        {"0.1", 0.1f},
        {"1e-50", 0}, {"1e-40", 1e-40f}, {"3.4028235e38", FLT_MAX}, {"0x1.fffffep127", FLT_MAX}};
    for (const auto &[token, value] : good) {
        ASSERT_EQ(read("TriMesh ( 0 0 0 0 1 0 "s + token + " 0 0 )"), CNV_OK) << token;
        EXPECT_EQ(getShape(0)->geometry.coord.point.at_or_zero(0).x, value) << token;
    }
    for (const char *token : {"3.4028236e38", "1e39", "0x1p128", "nan", "nanx", "-inf", "INF",
                              "infinity", "-", ".", "e5", "+-1", "("})
        EXPECT_EQ(read("TriMesh ( 0 0 0 0 1 0 "s + token + " 0 0 )"), CNV_BAD_POINTS) << token;
    ASSERT_EQ(read("TriMesh ( 0 0 0 0 1 0 -1e-50 0 0 )"), CNV_OK);
    EXPECT_TRUE(std::signbit(getShape(0)->geometry.coord.point.at_or_zero(0).x));
    EXPECT_EQ(read(kMesh + "DiffuseColor ( 1 nan 0 )"), CNV_BAD_COLOR);
    EXPECT_EQ(read(kLight + "Light ( True inf 1 1 1 )"), CNV_BAD_LIGHT);
    EXPECT_EQ(read("AmbientLight ( 1 2 3 4 1e39 )"), CNV_BAD_LIGHT);
    EXPECT_EQ(read("DirectionalLight ( 0 nan -1 )"), CNV_BAD_LIGHT);
}

TEST_F(reader, int_tokens_follow_strtol_within_int_range) {
    const std::pair<const char *, int> good[] = {
        {"+7", 7}, {"\v7", 7}, {"-0", 0}, {"007", 7}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"0x10", 0}, {"1e3", 1}, {"-1.9", -1}};
    for (const auto &[token, value] : good) {
        ASSERT_EQ(read("TriMesh ( 1 0 0 0 0 0 "s + token + " 0 0 )"), CNV_OK) << token;
        EXPECT_EQ(getShape(0)->geometry.coordIndex.at_or_zero(0).first, value) << token;
    }
    for (const char *token : {"2147483648", "-2147483649", "99999999999999999999", "+", "-x", "("})
        EXPECT_EQ(read("TriMesh ( 1 0 0 0 0 0 "s + token + " 0 0 )"), CNV_BAD_TRIANGLE) << token;
    EXPECT_EQ(read("ForwardDirection ( 0 0 2147483648 )"), CNV_BAD_DIRECTION);
}

// Camera values are doubles, but the location is stored as floats and must stay finite there.
TEST_F(reader, camera_tokens_follow_strtod_and_the_location_must_fit_a_float) {
    ASSERT_EQ(read("CameraPlacement ( 0x1p3 0 3.4028235e38 0 0 1e39 0 1 0 )"), CNV_OK);
    EXPECT_EQ(scene(), "V p8,0,3.40282e+38 o0,1,0,3.14159\n");
    for (const char *values : {"3.40282357e38 0 0 0 0 0", "0 1e39 0 0 0 0", "0 0 0 1e309 0 0",
                               "0 0 0 0 0 1 0 inf 0", "nan 0 0 0 0 1"})
        EXPECT_EQ(read("CameraPlacement ( "s + values + " 0 1 0 )"), CNV_BAD_VIEWPOINT) << values;
}

TEST_F(reader, progress_message_once_per_mesh) {
    const std::string name(1500, 'n');
    ASSERT_EQ(read("a: TriMesh ( 2 0 3 0 4 0 0 1 2 2 3 0 e e e e e e e e e e e e "
                   "0 0 0 1 0 0 1 1 0 0 1 0 ) TriMesh ( 1 0 -1 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 ) " +
                   kCamera + kLight + name + ": " + kMesh),
              CNV_OK);
    std::vector<std::string> lines;
    for (const ProgressCall &call : progress_calls()) lines.push_back(call.line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a:  2 triangles 4 points 3 edges",
                                               "(no name): 1 triangles 3 points -1 edges",
                                               name + ":  0 triangles 0 points 0 edges"}));
}

// A comment line of exactly `bytes` bytes, line end included.
std::string commentLine(std::size_t bytes, const std::string &eol = "\n") {
    std::string line(bytes - eol.size(), 'c');
    line[0] = '#';
    return line.append(eol);
}

std::string padded(std::string text, std::size_t total, const std::string &eol = "\n") {
    text.append(")").append(eol);
    return text.append(commentLine(total - text.size(), eol));
}

TEST_F(reader, progress_percentage_is_taken_past_the_line_of_the_sixth_count) {
    const std::pair<std::string, int> cases[] = {
        {padded("TriMesh ( 0 0 0 0 0 0\n", 200), 11},
        {padded("TriMesh ( 0 0 0 0 0 0\r\n", 200, "\r\n"), 12},  // 11.5 rounds up
        {padded("TriMesh ( 0 0 0 0 0 0\r", 200, "\r"), 11},
        {padded("TriMesh (\n0 0 0\n0 0 0\n", 400), 6},
        {padded(commentLine(1501) + "TriMesh ( 0 0 0 0 0 0\n", 3000), 51},
        {"TriMesh ( 0 0 0 0 0 0", 100},
        {padded("TriMesh ( 0 0 0 0 0 0\0 x\n"s, 200), 13},
    };
    for (const auto &[input, pct] : cases) {
        SCOPED_TRACE(testing::PrintToString(input.substr(0, 30)));
        ASSERT_EQ(read(input), CNV_OK);
        ASSERT_EQ(progress_calls().size(), 1u);
        EXPECT_EQ(progress_calls()[0].pct, pct);
    }

    // Header lines ending at exactly 1/4 and 3/4 of a 4 MiB file.
    const std::size_t quarter = 1u << 20;
    const std::string header = "TriMesh ( 0 0 0 0 0 0 )\n";
    auto filler = [](std::size_t bytes) {
        std::string s;
        while (s.size() + 100 <= bytes) s += commentLine(100);
        return s + commentLine(bytes - s.size());
    };
    ASSERT_EQ(read(filler(quarter - header.size()) + header + filler(2 * quarter - header.size()) +
                   header + filler(quarter)),
              CNV_OK);
    ASSERT_EQ(progress_calls().size(), 2u);
    EXPECT_EQ(progress_calls()[0].pct, 25);
    EXPECT_EQ(progress_calls()[1].pct, 75);
}

// Standard input has no length; its nominal length of 100 makes the percentage the offset.
TEST_F(reader, standard_input_reports_the_offset_as_percentage) {
    const std::string in = file("in.3dmf", "# pad\n" + kMesh + "\n" + commentLine(200) + kMesh + "\n");
    const int saved = dup(0), fd = open(in.c_str(), O_RDONLY);
    ASSERT_TRUE(saved >= 0 && fd >= 0 && dup2(fd, 0) == 0);
    close(fd);
    progress_calls().clear();
    const int rc = read_in("stdin");
    dup2(saved, 0);
    close(saved);
    ASSERT_EQ(rc, CNV_OK);
    ASSERT_EQ(progress_calls().size(), 2u);
    EXPECT_EQ(progress_calls()[0].pct, 31);
    EXPECT_EQ(progress_calls()[1].pct, 256);
}

}  // namespace
