#include "core/stdin_prefix.h"

namespace tarvex {
namespace {
std::string pushedBack;
}  // namespace

void push_back_stdin(std::string_view bytes) {
    pushedBack.insert(0, bytes);
}

std::string take_stdin_prefix() {
    std::string bytes;
    bytes.swap(pushedBack);
    return bytes;
}

}  // namespace tarvex
