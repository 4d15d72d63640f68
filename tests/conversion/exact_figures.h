// What a 3DMF file should show, worked out from its object tree alone where the geometry is
// exact: TriMesh, Triangle, Polygon, Box and Mesh, moved by Translate, Scale and Matrix in
// groups, drawn again through References, coloured by DiffuseColor. Lights and cameras are
// counted in every file. Written apart from the scene builder and the tessellators, so that
// comparing with the measured world checks them.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "tree/object_tree.h"
#include "vrml_measure.h"

namespace tarvex::test {

struct ExactFigures {
    bool exact = true;         // false: geometry or a transform this reading does not follow
    std::string why_not;       // the first such object
    bool colors_known = true;  // false: colours by face or corner
    double area = 0;
    measure::Box box;
    std::map<measure::Rgb, double> area_by_color;
    std::size_t directional_lights = 0;  // ambient lights too: VRML has no other kind for them
    std::size_t point_lights = 0, spot_lights = 0;
    std::size_t cameras = 0;
};

ExactFigures exact_figures(const tree::ObjectTree &tree);

}  // namespace tarvex::test
