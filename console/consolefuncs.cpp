// The console program's progress: the percentage is of no use on a terminal, the mesh messages
// are printed one per line.
#include "console/console_app.h"

namespace tarvex {

Progress update_display(std::ostream &err) {
    return [&err](int /*pct*/, std::string_view outputLine) {
        if (!outputLine.empty()) err << outputLine << '\n';
    };
}

}  // namespace tarvex
