#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>
#include <type_traits>

#include "core/convert.h"
#include "core/scene_store.h"
#include "tests/core/core_test_support.h"

using namespace tarvex;
using namespace std::string_literals;
using tarvex_test::progress_calls;

namespace {

// A triangle, point or colour as "a,b,c".
template <class T, class = std::enable_if_t<std::is_class_v<T> && std::is_aggregate_v<T>>>
std::ostream &operator<<(std::ostream &s, const T &value) {
    const auto &[a, b, c] = value;
    return s << a << ',' << b << ',' << c;
}

// A count and at most four of the elements read (a mesh cut short has fewer than it declares).
template <class T>
void list(std::ostream &s, const char *tag, const CountedArray<T> &array) {
    s << tag << array.numPoints << ':';
    for (std::size_t j = 0; j < std::min<std::size_t>(array.v.size(), 4); ++j)
        s << ' ' << array.v[j];
}

// The store as one line per record, floats with six significant digits; a shape's colour only
// when it is not the default grey.
std::string scene() {
    std::ostringstream s;
    for (int i = 0; i < numberOfShapes(); ++i) {
        const Shape &sp = *getShape(i);
        const SFColor &c = sp.appearance.material.diffuseColor;
        s << 'S' << sp.defName;
        if (c.r != 0.8f || c.g != 0.8f || c.b != 0.8f) s << " c" << c;
        list(s, " t", sp.geometry.coordIndex);
        list(s, " p", sp.geometry.coord.point);
        s << '\n';
    }
    for (int i = 0; i < numberOfViewpoints(); ++i) {
        const Viewpoint &v = *getViewpoint(i);
        s << 'V' << v.defName << " p" << v.position << " o" << v.orientation.x << ','
          << v.orientation.y << ',' << v.orientation.z << ',' << v.orientation.angle << '\n';
    }
    for (int i = 0; i < numberOfLights(); ++i) {
        const DirectionalLight &l = *getLight(i);
        s << 'L' << l.defName << " on" << l.on << " i" << l.intensity << " a" << l.ambientIntensity
          << " c" << l.color << " d" << l.direction << '\n';
    }
    return s.str();
}

const std::string kCube =
    "cube: TriMesh ( 1 0 0 0 3 0 0 1 2 0 0 0 1 0 0 0 1 0 -1 -1 0 1 1 0 False ) DiffuseColor ( 1 0 "
    "0 )\n";
const std::string kCubeScene = "Scube c1,0,0 t1: 0,1,2 p3: 0,0,0 1,0,0 0,1,0\n";
const std::string kMesh = "TriMesh ( 0 0 0 0 0 0 ) ", kGrey = "S t0: p0:\n";
const std::string kCamera = "CameraPlacement ( 0 0 10 0 0 0 0 1 0 ) ";
const std::string kLight = "DirectionalLight ( 0 0 -1 ) ", kOn = "L on1 i1 a0 c1,1,1 d0,0,-1\n";
const std::string kView = "V p0,0,10 o1,0,0,0\n", kOff = "L on0 i0.5 a0 c1,1,1 d0,0,-1\n";

using Case = std::tuple<std::string, int, std::string>;  // input, result, scene

class reader : public tarvex_test::TempDirTest {
  protected:
    // Reading the bytes from memory must give what reading them from a file gives.
    int read(const std::string &bytes) {
        progress_calls().clear();
        const int fromMemory = read_in_memory(bytes, tarvex_test::recording());
        const std::string memoryScene = scene();
        const auto memoryCalls = progress_calls();
        progress_calls().clear();
        const int result = read_in(file("input.3dmf", bytes), tarvex_test::recording());
        EXPECT_EQ(fromMemory, result);
        EXPECT_EQ(memoryScene, scene());
        EXPECT_EQ(memoryCalls, progress_calls());
        return result;
    }
    void check(const std::vector<Case> &cases) {
        for (const auto &[input, code, expected] : cases) {
            SCOPED_TRACE(testing::PrintToString(input));
            EXPECT_EQ(read(input), code);
            EXPECT_EQ(scene(), expected);
        }
    }
};

TEST_F(reader, objects_names_and_companions) {
    check({
        // The three objects of three_objects.3dmf one by one (the console test converts all).
        {kCube, CNV_OK, kCubeScene},
        {"AmbientLight ( ) x ( True 0.3 ) DirectionalLight ( 0 0 -1 True ) Light ( False 0.8 1 0.5 "
         "0 )",
         CNV_OK, "L on0 i0.8 a0.3 c1,0.5,0 d0,0,-1\n"},
        {"ForwardDirection ( 0 0 -1 ) " + kCamera, CNV_OK, "V p0,0,-10 o0,1,0,3.14159\n"},
        // Mirroring z negates points and light directions, reverses the winding, spares colours.
        {"ForwardDirection ( 0 0 -1.0 ) TriMesh ( 1 0 0 0 1 0 0 1 2 1 2 3 ) DiffuseColor ( 0 "
         "0 -1 ) DirectionalLight ( 1 2 -3 )",
         CNV_OK, "S c0,0,-1 t1: 0,2,1 p1: 1,2,-3\nL on1 i1 a0 c1,1,1 d1,2,3\n"},
        // Sections take their counts (triangles, edges skipped unread, points); keywords inside
        // are values.
        {"TriMesh ( 1 0 2 0 2 0 0 1 2 TriMesh e e e e e e e 1 0 0 1 1 0 -1 ) TriMesh ( 1 0 -1 0 "
         "1 0 0 1 2 9 8 7 )",
         CNV_OK, "S t1: 0,1,2 p2: 1,0,0 1,1,0\nS t1: 0,1,2 p1: 9,8,7\n"},
        // Each record takes the pending name; a colour or light data that follows clears it. A
        // keyword with a colon is a label.
        {"a: " + kMesh + kMesh + "b: DiffuseColor ( 1 1 1 ) " + kCamera + "TriMesh: " + kCamera +
             kCamera + "l: " + kLight + kLight + "c: Light ( False 0.5 1 1 1 ) " + kCamera,
         CNV_OK,
         "Sa t0: p0:\nS c1,1,1 t0: p0:\n" + kView + "VTriMesh p0,0,10 o1,0,0,0\n" + kView + kView +
             "Ll" + kOn.substr(1) + kOff},
        // A name outlives objects that make no record; a lone colon empties it.
        {"a: ForwardDirection ( 0 0 1 ) Group ( ) " + kMesh + "b: : " + kMesh, CNV_OK,
         "Sa t0: p0:\n" + kGrey},
        // LightData is light data too; only True and False switch.
        {kLight + "LightData ( False 0.5 0.25 0.5 0.75 ) " + kLight + "Light ( true 0.5 1 1 1 )",
         CNV_OK, "L on0 i0.5 a0 c0.25,0.5,0.75 d0,0,-1\nL on1 i0.5 a0 c1,1,1 d0,0,-1\n"},
        {"TableOfContents ( c: TriMesh 1 2 3 4 5 6 x)y " + kMesh + "DiffuseColor ( 1 0 0 )", CNV_OK,
         "S c1,0,0 t0: p0:\n"},
        // Objects cut off by the end of the input keep what was read whole.
        {"TriMesh ( 2 0 0 0 3 0 0 1 2 7", CNV_OK, "S t2: 0,1,2 p3:\n"},
        {"CameraPlacement ( 0 0 10 0 0 0 0 1", CNV_OK, ""},
        {kLight + "Light ( False 0.5", CNV_OK, kOff},
        // Huge declared counts reserve no more than the rest of the input can hold.
        {"TriMesh ( 1000000000 0 0 0 2147483647 0 0 1 2 3 4 5", CNV_OK,
         "S t1000000000: 0,1,2 3,4,5 p2147483647:\n"},
        // A NUL ends the text of its line; tokens and names may be long.
        {"cube: TriMesh ( 1 0 0 0 3 0 0 1 2\0 x\n0 0 0 1 0 0 0 1 0 ) DiffuseColor ( 1\0TriMesh\r0 0 )"s,
         CNV_OK, kCubeScene},
        {std::string(300, ' ') + std::string(300, 'n') + ": TriMesh ( 0 0 0 0 1 0 1." +
             std::string(300, '0') + "1 2 3 )",
         CNV_OK, "S" + std::string(300, 'n') + " t0: p1: 1,2,3\n"},
    });
}

TEST_F(reader, object_words_end_the_companion_searches_but_near_misses_do_not) {
    std::istringstream words(
        "TriMesh CameraPlacement DirectionalLight AmbientLight ForwardDirection TableOfContents "
        "Box Cone Cylinder Disk Ellipse Ellipsoid GeneralPolygon Line Marker Mesh NURBCurve "
        "NURBPatch PixmapMarker Point PolyLine Polygon Polyhedron Torus Triangle TriGrid "
        "BeginGroup EndGroup PointLight SpotLight OrthographicCamera ViewPlaneCamera "
        "ViewAngleAspectCamera | box Boxes Group Ellipsoid: DiffuseColour Lights");
    bool ends = true;
    for (std::string word; words >> word;) {
        ends = ends && word != "|";
        const std::string object = word + " ( 0 0 0 0 0 0 0 0 0 0 ) ";
        ASSERT_EQ(read(kMesh + object + "DiffuseColor ( 0 0 1 )"), CNV_OK) << word;
        EXPECT_EQ(getShape(0)->appearance.material.diffuseColor.b, ends ? 0.8f : 1) << word;
        ASSERT_EQ(read(kLight + object + "Light ( False 0.5 0 0 0 )"), CNV_OK) << word;
        EXPECT_EQ(getLight(0)->on, ends ? 1 : 0) << word;
    }
}

// Each failure stops the read with its code; the records made before it stay, the cube after it
// is never read. `extra` is what the failed object left.
TEST_F(reader, each_failure_stops_with_its_code_and_keeps_what_was_made) {
    const std::string kept = "k: " + kMesh + "DiffuseColor ( 1 1 1 ) " + kCamera + kLight;
    const std::string keptScene = "Sk c1,1,1 t0: p0:\n" + kView + kOn;
    const Case cases[] = {
        {"TriMesh ( 1 0 0 0 3 ) ", CNV_BAD_TRI_MESH_SPEC, ""},
        {"TriMesh ( 1 0 2147483648 0 3 0 ", CNV_BAD_TRI_MESH_SPEC, ""},
        {"TriMesh ( 1 0 0 0 -3 0 ", CNV_CANT_ALLOC_NODE, ""},
        {"TriMesh ( 2 0 0 0 1 0 0 1 2 5 ) ", CNV_BAD_TRIANGLE, "S t2: 0,1,2 p1:\n"},
        {"TriMesh ( 0 0 0 0 2 0 1 2 3 4 nan ", CNV_BAD_POINTS, "S t0: p2: 1,2,3\n"},
        {kMesh + "DiffuseColor ( 0.5 1e39 0 ) ", CNV_BAD_COLOR, "S c0.5,0.8,0.8 t0: p0:\n"},
        {"ForwardDirection ( 0 0 ) ) ", CNV_BAD_DIRECTION, ""},
        {"CameraPlacement ( 3.40282357e38 0 0 0 0 0 0 1 0 ) ", CNV_BAD_VIEWPOINT, ""},
        {"DirectionalLight ( 0 -inf -1 ) ", CNV_BAD_LIGHT, ""},
        {kLight + "Light ( False 2 3 ) ", CNV_BAD_LIGHT, "L on0 i2 a0 c3,1,1 d0,0,-1\n"},
        {"AmbientLight ( ) x ( True ) ", CNV_BAD_LIGHT, ""},
    };
    for (const auto &[input, code, extra] : cases) {
        SCOPED_TRACE(input);
        EXPECT_EQ(read(kept + input + kCube), code);
        std::string expected = keptScene;
        EXPECT_EQ(scene(),
                  expected.insert(extra[0] == 'S' ? expected.find('V') : expected.size(), extra));
    }
    check(
        {{"", CNV_EMPTY_FILE, ""}, {"# comment\n\n \t \n#TriMesh ( 0 0 0 0 0 0 )\n", CNV_OK, ""}});
    // An input that cannot be opened leaves the store as it was.
    ASSERT_EQ(read(kCube), CNV_OK);
    EXPECT_EQ(read_in(path("missing.3dmf").string()), CNV_CANT_OPEN);
    EXPECT_EQ(read_in(dir_.string()), CNV_CANT_OPEN);
    EXPECT_EQ(scene(), kCubeScene);
}

// A mesh's progress is reported once, with the share of the input up to the end of the line of
// its sixth header count. Each input is 200 bytes (a comment pads it), so every line end at an
// odd offset gives a half percent, rounded up; a line without an end ends with the input. Lines
// end at LF, CR LF or CR, and they separate tokens as blanks do.
TEST_F(reader, progress_message_and_percentage_once_per_mesh) {
    const std::string none = "(no name): 0 triangles 0 points 0 edges";
    const std::pair<std::string, std::vector<tarvex_test::ProgressCall>> cases[] = {
        {"a: TriMesh ( 1 0 2 0 3 0\n", {{13, "a:  1 triangles 3 points 2 edges"}}},
        {"TriMesh ( # 9\n0 0 0\n0 0 0 \n", {{14, none}}},
        {"TriMesh (\r\n0 0 0\r\n0 0 0\r\n", {{13, none}}},
        {"TriMesh (\r0 0 0\r0 0 0 \r", {{12, none}}},
        {"TriMesh ( 0 0 0 0 0 0\0 x\n"s, {{13, none}}},
        {"TriMesh ( 0 0 0 0 0 0 ) ##\n", {{14, none}}},
        {"TriMesh ( 0 0 0 0 0 0 ) b: TriMesh ( 0 0 -1 0 0 0 ) ",
         {{100, none}, {100, "b:  0 triangles 0 points -1 edges"}}},
    };
    for (const auto &[header, calls] : cases) {
        EXPECT_EQ(read(header + std::string(200 - header.size(), '#')), CNV_OK);
        EXPECT_EQ(progress_calls(), calls) << testing::PrintToString(header);
    }
}

}  // namespace
