// Bytes a program took from standard input to look at them (whether the input is binary 3DMF)
// and hands back: whichever reader then reads standard input reads them first.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

void push_back_stdin(std::string_view bytes);
// The bytes pushed back, once: the store is empty afterwards.
std::string take_stdin_prefix();

}  // namespace tarvex
