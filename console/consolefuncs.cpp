// The console program's progress: the percentage is of no use on a terminal, the mesh messages
// are printed one per line.
#include "console/console_app.h"
#include "console/messages.h"

namespace tarvex {

Progress update_display(std::ostream &err, bool escaped) {
    return [&err, escaped](int /*pct*/, std::string_view outputLine) {
        if (outputLine.empty()) return;
        if (escaped)
            err << escape_for_terminal(outputLine) << '\n';
        else
            err << outputLine << '\n';
    };
}

}  // namespace tarvex
