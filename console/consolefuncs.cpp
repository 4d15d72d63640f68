// The console program's progress hook: the percentage is of no use on a terminal, the mesh
// messages are printed one per line on standard error.
#include <iostream>

#include "console/console_app.h"
#include "core/progress.h"

namespace tarvex {
namespace {
std::ostream *messageStream = &std::cerr;
}

void set_console_message_stream(std::ostream *err) {
    messageStream = err ? err : &std::cerr;
}

void update_display(int /*pct*/, std::string_view outputLine) {
    if (!outputLine.empty()) *messageStream << outputLine << '\n';
}

}  // namespace tarvex
