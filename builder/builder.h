// The scene builder's working parts, shared by the files that implement them: the traversal
// (scene_builder.cpp), transforms (transforms.cpp), attributes and materials (attributes.cpp),
// attribute binding (polygon_binding.cpp), shape output (shape_output.cpp), the geometry types
// (geometry_objects.cpp, trimesh.cpp, surfaces.cpp), lights and cameras (lights_cameras.cpp),
// textures (textures.cpp) and the outline (outline.cpp). Internal to the scene library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "builder/build_state.h"
#include "builder/field_reader.h"
#include "builder/scene_builder.h"
#include "scene/scene.h"
#include "tree/diagnostics.h"
#include "tree/object_tree.h"

namespace tarvex::builder {

using namespace tarvex::scene;  // the builder speaks the model's vocabulary

// Attribute sets of the parts of a geometry (vertices, faces, segments), from an attribute set
// list: `set_of[part]` indexes `sets`, kNone where the list gives the part none.
struct PartSets {
    std::vector<Attributes> sets;
    std::vector<std::uint32_t> set_of;
    const Attributes *get(std::uint32_t part) const {
        return part < set_of.size() && set_of[part] != kNone ? &sets[set_of[part]] : nullptr;
    }
    bool empty() const { return sets.empty(); }
};

// Polygonal geometry before its attributes are bound: faces as corner lists ended by -1.
struct Polygons {
    std::vector<float> coords;
    std::vector<std::int32_t> faces;
    std::vector<std::uint32_t> face_source;  // per face: the source face its attributes come
                                             // from; empty: face i is source face i
    std::vector<float> normals;              // generated per point (surfaces), or empty
    std::vector<float> uvs;                  // generated per point, or empty
    bool convex = true;
};

inline Polygons from_surface_polygons(geometry::Surface &&s) {
    Polygons p;
    p.coords = std::move(s.coords);
    p.faces = std::move(s.coord_index);
    p.face_source = std::move(s.face_source);
    p.normals = std::move(s.normals);
    p.uvs = std::move(s.uvs);
    return p;
}

// A decoded TextureShader: the scene texture and how its uvs are mapped.
struct TextureUse {
    std::uint32_t texture = kNone;  // index into Scene::textures; kNone: could not be decoded
    std::optional<TextureTransform> transform;
    std::optional<std::array<float, 9>> uv_matrix;  // baked into the uvs when set
};

// `limits` with what was left open filled in for `tree`.
Limits complete_limits(const tree::ObjectTree &tree, Limits limits);

class Builder {
  public:
    Builder(tree::ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
            const Limits &limits, double detail, Outline *outline);
    BuildResult run();

    // ---- shared helpers ------------------------------------------------------------------
    tree::ObjectTree &tree() { return tree_; }
    Scene &scene() { return scene_; }
    void warn(std::uint32_t node, std::string text);
    void skip(std::uint32_t node);  // reported as skipped under its type name
    std::string type_text(std::uint32_t node) const;
    // An object of a type named "...NameElement" (a name container, not drawn).
    bool is_name_element(std::uint32_t node);
    std::unordered_map<std::uint32_t, bool> name_elements_;  // by type name text
    // Children of a node, in order.
    template <class F>
    void for_children(std::uint32_t node, F &&f) const {
        for (std::uint32_t c = tree_.node(node).first_child; c != tree::ObjectTree::kNone;
             c = tree_.node(c).next_sibling)
            f(c);
    }
    // A Reference's target, following chains of References a few steps; kNone with a warning
    // when it leads nowhere.
    std::uint32_t resolve_reference(std::uint32_t node);
    // The name a node carries: a NameElement child's string, else its label.
    std::string name_of(std::uint32_t node);
    const State &state() const { return states_[frames_.back().state]; }
    State &mutable_state();

    // ---- traversal (scene_builder.cpp) -----------------------------------------------------
    struct Frame {
        std::uint32_t group;           // tree node whose members are walked
        std::uint32_t next;            // next member to visit (tree node), kNone at the end
        std::uint32_t first_member;    // for the ordered group's second pass
        std::uint32_t state;           // index into states_
        std::uint32_t depth;           // outline depth of the members
        std::uint32_t active = kNone;  // tree node marked active while this frame is open
        bool owns_state = false;
        bool is_inline = false;
        std::uint8_t pass = 0;  // ordered groups: 0 state objects, 1 the rest
        bool ordered = false;
        bool proxy = false;  // IOProxyDisplayGroup: stop after the first understood
        bool info = false;   // InfoGroup: strings are information
        bool done = false;
        bool reference = false;  // a group drawn through a Reference
    };
    bool step();                                          // visits one member; false when finished
    void visit(std::uint32_t node, std::uint32_t depth);  // one member of a group
    // Warns of geometries, groups, lights and cameras in `node`'s container: nothing draws them.
    void warn_drawables_inside(std::uint32_t node);
    std::unordered_set<std::uint32_t> warned_inside_;
    bool visit_state_object(std::uint32_t node);  // transform, style, set, shader
    bool visit_drawable(std::uint32_t node, std::uint32_t depth);
    void open_group(std::uint32_t node, std::uint32_t depth, std::uint32_t reference);
    void open_reference(std::uint32_t reference, std::uint32_t depth);
    void open_repeated_group(std::uint32_t group, std::uint32_t depth, std::uint32_t wrapper);
    void close_frame();
    void fail(std::uint32_t node, std::string message);
    bool is_state_type(tree::ObjectType type) const;
    bool charge(std::uint64_t work, std::uint32_t node);  // expansion budget
    // triangulate_contours() on what is left of the file's budget, charging what it spent.
    // `fan`: too large or tangled for the even-odd fill, a fan per contour was made instead.
    enum class Triangulated { even_odd, fan, none };
    // Adds one face of `contours` (the first the outline, the rest holes) to `poly`, as it is or
    // as triangles; warns, naming `what`, when it spans no area (false) or could only be fanned.
    bool add_face(std::uint32_t node, std::string_view what, Polygons &poly,
                  std::span<const std::vector<std::uint32_t>> contours, std::uint32_t source);
    Triangulated triangulate(std::uint32_t node, std::vector<float> &points,
                             std::span<const std::vector<std::uint32_t>> contours,
                             std::vector<std::uint32_t> &triangles);

    // ---- output budget (scene_builder.cpp) -------------------------------------------------
    // The subdivision in scope, at the file's detail (count_only once the budget is known to be
    // exceeded: the pass is then only measuring).
    geometry::Subdivision subdivision() const;
    // Counts a tessellated surface against the output budget; false when it is not to be drawn
    // because this pass only measures.
    bool count_output(std::uint32_t node, const geometry::Surface &s);
    bool measuring() const { return measuring_; }
    // Counts the estimated VRML bytes of what is not a tessellated surface (shapes, nodes);
    // false, with the conversion stopped, past the scene's output limit.
    bool count_written(std::uint64_t bytes, std::uint32_t node);
    bool drawing_surface_ = false;  // a quadric or NURB patch is being emitted
    std::uint32_t repeating_ = 0;   // References being drawn: what is made now is drawn again
    // Estimated VRML text of a group or Transform node besides its indentation, and of a USE.
    static constexpr std::uint64_t kNodeBytes = 60, kUseBytes = 12;
    std::vector<std::uint32_t> node_depth_;  // per scene node
    // The indentation level the VRML writer puts a child of `parent` at: two a group, at most
    // the writer's deepest.
    std::uint64_t shape_level(std::uint32_t parent) const {
        const std::uint64_t depth = parent < node_depth_.size() ? node_depth_[parent] : 0;
        return std::min<std::uint64_t>(2 * depth, 42);
    }

    // ---- transforms (transforms.cpp) -------------------------------------------------------
    std::optional<geometry::Matrix4> read_transform(std::uint32_t node);
    void add_transform(const geometry::Matrix4 &m);

    // Where a drawable goes: the scene node, and the matrix to bake into its geometry (nullopt
    // when none). Realises pending transforms as a Transform node.
    struct Target {
        std::uint32_t parent = 0;
        std::optional<geometry::Matrix4> bake;
        geometry::Matrix4 world;  // geometry to world, for the scene bounds
    };
    Target place();
    std::uint32_t add_node(std::uint32_t parent, Node node);

    // ---- attributes (attributes.cpp) -------------------------------------------------------
    // Reads one attribute object into `into`; false when `node` is not an attribute.
    bool read_attribute(std::uint32_t node, Attributes &into);
    // An AttributeSet node (or a Reference to one) with its attribute children.
    Attributes read_attribute_set(std::uint32_t node, int depth = 0);
    std::unordered_map<std::uint32_t, Attributes> resolved_sets_;  // by set or Reference node
    // Faces triangulated, by node and face: an object drawn again (a Reference) is not
    // triangulated again. The points the triangulation added, and its triangles.
    struct Triangulation {
        Triangulated fill;
        std::vector<float> added_points;
        std::vector<std::uint32_t> triangles;
    };
    std::unordered_map<std::uint64_t, Triangulation> triangulations_;
    // The geometry's own attributes (its AttributeSet child and the flat attributes after it).
    Attributes own_attributes(std::uint32_t geometry);
    // An attribute set list child of `geometry` of type `type`, for `parts` parts.
    PartSets read_set_list(std::uint32_t geometry, tree::ObjectType type, std::uint32_t parts);
    PartSets read_set_list_node(std::uint32_t list, std::uint32_t parts);
    // Sets that follow `first` as siblings (each an AttributeSet with its attributes).
    std::vector<Attributes> collect_sets(std::uint32_t first);
    Material material(const Attributes &a) const;
    Material unlit_material(const Attributes &a) const;  // for lines and points
    bool transparency_means_opacity = false;             // the per-file TransparencyColor reading

    // ---- output (shape_output.cpp) ---------------------------------------------------------
    // Binds per-face, per-vertex and per-corner attributes (corner keys: face << 32 | vertex)
    // and emits one Shape per distinct material.
    void emit_polygons(std::uint32_t node, Polygons &&p, const Attributes &geometry,
                       const PartSets *faces, const PartSets *vertices,
                       const std::unordered_map<std::uint64_t, Attributes> *corners = nullptr);
    // Emits a face set: styles, baking, fill style, texture; `faces_key` per face splits it into
    // one Shape per distinct key with `materials[key]`.
    void emit_face_set(std::uint32_t node, FaceSet fs, std::span<const std::uint32_t> face_key,
                       std::span<const Attributes> materials);
    void emit_line_set(std::uint32_t node, LineSet ls, const Attributes &a);
    void emit_point_set(std::uint32_t node, PointSet ps, const Attributes &a);
    // The texture a geometry with attributes `a` shows (its own SurfaceShader, else the
    // free-standing one in scope); nullptr when none.
    const TextureUse *texture_for(const Attributes &a) const;
    Name pending_name_;
    void begin_geometry(std::uint32_t node);
    void end_geometry();
    void count_shape_bounds(std::span<const float> coords, const geometry::Matrix4 &world);

    // ---- geometry (geometry_objects.cpp, trimesh.cpp, surfaces.cpp) --------------------------
    bool build_geometry(std::uint32_t node);  // false when the type is not a geometry
    void build_trimesh(std::uint32_t node);
    void build_point(std::uint32_t node);
    void build_line(std::uint32_t node);
    void build_polyline(std::uint32_t node);
    void build_triangle(std::uint32_t node);
    void build_polygon(std::uint32_t node);
    void build_general_polygon(std::uint32_t node);
    void build_box(std::uint32_t node);
    void build_trigrid(std::uint32_t node);
    void build_polyhedron(std::uint32_t node);
    void build_mesh(std::uint32_t node);
    void build_quadric(std::uint32_t node);
    void build_ellipse(std::uint32_t node);
    void build_nurb_curve(std::uint32_t node);
    void build_nurb_patch(std::uint32_t node);
    void build_marker(std::uint32_t node);
    std::string size_text_;  // the outline's size of the object being drawn

    // ---- lights and cameras (lights_cameras.cpp) --------------------------------------------
    void read_light(std::uint32_t node);
    void read_camera(std::uint32_t node);
    void read_view_hints(std::uint32_t node, std::uint32_t depth);
    void finish_lights();

    // ---- textures (textures.cpp) -----------------------------------------------------------
    // The texture use of a TextureShader node (decoded once), kNone when unusable.
    std::uint32_t texture_use(std::uint32_t shader_node);
    std::vector<TextureUse> texture_uses_;
    std::unordered_multimap<std::uint64_t, std::uint32_t> texture_use_index_;  // by use_hash
    std::unordered_map<std::uint32_t, std::uint32_t> texture_of_node_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> decoded_;  // pixmap -> textures

    // ---- outline (outline.cpp) -------------------------------------------------------------
    void outline(std::uint32_t node, std::uint32_t depth, bool is_group);
    void set_outline_size(std::string size);
    std::uint32_t outline_item_ = kNone;

    std::unordered_set<std::uint32_t> view_objects_read_;  // lights and cameras, by tree node
    bool mirrored_ = false;  // ForwardDirection ( x y -1 ): mirror z of all that follows

    struct UseRecord {
        Attributes attributes;
        std::uint32_t texture;
        Styles styles;
        std::uint32_t node;  // the scene node made for the first conversion
    };

    tree::ObjectTree &tree_;
    Scene &scene_;
    Outline *outline_;  // none: nobody shows it
    tree::Diagnostics &diagnostics_;
    std::vector<Frame> frames_;
    std::vector<State> states_;
    std::vector<std::uint8_t> active_;  // per tree node: a group being walked
    // Earlier drawings of shared objects, by the object and a hash of the state it was drawn in.
    std::unordered_map<std::uint64_t, std::vector<UseRecord>> uses_;
    BuildResult result_;
    std::uint64_t work_ = 0, budget_ = 0;
    Limits limits_;
    double detail_ = 1;
    bool measuring_ = false;  // over the output budget: surfaces are counted, nothing is drawn
    bool have_bounds_ = false;
    Vec3 low_, high_;
};

std::string count_text(std::uint64_t n, std::string_view singular, std::string_view plural);

// Bytes kept of a name or label taken from the file: every use of a shared object copies its
// name into the scene, so a name as long as the file must not be copied whole.
inline constexpr std::size_t kMaxNameBytes = 128;

}  // namespace tarvex::builder
