// JSON written as it is made, laid out byte for byte as nlohmann::json's dump() lays it out
// (indent 1, or compact), so that an asset of any size is never held as a tree or as one text.
// Numbers and strings go through nlohmann's own serializer, one value at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::gltf {

class JsonOut {
  public:
    using Sink = std::function<void(std::string_view)>;
    JsonOut(Sink sink, bool pretty);
    ~JsonOut() = default;
    JsonOut(const JsonOut &) = delete;
    JsonOut &operator=(const JsonOut &) = delete;

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    void key(std::string_view name);  // a key of the object open now
    void number(std::int64_t value);
    void number(double value);
    void string(std::string_view text);
    // A whole value held as a tree (a light, a camera, a material), at the current depth.
    void value(const nlohmann::json &tree);
    // A string written in pieces: open_string(), raw() for each piece (nothing in it escaped:
    // the data URI's base64 digits), raw("\"") to close it.
    void open_string();
    void raw(std::string_view bytes);
    void flush();
    std::uint64_t written() const { return written_ + text_.size(); }

  private:
    void element();  // before a value: the separator and the indentation
    void indent(std::size_t depth);

    struct Level {
        bool object;
        bool empty = true;
    };
    Sink sink_;
    bool pretty_;
    bool after_key_ = false;
    std::string text_;
    std::uint64_t written_ = 0;
    std::vector<Level> levels_;
    nlohmann::detail::serializer<nlohmann::json> serializer_;
};

}  // namespace tarvex::gltf
