// The glTF records as JSON text, written straight to the output rather than built as a tree, with
// the buffer as base64 digits or as a .glb's binary chunk.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "tarvex/version.h"
#include "writers/gltf/gltf_document.h"

namespace tarvex::gltf {

namespace {

constexpr int kRepeat = 10497, kClampToEdge = 33071;
constexpr int kLinear = 9729, kLinearMipmapLinear = 9987;

// Base64 of `bytes` appended to `out`; `bytes` a multiple of 3 long except at the very end.
void base64(std::span<const std::uint8_t> bytes, std::string &out) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kDigits[(v >> shift) & 63]);
    }
    if (i < bytes.size()) {
        const std::uint32_t v = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0);
        out.push_back(kDigits[(v >> 18) & 63]);
        out.push_back(kDigits[(v >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
}

void putU32(char *out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<char>((v >> (8 * k)) & 0xff);
}

}  // namespace

void Document::writeNodes(JsonOut &out) {
    // Children in the order they were hung, which is the order the nodes were made in.
    std::vector<std::uint32_t> first(nodes.size() + 1, 0), children(nodes.size());
    for (const NodeRecord &n : nodes)
        if (n.parent >= 0) ++first[static_cast<std::size_t>(n.parent) + 1];
    for (std::size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
    {
        std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
        for (std::size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].parent >= 0)
                children[next[static_cast<std::size_t>(nodes[i].parent)]++] =
                    static_cast<std::uint32_t>(i);
    }
    WriteReport quiet;  // every number was counted when its node was made
    const auto numbers = [&](const char *name, const float *values, int count) {
        out.key(name);
        out.begin_array();
        for (int k = 0; k < count; ++k) out.number(json_number(values[k], quiet));
        out.end_array();
    };
    out.key("nodes");
    out.begin_array();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const NodeRecord &n = nodes[i];
        out.begin_object();
        if (n.camera >= 0) {
            out.key("camera");
            out.number(std::int64_t{n.camera});
        }
        if (first[i + 1] > first[i]) {
            out.key("children");
            out.begin_array();
            for (std::uint32_t c = first[i]; c < first[i + 1]; ++c)
                out.number(std::int64_t{children[c]});
            out.end_array();
        }
        if (n.light >= 0) {
            out.key("extensions");
            out.begin_object();
            out.key("KHR_lights_punctual");
            out.begin_object();
            out.key("light");
            out.number(std::int64_t{n.light});
            out.end_object();
            out.end_object();
        }
        if (n.mesh >= 0) {
            out.key("mesh");
            out.number(std::int64_t{n.mesh});
        }
        if (!n.name.empty()) {
            out.key("name");
            out.string(n.name);
        }
        if (n.has_rotation) numbers("rotation", n.rotation, 4);
        if (n.has_scale) numbers("scale", n.scale, 3);
        if (n.has_translation) numbers("translation", n.translation, 3);
        out.end_object();
    }
    out.end_array();
}

// Keys in the order nlohmann::json sorts them, so that the bytes stay those it wrote.
void Document::writeJson(JsonOut &out, Container container) {
    static constexpr const char *kType[] = {"", "SCALAR", "VEC2", "VEC3", "VEC4"};
    const auto integer = [&](const char *name, std::int64_t value) {
        out.key(name);
        out.number(value);
    };
    out.begin_object();
    if (!accessors_.empty()) {
        out.key("accessors");
        out.begin_array();
        for (const Accessor &a : accessors_) {
            out.begin_object();
            integer("bufferView", a.view);
            integer("componentType", a.component_type);
            integer("count", static_cast<std::int64_t>(a.count));
            if (a.bounds) {
                out.key("max");
                out.begin_array();
                for (int k = 0; k < a.components; ++k) out.number(double{a.high[k]});
                out.end_array();
                out.key("min");
                out.begin_array();
                for (int k = 0; k < a.components; ++k) out.number(double{a.low[k]});
                out.end_array();
            }
            out.key("type");
            out.string(kType[a.components]);
            out.end_object();
        }
        out.end_array();
    }
    out.key("asset");
    out.begin_object();
    if (!scene_.info.empty()) {
        out.key("extras");
        out.begin_object();
        out.key("info");
        out.value(nlohmann::json(scene_.info));
        out.end_object();
    }
    out.key("generator");
    out.string("tarvex " TARVEX_VERSION);
    out.key("version");
    out.string("2.0");
    out.end_object();
    if (!views_.empty()) {
        out.key("bufferViews");
        out.begin_array();
        for (const View &v : views_) {
            out.begin_object();
            integer("buffer", 0);
            integer("byteLength", static_cast<std::int64_t>(v.length));
            integer("byteOffset", static_cast<std::int64_t>(v.offset));
            if (v.target != 0) integer("target", v.target);
            out.end_object();
        }
        out.end_array();
    }
    if (!bin_.empty()) {
        out.key("buffers");
        out.begin_array();
        out.begin_object();
        integer("byteLength", static_cast<std::int64_t>(bin_.size()));
        if (container == Container::gltf) {
            out.key("uri");
            out.open_string();
            out.raw("data:application/octet-stream;base64,");
            std::string digits;
            constexpr std::size_t kChunk = 3 << 14;
            for (std::size_t at = 0; at < bin_.size(); at += kChunk) {
                digits.clear();
                base64(std::span(bin_).subspan(at, std::min(kChunk, bin_.size() - at)), digits);
                out.raw(digits);
            }
            out.raw("\"");
        }
        out.end_object();
        out.end_array();
    }
    if (!cameras.empty()) {
        out.key("cameras");
        out.value(cameras);
    }
    if (!lights.empty()) {
        out.key("extensions");
        out.begin_object();
        out.key("KHR_lights_punctual");
        out.begin_object();
        out.key("lights");
        out.value(lights);
        out.end_object();
        out.end_object();
    }
    std::vector<std::string> used = extensions_;
    if (!lights.empty()) used.push_back("KHR_lights_punctual");
    if (!used.empty()) {
        out.key("extensionsUsed");
        out.begin_array();
        for (const std::string &name : used) out.string(name);
        out.end_array();
    }
    if (!images_.empty()) {
        out.key("images");
        out.begin_array();
        for (const int view : images_) {
            out.begin_object();
            integer("bufferView", view);
            out.key("mimeType");
            out.string("image/png");
            out.end_object();
        }
        out.end_array();
    }
    if (!materials_.empty()) {
        out.key("materials");
        out.begin_array();
        for (const std::string &text : materials_) out.value(nlohmann::json::parse(text));
        out.end_array();
    }
    if (!meshes_.empty()) {
        out.key("meshes");
        out.begin_array();
        for (const Mesh &m : meshes_) {
            out.begin_object();
            out.key("primitives");
            out.begin_array();
            out.begin_object();
            out.key("attributes");
            out.begin_object();
            if (m.color >= 0) integer("COLOR_0", m.color);
            if (m.normal >= 0) integer("NORMAL", m.normal);
            integer("POSITION", m.position);
            if (m.tex_coord >= 0) integer("TEXCOORD_0", m.tex_coord);
            out.end_object();
            if (m.indices >= 0) integer("indices", m.indices);
            integer("material", m.material);
            integer("mode", m.mode);
            out.end_object();
            out.end_array();
            out.end_object();
        }
        out.end_array();
    }
    if (!nodes.empty()) writeNodes(out);
    if (!samplerWraps_.empty()) {
        out.key("samplers");
        out.begin_array();
        for (const int wraps : samplerWraps_) {
            out.begin_object();
            integer("magFilter", kLinear);
            integer("minFilter", kLinearMipmapLinear);
            integer("wrapS", wraps & 1 ? kRepeat : kClampToEdge);
            integer("wrapT", wraps & 2 ? kRepeat : kClampToEdge);
            out.end_object();
        }
        out.end_array();
    }
    integer("scene", 0);
    out.key("scenes");
    out.begin_array();
    out.begin_object();
    if (!scene_extras.empty()) {
        out.key("extras");
        out.value(scene_extras);
    }
    if (!roots.empty()) {  // glTF allows no empty list
        out.key("nodes");
        out.begin_array();
        for (const int root : roots) out.number(std::int64_t{root});
        out.end_array();
    }
    out.end_object();
    out.end_array();
    if (!textures_.empty()) {
        out.key("textures");
        out.begin_array();
        for (const TextureRecord &t : textures_) {
            out.begin_object();
            integer("sampler", t.sampler);
            integer("source", t.source);
            out.end_object();
        }
        out.end_array();
    }
    out.end_object();
    out.flush();
}

void Document::finish(Container container, const JsonOut::Sink &sink) {
    while (bin_.size() % 4 != 0) bin_.push_back(0);
    if (container == Container::gltf) {
        JsonOut out(sink, true);
        writeJson(out, container);
        sink("\n");
        return;
    }
    // The header gives the lengths first: the JSON is made once to be measured, once to be sent.
    std::uint64_t json = 0;
    {
        JsonOut measure([&](std::string_view text) { json += text.size(); }, false);
        writeJson(measure, container);
    }
    const std::uint64_t padded = (json + 3) / 4 * 4;
    const std::uint64_t total = 12 + 8 + padded + (bin_.empty() ? 0 : 8 + bin_.size());
    if (total > UINT32_MAX) throw std::length_error("a .glb holds at most 4 GiB");
    char header[20];
    std::memcpy(header, "glTF", 4);
    putU32(header + 4, 2);
    putU32(header + 8, static_cast<std::uint32_t>(total));
    putU32(header + 12, static_cast<std::uint32_t>(padded));
    std::memcpy(header + 16, "JSON", 4);
    sink(std::string_view(header, sizeof header));
    {
        JsonOut out(sink, false);
        writeJson(out, container);
    }
    sink(std::string_view("   ", padded - json));
    if (!bin_.empty()) {
        char chunk[8];
        putU32(chunk, static_cast<std::uint32_t>(bin_.size()));
        std::memcpy(chunk + 4, "BIN\0", 4);
        sink(std::string_view(chunk, sizeof chunk));
        sink(std::string_view(reinterpret_cast<const char *>(bin_.data()), bin_.size()));
    }
}

}  // namespace tarvex::gltf
