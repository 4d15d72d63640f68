// TextureShaders: their pixmap decoded once into a scene texture, the Shader's boundaries as
// repeat flags, and a ShaderUVTransform as a VRML TextureTransform or, when none says the same,
// a matrix the shape output bakes into the texture coordinates.

#include "builder/builder.h"
#include "builder/texture_decode.h"
#include "core/bit_cast.h"

namespace tarvex::builder {

using tree::ObjectType;

namespace {

std::optional<PixelType> read_pixel_type(tree::ObjectTree &tree, FieldReader &in) {
    if (in.next_is_word()) {
        const std::string_view w = tree.word(in.index());
        in.skip(1);
        return pixel_type_from_word(w);
    }
    const std::optional<std::uint32_t> n = in.next_uint();
    return n ? pixel_type_from_number(*n) : std::nullopt;
}

std::uint32_t bits_of(PixelType t) {
    switch (t) {
        case PixelType::RGB32:
        case PixelType::ARGB32:
            return 32;
        case PixelType::RGB24:
            return 24;
        default:
            return 16;
    }
}

bool same_transform(const std::optional<TextureTransform> &a,
                    const std::optional<TextureTransform> &b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->center[0] == b->center[0] && a->center[1] == b->center[1] &&
           a->rotation == b->rotation && a->scale[0] == b->scale[0] && a->scale[1] == b->scale[1] &&
           a->translation[0] == b->translation[0] && a->translation[1] == b->translation[1];
}

bool same_use(const TextureUse &a, const TextureUse &b) {
    return a.texture == b.texture && same_transform(a.transform, b.transform) &&
           a.uv_matrix == b.uv_matrix;
}

// Equal uses hash equal (same_use compares the same fields; -0 and 0 hash alike).
std::uint64_t use_hash(const TextureUse &u) {
    std::uint64_t h = u.texture;
    const auto mix = [&](float f) {
        h = h * 0x100000001B3ull ^ (f == 0 ? 0u : bit_cast<std::uint32_t>(f));
    };
    if (u.transform) {
        const TextureTransform &t = *u.transform;
        for (const float f : {t.center[0], t.center[1], t.rotation, t.scale[0], t.scale[1],
                              t.translation[0], t.translation[1]})
            mix(f);
    }
    if (u.uv_matrix)
        for (const float f : *u.uv_matrix) mix(f);
    return h;
}

}  // namespace

std::uint32_t Builder::texture_use(std::uint32_t shader) {
    if (const auto found = texture_of_node_.find(shader); found != texture_of_node_.end())
        return found->second;
    TextureUse use;
    bool repeat_s = true, repeat_t = true;
    std::optional<Texture> texture;
    std::uint32_t image = kNone;  // the pixmap node decoded
    bool tried = false;
    for_children(shader, [&](std::uint32_t child) {
        std::uint32_t c = child;
        if (tree_.node(c).type == ObjectType::Reference) c = resolve_reference(c);
        if (c == kNone) return;
        FieldReader in(tree_, c);
        switch (tree_.node(c).type) {
            case ObjectType::Shader: {
                const auto u = in.next_enum({"Wrap", "Clamp"});
                const auto v = in.next_enum({"Wrap", "Clamp"});
                // Unknown boundaries (Mirror) repeat the image too.
                repeat_s = !(u && *u == 1);
                repeat_t = !(v && *v == 1);
                break;
            }
            case ObjectType::ShaderUVTransform: {
                const std::span<const float> f = in.float_span(9);
                if (f.empty()) {
                    warn(c, "ShaderUVTransform needs nine finite numbers: ignored");
                    break;
                }
                const float m[3][3] = {{f[0], f[1], f[2]}, {f[3], f[4], f[5]}, {f[6], f[7], f[8]}};
                use.transform = uv_transform_to_vrml(m);
                if (!use.transform) {
                    std::array<float, 9> baked;
                    std::copy(f.begin(), f.end(), baked.begin());
                    use.uv_matrix = baked;
                }
                break;
            }
            case ObjectType::ShaderTransform:
                skip(c);
                break;
            case ObjectType::PixmapTexture: {
                if (tried) break;
                tried = true;
                image = c;
                if (decoded_.count(c)) break;
                Pixmap p;
                const auto w = in.next_uint(), h = in.next_uint(), row = in.next_uint(),
                           size = in.next_uint();
                const auto type = read_pixel_type(tree_, in);
                in.next_enum({"BigEndian", "LittleEndian"});  // bit order: whole bytes here
                const auto byte_order = in.next_enum({"BigEndian", "LittleEndian"});
                if (!w || !h || !row || !size || !type || !byte_order || in.at_end() ||
                    tree_.kind(in.index()) != tree::ValueKind::Raw) {
                    warn(c, "PixmapTexture with missing or bad fields: skipped");
                    break;
                }
                p.width = *w;
                p.height = *h;
                p.row_bytes = *row;
                p.pixel_size = *size;
                p.type = *type;
                p.little_endian = *byte_order == 1;
                p.image = tree_.raw(in.index());
                std::string problem;
                texture = decode_pixmap(p, problem);
                if (!texture) warn(c, "PixmapTexture: " + problem);
                break;
            }
            case ObjectType::MipmapTexture: {
                if (tried) break;
                tried = true;
                // Read provisionally as the API lays it out: flag, pixel type, bit and byte
                // order, 32 levels of width, height, row bytes and offset, then the image.
                Pixmap p;
                in.next_uint();
                const auto type = read_pixel_type(tree_, in);
                in.next_enum({"BigEndian", "LittleEndian"});
                const auto byte_order = in.next_enum({"BigEndian", "LittleEndian"});
                const auto w = in.next_uint(), h = in.next_uint(), row = in.next_uint(),
                           offset = in.next_uint();
                in.skip(31 * 4);
                if (!type || !byte_order || !w || !h || !row || !offset || *offset != 0 ||
                    in.at_end() || tree_.kind(in.index()) != tree::ValueKind::Raw) {
                    warn(c, "MipmapTexture in a layout not understood: skipped");
                    break;
                }
                p.width = *w;
                p.height = *h;
                p.row_bytes = *row;
                p.pixel_size = bits_of(*type);
                p.type = *type;
                p.little_endian = *byte_order == 1;
                p.image = tree_.raw(in.index());
                std::string problem;
                texture = decode_pixmap(p, problem);
                if (!texture) warn(c, "MipmapTexture: " + problem);
                break;
            }
            default:
                break;
        }
    });
    if (!tried) warn(shader, "TextureShader without a texture: ignored");
    // A pixmap shared by several shaders (through References) becomes one texture per
    // distinct pair of repeat flags.
    if (image != kNone) {
        auto &variants = decoded_[image];
        for (const std::uint32_t t : variants)
            if (scene_.textures[t].repeat_s == repeat_s && scene_.textures[t].repeat_t == repeat_t)
                use.texture = t;
        if (use.texture == kNone && !texture && !variants.empty()) {
            texture = scene_.textures[variants.front()];
        }
        if (use.texture == kNone && texture) {
            texture->repeat_s = repeat_s;
            texture->repeat_t = repeat_t;
            use.texture = static_cast<std::uint32_t>(scene_.textures.size());
            variants.push_back(use.texture);
            scene_.textures.push_back(std::move(*texture));
        }
    } else if (texture) {
        texture->repeat_s = repeat_s;
        texture->repeat_t = repeat_t;
        use.texture = static_cast<std::uint32_t>(scene_.textures.size());
        scene_.textures.push_back(std::move(*texture));
    }
    // Shaders that show the same thing the same way are one use, so that the shapes they
    // texture compare equal (and are shared or merged).
    const std::uint64_t key = use_hash(use);
    for (auto [it, end] = texture_use_index_.equal_range(key); it != end; ++it) {
        if (same_use(texture_uses_[it->second], use)) {
            texture_of_node_.emplace(shader, it->second);
            return it->second;
        }
    }
    const auto index = static_cast<std::uint32_t>(texture_uses_.size());
    texture_uses_.push_back(std::move(use));
    texture_use_index_.emplace(key, index);
    texture_of_node_.emplace(shader, index);
    return index;
}

}  // namespace tarvex::builder
