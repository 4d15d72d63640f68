// vrml_check FILE...: loads each VRML file with Coin and walks every shape's triangles, lines
// and points, so that both reading and the geometry's indices are checked. Exits 1 when a file
// cannot be read or Coin reported anything at all (an error, a warning, a read error), 0 when
// every file loaded silently. With --area first, prints the area of the triangles Coin cut from
// each file's faces: what Coin draws, concave faces included.
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoPrimitiveVertex.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/errors/SoMemoryError.h>
#include <Inventor/errors/SoReadError.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>

#include <cstdio>
#include <string_view>

namespace {

int messages = 0;

void countMessage(const SoError *error, void *) {
    ++messages;
    std::fprintf(stderr, "  coin: %s\n", error->getDebugString().getString());
}

double area = 0;

void triangle(void *, SoCallbackAction *action, const SoPrimitiveVertex *a,
              const SoPrimitiveVertex *b, const SoPrimitiveVertex *c) {
    const SbMatrix &m = action->getModelMatrix();
    SbVec3f p, q, r;
    m.multVecMatrix(a->getPoint(), p);
    m.multVecMatrix(b->getPoint(), q);
    m.multVecMatrix(c->getPoint(), r);
    area += (q - p).cross(r - p).length() / 2;
}
void lineSegment(void *, SoCallbackAction *, const SoPrimitiveVertex *, const SoPrimitiveVertex *) {
}
void point(void *, SoCallbackAction *, const SoPrimitiveVertex *) {}

bool check(const char *fileName, bool printArea) {
    const int before = messages;
    area = 0;
    SoInput input;
    if (!input.openFile(fileName)) {
        std::fprintf(stderr, "%s: cannot open\n", fileName);
        return false;
    }
    SoSeparator *root = SoDB::readAll(&input);
    if (!root) {
        std::fprintf(stderr, "%s: not read\n", fileName);
        return false;
    }
    root->ref();
    SoGetBoundingBoxAction box(SbViewportRegion(640, 480));
    box.apply(root);
    SoCallbackAction primitives;
    primitives.addTriangleCallback(SoShape::getClassTypeId(), triangle, nullptr);
    primitives.addLineSegmentCallback(SoShape::getClassTypeId(), lineSegment, nullptr);
    primitives.addPointCallback(SoShape::getClassTypeId(), point, nullptr);
    primitives.apply(root);
    root->unref();
    if (printArea) std::printf("area %.6f\n", area);
    if (messages != before) {
        std::fprintf(stderr, "%s: Coin reported %d message(s)\n", fileName, messages - before);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vrml_check [--area] FILE...\n");
        return 2;
    }
    SoDB::init();
    SoError::setHandlerCallback(countMessage, nullptr);
    SoDebugError::setHandlerCallback(countMessage, nullptr);
    SoReadError::setHandlerCallback(countMessage, nullptr);
    SoMemoryError::setHandlerCallback(countMessage, nullptr);
    const bool printArea = std::string_view(argv[1]) == "--area";
    bool allGood = true;
    for (int i = printArea ? 2 : 1; i < argc; ++i) allGood = check(argv[i], printArea) && allGood;
    SoDB::finish();
    return allGood ? 0 : 1;
}
