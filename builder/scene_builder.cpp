// The walk over the object tree: groups as an explicit stack of frames (a file may nest groups a
// million deep), state objects changing the frame's state, drawables handed to the geometry
// code. Groups and References are opened in groups.cpp, budgets charged in budgets.cpp.
#include "builder/scene_builder.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <type_traits>

#include "builder/builder.h"

namespace tarvex::builder {

using tree::ObjectTree;
using tree::ObjectType;

namespace {}  // namespace

Builder::Builder(ObjectTree &tree, Scene &scene, tree::Diagnostics &diagnostics,
                 const Limits &limits, double detail, Outline *outline)
    : tree_(tree),
      scene_(scene),
      outline_(outline),
      diagnostics_(diagnostics),
      limits_(complete_limits(tree, limits)),
      detail_(detail) {
    result_.detail = detail;
}

void Builder::warn(std::uint32_t node, std::string text) {
    diagnostics_.warn(tree_.node(node).position, std::move(text));
}

void Builder::skip(std::uint32_t node) {
    diagnostics_.skipped(tree_.node(node).position, type_text(node));
}

bool Builder::is_name_element(std::uint32_t node) {
    const ObjectTree::Node &n = tree_.node(node);
    if (n.type != ObjectType::Unknown) return false;
    // Looked at once per type name: a binary file's custom types share theirs.
    const auto [found, fresh] = name_elements_.try_emplace(n.type_name, false);
    if (fresh) found->second = tree_.name_of(node).find("NameElement") != std::string_view::npos;
    return found->second;
}

std::string Builder::type_text(std::uint32_t node) const {
    const std::string_view written = tree_.name_of(node);
    if (!written.empty()) return tree::shortened(written, tree::Diagnostics::kMaxNameBytes);
    return std::string(tree::type_name(tree_.node(node).type));
}

State &Builder::mutable_state() {
    Frame &f = frames_.back();
    if (!f.owns_state) {
        states_.push_back(states_[f.state]);
        f.state = static_cast<std::uint32_t>(states_.size() - 1);
        f.owns_state = true;
    }
    return states_[f.state];
}

std::uint32_t Builder::resolve_reference(std::uint32_t node) {
    std::uint32_t at = node;
    for (int hops = 0; hops < 16; ++hops) {
        FieldReader in(tree_, at);
        const std::optional<std::uint32_t> id = in.next_uint();
        if (!id) {
            warn(node, "Reference without a reference number");
            return kNone;
        }
        const std::uint32_t target = tree_.reference_target(*id);
        if (target == kNone) {
            warn(node, "Reference " + std::to_string(*id) + " names no object");
            return kNone;
        }
        if (tree_.node(target).type != ObjectType::Reference) return target;
        at = target;
    }
    warn(node, "Reference chain too long");
    return kNone;
}

std::string Builder::name_of(std::uint32_t node) {
    std::string name;
    for_children(node, [&](std::uint32_t c) {
        if (!name.empty() || !is_name_element(c)) return;
        for_children(c, [&](std::uint32_t s) {
            if (name.empty() && tree_.node(s).type == ObjectType::CString &&
                tree_.node(s).value_count > 0)
                name = tree::shortened(tree_.string(tree_.node(s).first_value), kMaxNameBytes);
        });
    });
    if (name.empty()) name = tree::shortened(tree_.label_of(node), kMaxNameBytes);
    return name;
}

BuildResult Builder::run() {
    // The per-file TransparencyColor reading: any exact (0 0 0) means values are transparency.
    bool any_transparency = false, any_zero = false;
    for (std::uint32_t n = 0; n < tree_.node_count(); ++n) {
        if (tree_.node(n).type != ObjectType::TransparencyColor) continue;
        any_transparency = true;
        FieldReader in(tree_, n);
        const std::optional<Color> c = in.next_color();
        if (c && c->r == 0 && c->g == 0 && c->b == 0) any_zero = true;
    }
    transparency_means_opacity = any_transparency && !any_zero;

    budget_ = work_budget(limits_.input_bytes, limits_.max_output);
    result_.work_budget = budget_;
    active_.assign(tree_.node_count(), 0);
    states_.push_back(State{});
    Frame top;
    top.group = tree_.root();
    top.next = tree_.node(tree_.root()).first_child;
    top.first_member = top.next;
    top.state = 0;
    top.depth = 0;
    frames_.push_back(top);
    while (step()) {
    }
    finish_lights();
    result_.work = work_;
    return result_;
}

void Builder::fail(std::uint32_t node, std::string message) {
    if (!result_.ok) return;
    result_.ok = false;
    result_.position = tree_.node(node).position;
    result_.message = std::move(message);
}

bool Builder::step() {
    if (frames_.empty() || !result_.ok) return false;
    Frame &f = frames_.back();
    if (f.next == kNone || f.done) {
        if (f.ordered && f.pass == 0 && !f.done) {
            f.pass = 1;
            f.next = f.first_member;
            return true;
        }
        close_frame();
        return !frames_.empty();
    }
    const std::uint32_t node = f.next;
    f.next = tree_.node(node).next_sibling;
    if (f.ordered) {
        const bool state_object = is_state_type(tree_.node(node).type);
        if ((f.pass == 0) != state_object) return true;
    }
    const bool proxy = f.proxy;
    const std::size_t frame = frames_.size() - 1;  // visit() may open frames above this one
    visit(node, f.depth);
    if (proxy && result_.ok) {
        const ObjectType t = tree_.node(node).type;
        // The first alternative this converter understands stands for the whole proxy.
        if (tree::is_geometry(t) || t == ObjectType::BeginGroup || t == ObjectType::Reference)
            frames_[frame].done = true;
    }
    return true;
}

void Builder::close_frame() {
    const Frame f = frames_.back();
    frames_.pop_back();
    if (f.active != kNone) active_[f.active] = 0;
    if (f.reference) --repeating_;
    if (f.owns_state) {
        if (f.is_inline && !frames_.empty()) {
            State leaked = states_[f.state];
            states_.pop_back();
            mutable_state() = std::move(leaked);
        } else {
            states_.pop_back();
        }
    }
}

bool Builder::is_state_type(ObjectType t) const {
    switch (t) {
        case ObjectType::Translate:
        case ObjectType::Scale:
        case ObjectType::Matrix:
        case ObjectType::Rotate:
        case ObjectType::RotateAboutPoint:
        case ObjectType::RotateAboutAxis:
        case ObjectType::Quaternion:
        case ObjectType::AttributeSet:
        case ObjectType::DiffuseColor:
        case ObjectType::SpecularColor:
        case ObjectType::SpecularControl:
        case ObjectType::TransparencyColor:
        case ObjectType::AmbientCoefficient:
        case ObjectType::BackfacingStyle:
        case ObjectType::InterpolationStyle:
        case ObjectType::FillStyle:
        case ObjectType::SubdivisionStyle:
        case ObjectType::OrientationStyle:
        case ObjectType::TextureShader:
        case ObjectType::LambertIllumination:
        case ObjectType::PhongIllumination:
        case ObjectType::NULLIllumination:
        case ObjectType::ForwardDirection:
            return true;
        default:
            return false;
    }
}

namespace {

// Objects drawn where they stand: in a group, or through a Reference.
bool is_drawable(ObjectType t) {
    return tree::is_geometry(t) || t == ObjectType::BeginGroup ||
           (t >= ObjectType::AmbientLight && t <= ObjectType::SpotLight) ||
           (t >= ObjectType::OrthographicCamera && t <= ObjectType::ViewAngleAspectCamera);
}

}  // namespace

void Builder::warn_drawables_inside(std::uint32_t node) {
    for_children(node, [&](std::uint32_t c) {
        std::uint32_t target = c;
        // Followed quietly: what a Reference here leads to is told by whoever reads it.
        for (int hops = 0;
             hops < 16 && target != kNone && tree_.node(target).type == ObjectType::Reference;
             ++hops) {
            FieldReader in(tree_, target);
            const std::optional<std::uint32_t> id = in.next_uint();
            target = id ? tree_.reference_target(*id) : kNone;
        }
        if (target == kNone || !is_drawable(tree_.node(target).type)) return;
        if (!warned_inside_.insert(c).second) return;  // once, however often it is drawn
        const std::string what = c == target ? type_text(c) : "Reference to " + type_text(target);
        warn(c, what + " inside " + type_text(node) +
                    "'s container is not drawn: only its attributes belong there");
    });
}

void Builder::visit(std::uint32_t node, std::uint32_t depth) {
    const ObjectTree::Node &n = tree_.node(node);
    if (!charge(1 + n.value_count, node)) return;
    const ObjectType type = n.type;
    // Groups and References hold what they draw; a ViewHints holds the view's own camera and
    // lights; an unknown object is reported as skipped, whatever it holds.
    if (type != ObjectType::BeginGroup && type != ObjectType::Reference &&
        type != ObjectType::ViewHints && type != ObjectType::Unknown &&
        n.first_child != ObjectTree::kNone)
        warn_drawables_inside(node);
    switch (type) {
        case ObjectType::BeginGroup:
            open_group(node, depth, kNone);
            return;
        case ObjectType::Reference:
            open_reference(node, depth);
            return;
        case ObjectType::Metafile:
        case ObjectType::TableOfContents:
        case ObjectType::Type:
        case ObjectType::EndGroup:
        case ObjectType::DisplayGroupState:
        case ObjectType::Group:
        case ObjectType::DisplayGroup:
        case ObjectType::OrderedDisplayGroup:
        case ObjectType::LightGroup:
        case ObjectType::InfoGroup:
        case ObjectType::IOProxyDisplayGroup:
        case ObjectType::PickIDStyle:
        case ObjectType::PickPartsStyle:
        case ObjectType::ReceiveShadowsStyle:
        case ObjectType::CastShadowsStyle:
        case ObjectType::HighlightState:
        case ObjectType::ImageDimensions:
            return;  // bookkeeping and renderer hints that change nothing visible
        case ObjectType::CString:
            if (frames_.back().info && n.value_count > 0 &&
                tree_.kind(n.first_value) == tree::ValueKind::String)
                scene_.info.emplace_back(tree_.string(n.first_value));
            return;
        case ObjectType::Unicode:
            if (frames_.back().info) {
                FieldReader in(tree_, node);
                const std::optional<std::uint32_t> length = in.next_uint();
                if (length && !in.at_end() && tree_.kind(in.index()) == tree::ValueKind::Raw) {
                    scene_.info.push_back(utf8_from_utf16be(tree_.raw(in.index()), *length));
                    return;
                }
                warn(node, "Unicode string with bad values: ignored");
            }
            return;
        case ObjectType::AmbientLight:
        case ObjectType::DirectionalLight:
        case ObjectType::PointLight:
        case ObjectType::SpotLight:
            outline(node, depth, false);
            read_light(node);
            return;
        case ObjectType::ViewAngleAspectCamera:
        case ObjectType::ViewPlaneCamera:
        case ObjectType::OrthographicCamera:
        case ObjectType::CameraPlacement:
            outline(node, depth, false);
            read_camera(node);
            return;
        case ObjectType::ViewHints:
            outline(node, depth, false);
            read_view_hints(node, depth);
            return;
        case ObjectType::ImageClearColor: {
            FieldReader in(tree_, node);
            if (const std::optional<Color> c = in.next_color())
                scene_.background = *c;
            else
                warn(node, "ImageClearColor without a colour");
            return;
        }
        case ObjectType::Unknown:
            if (is_name_element(node)) return;
            skip(node);
            return;
        default:
            break;
    }
    if (is_state_type(type)) {
        outline(node, depth, false);
        visit_state_object(node);
        return;
    }
    if (tree::is_geometry(type)) {
        outline(node, depth, false);
        build_geometry(node);
        return;
    }
    skip(node);
}

bool Builder::visit_state_object(std::uint32_t node) {
    const ObjectType type = tree_.node(node).type;
    FieldReader in(tree_, node);
    switch (type) {
        case ObjectType::Translate:
        case ObjectType::Scale:
        case ObjectType::Matrix:
        case ObjectType::Rotate:
        case ObjectType::RotateAboutPoint:
        case ObjectType::RotateAboutAxis:
        case ObjectType::Quaternion:
            if (const std::optional<geometry::Matrix4> m = read_transform(node)) add_transform(*m);
            return true;
        case ObjectType::AttributeSet:
            mutable_state().attributes.merge(read_attribute_set(node));
            return true;
        case ObjectType::DiffuseColor:
        case ObjectType::SpecularColor:
        case ObjectType::SpecularControl:
        case ObjectType::TransparencyColor:
        case ObjectType::AmbientCoefficient: {
            Attributes a;
            if (read_attribute(node, a)) mutable_state().attributes.merge(a);
            return true;
        }
        case ObjectType::BackfacingStyle: {
            const auto e = in.next_enum({"Both", "Culled", "Flipped"});
            if (!e || *e > 2) return warn(node, "BackfacingStyle with an unknown value"), true;
            mutable_state().styles.backfacing = static_cast<Backfacing>(*e);
            return true;
        }
        case ObjectType::InterpolationStyle: {
            const auto e = in.next_enum({"None", "Vertex", "Pixel"});
            if (!e || *e > 2) return warn(node, "InterpolationStyle with an unknown value"), true;
            mutable_state().styles.interpolation = static_cast<Interpolation>(*e);
            return true;
        }
        case ObjectType::FillStyle: {
            const auto e = in.next_enum({"Filled", "Edges", "Points"});
            if (!e || *e > 2) return warn(node, "FillStyle with an unknown value"), true;
            mutable_state().styles.fill = static_cast<Fill>(*e);
            return true;
        }
        case ObjectType::OrientationStyle: {
            const auto e = in.next_enum({"CounterClockwise", "Clockwise"});
            if (!e || *e > 1) return warn(node, "OrientationStyle with an unknown value"), true;
            mutable_state().styles.clockwise = *e == 1;
            return true;
        }
        case ObjectType::SubdivisionStyle: {
            const auto method = in.next_enum({"Constant", "WorldSpace", "ScreenSpace"});
            geometry::Subdivision s;
            if (method && *method == 0) {
                const auto u = in.next_float(), v = in.next_float();
                if (!u || !v || *u < 1 || *v < 1)
                    return warn(node, "SubdivisionStyle Constant needs two counts of at least 1"),
                           true;
                s.u = std::min(*u, 1024.0f);
                s.v = std::min(*v, 1024.0f);
            } else if (method && (*method == 1 || *method == 2)) {
                const auto length = in.next_float();
                if (*method == 1) {
                    if (!length || *length <= 0)
                        return warn(node, "SubdivisionStyle WorldSpace needs a positive length"),
                               true;
                    s.method = geometry::Subdivision::Method::world_space;
                    s.u = *length;
                } else {
                    s.method = geometry::Subdivision::Method::screen_space;
                    warn(node, "SubdivisionStyle ScreenSpace: default segment counts used");
                }
            } else {
                return warn(node, "SubdivisionStyle with an unknown method"), true;
            }
            mutable_state().styles.subdivision = s;
            return true;
        }
        case ObjectType::LambertIllumination:
            mutable_state().styles.illumination = Illumination::lambert;
            return true;
        case ObjectType::PhongIllumination:
            mutable_state().styles.illumination = Illumination::phong;
            return true;
        case ObjectType::NULLIllumination:
            mutable_state().styles.illumination = Illumination::none;
            return true;
        case ObjectType::TextureShader:
            mutable_state().texture = texture_use(node);
            return true;
        case ObjectType::ForwardDirection: {
            // As the default mode reads it: integers, and only a third value of -1 mirrors.
            in.skip(2);
            const std::optional<std::int64_t> z = in.next_int();
            if (!z) return warn(node, "ForwardDirection needs three integers"), true;
            mirrored_ = *z == -1;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tarvex::builder
