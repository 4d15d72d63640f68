#include "writers/gltf/json_out.h"

#include <charconv>

namespace tarvex::gltf {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

JsonOut::JsonOut(Sink sink, bool pretty)
    : sink_(std::move(sink)),
      pretty_(pretty),
      serializer_(nlohmann::detail::output_adapter<char>(text_), ' ',
                  nlohmann::json::error_handler_t::replace) {}

void JsonOut::flush() {
    if (text_.empty()) return;
    written_ += text_.size();
    sink_(text_);
    text_.clear();
}

void JsonOut::indent(std::size_t depth) {
    text_.append(depth, ' ');
}

void JsonOut::element() {
    if (text_.size() >= kBlock) flush();
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level &level = levels_.back();
    text_.append(level.empty ? (pretty_ ? "\n" : "") : (pretty_ ? ",\n" : ","));
    level.empty = false;
    if (pretty_) indent(levels_.size());
}

void JsonOut::begin_object() {
    element();
    text_.push_back('{');
    levels_.push_back({true});
}

void JsonOut::begin_array() {
    element();
    text_.push_back('[');
    levels_.push_back({false});
}

void JsonOut::end_object() {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty && pretty_) {
        text_.push_back('\n');
        indent(levels_.size());
    }
    text_.push_back('}');
}

void JsonOut::end_array() {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty && pretty_) {
        text_.push_back('\n');
        indent(levels_.size());
    }
    text_.push_back(']');
}

void JsonOut::key(std::string_view name) {
    element();
    serializer_.dump(nlohmann::json(name), false, false, 0);
    text_.append(pretty_ ? ": " : ":");
    after_key_ = true;
}

void JsonOut::number(std::int64_t value) {
    element();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text_.append(digits, end);
}

void JsonOut::number(double value) {
    element();
    serializer_.dump(nlohmann::json(value), false, false, 0);
}

void JsonOut::string(std::string_view text) {
    element();
    serializer_.dump(nlohmann::json(text), false, false, 0);
}

void JsonOut::value(const nlohmann::json &tree) {
    element();
    serializer_.dump(tree, pretty_, false, pretty_ ? 1 : 0,
                     static_cast<unsigned>(pretty_ ? levels_.size() : 0));
}

void JsonOut::open_string() {
    element();
    text_.push_back('"');
}

void JsonOut::raw(std::string_view bytes) {
    text_.append(bytes);
    if (text_.size() >= kBlock) flush();
}

}  // namespace tarvex::gltf
