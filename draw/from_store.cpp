// The default mode's store as a draw list: every shape is a triangle mesh in world coordinates.
#include "core/scene_store.h"
#include "draw/draw_list.h"

namespace tarvex::draw {

DrawList fromStore() {
    DrawList list;
    const int shapes = numberOfShapes();
    list.meshes.reserve(static_cast<std::size_t>(shapes));
    list.shapes.reserve(static_cast<std::size_t>(shapes));
    for (int i = 0; i < shapes; ++i) {
        const tarvex::Shape &in = *getShape(i);
        Mesh &mesh = list.meshes.emplace_back();
        // Only what was read: a count a file declares but never fills must not claim memory.
        const std::vector<SFVec3f> &points = in.geometry.coord.point.v;
        mesh.positions.resize(points.size() * 3);
        float *p = mesh.positions.data();
        for (const SFVec3f &point : points) {
            *p++ = point.x;
            *p++ = point.y;
            *p++ = point.z;
            mesh.bounds.add({point.x, point.y, point.z});
        }
        const std::vector<TriangleIndex> &triangles = in.geometry.coordIndex.v;
        mesh.indices.reserve(triangles.size() * 3);
        const auto inRange = [n = points.size()](int index) {
            return index >= 0 && static_cast<std::size_t>(index) < n;
        };
        for (const TriangleIndex &t : triangles) {
            if (!inRange(t.first) || !inRange(t.second) || !inRange(t.third)) continue;
            mesh.indices.push_back(static_cast<std::uint32_t>(t.first));
            mesh.indices.push_back(static_cast<std::uint32_t>(t.second));
            mesh.indices.push_back(static_cast<std::uint32_t>(t.third));
        }

        Shape &shape = list.shapes.emplace_back();
        shape.name = in.defName;
        shape.mesh = static_cast<std::uint32_t>(i);
        // The written world gives only the diffuse colour; the rest keeps VRML's defaults.
        const SFColor &c = in.appearance.material.diffuseColor;
        shape.material.diffuse = {c.r, c.g, c.b};
        shape.bounds = mesh.bounds;
        shape.source = static_cast<std::uint32_t>(i);
        list.bounds.addBox(shape.bounds);
    }

    // Repeats are left out as the writer leaves them out: a repeated light would light twice.
    RepeatFilter<tarvex::Viewpoint, sameViewpoint> viewpointFilter;
    for (int i = 0; i < numberOfViewpoints(); ++i) {
        const tarvex::Viewpoint &in = *getViewpoint(i);
        if (!viewpointFilter.isUnique(in)) continue;
        Viewpoint &vp = list.viewpoints.emplace_back();
        vp.name = in.description.empty() ? in.defName : in.description;
        vp.position = {in.position.x, in.position.y, in.position.z};
        vp.axis = {in.orientation.x, in.orientation.y, in.orientation.z};
        vp.angle = in.orientation.angle;
        vp.fieldOfView = in.fieldOfView;
    }
    RepeatFilter<DirectionalLight, sameLight> lightFilter;
    for (int i = 0; i < numberOfLights(); ++i) {
        const DirectionalLight &in = *getLight(i);
        if (!lightFilter.isUnique(in)) continue;
        Light &light = list.lights.emplace_back();
        light.kind = Light::Kind::directional;
        light.on = in.on != 0;
        light.intensity = in.intensity;
        light.ambientIntensity = in.ambientIntensity;
        light.color = {in.color.r, in.color.g, in.color.b};
        light.direction = {in.direction.x, in.direction.y, in.direction.z};
    }
    return list;
}

}  // namespace tarvex::draw
