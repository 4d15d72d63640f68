// The page's progress: the percentage of the input read goes to the page's onProgress, the
// mesh lines of the default mode to the messages, as the console program prints them.
#include <emscripten/emscripten.h>

#include "console/console_app.h"
#include "console/messages.h"

namespace tarvex {

Progress update_display(std::ostream &err, bool escaped) {
    return [&err, escaped](int percent, std::string_view outputLine) {
        if (!outputLine.empty())
            err << (escaped ? escape_for_terminal(outputLine) : outputLine) << '\n';
        EM_ASM(
            {
                if (Module.onProgress) Module.onProgress($0);
            },
            percent);
    };
}

}  // namespace tarvex
