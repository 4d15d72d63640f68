#include "console/message_texts.h"

namespace tarvex {

std::string text(Text id, std::initializer_list<std::string_view> values) {
    const std::string_view format = text_format(id);
    std::string line;
    line.reserve(format.size() + 64);
    const std::string_view *value = values.begin();
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format.compare(at, 2, "%s") == 0 && value != values.end()) {
            line.append(*value++);
            ++at;
        } else {
            line.push_back(format[at]);
        }
    }
    return line;
}

}  // namespace tarvex
