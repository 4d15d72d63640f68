// The page's progress: the percentage of the input read goes to the page's onProgress, the
// mesh lines of the default mode to the messages, as the console program prints them.
#include <emscripten/emscripten.h>

#include "console/console_app.h"

namespace tarvex {

Progress update_display(std::ostream &err) {
    return [&err](int percent, std::string_view outputLine) {
        if (!outputLine.empty()) err << outputLine << '\n';
        EM_ASM({ if (Module.onProgress) Module.onProgress($0); }, percent);
    };
}

}  // namespace tarvex
