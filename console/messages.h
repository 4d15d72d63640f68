// Text for people: what the console program says must be readable on any terminal, and say why.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// `text` with every control byte (but tab) and every byte that is not part of valid UTF-8
// written as \xNN, so that a name or a quoted token cannot garble or steer a terminal.
std::string escape_for_terminal(std::string_view text);

// Why `name` could not be opened, given errno as the failure left it: the system's words, or
// that it is a directory (which some systems open without complaint). "" when nothing is known.
std::string open_failure_reason(const std::string &name, int errorNumber);

// The system's words for an errno value; "" for 0.
std::string system_reason(int errorNumber);

}  // namespace tarvex
