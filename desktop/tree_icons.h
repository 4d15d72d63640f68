// Pictures of the full-mode tree for the kinds of object that have no picture of their own among
// the tree's images (folders for groups, a globe for geometry).
#pragma once

#include <QIcon>

#include "desktop/document.h"

namespace tarvex {

// A 16 x 16 picture for attribute sets (a palette), lights (a bulb), cameras, view hints (an
// "i") and any other object (a small grey square). Drawn, not loaded: they need no resources.
QIcon treeIcon(ObjectKind kind);

}  // namespace tarvex
