// What the page calls: the console program run on files in the module's memory, so that every
// download holds the bytes the program writes and the page shows the messages it prints.
#include <emscripten/emscripten.h>

#include <sstream>
#include <string>
#include <vector>

#include "console/console_app.h"

namespace {

std::string messages;

}  // namespace

extern "C" {

// Runs tarvex with `arguments`, one a line; returns its exit status. Its messages stay for
// tarvex_web_messages until the next run.
EMSCRIPTEN_KEEPALIVE int tarvex_web_run(const char *arguments) {
    std::vector<std::string> args;
    std::istringstream lines(arguments);
    for (std::string line; std::getline(lines, line);) args.push_back(line);
    std::ostringstream out, err;
    int status = 1;
    try {
        status = tarvex::run_tarvex(args, out, err, false);
    } catch (const std::exception &e) {  // memory ran out past what the program catches itself
        err << "tarvex stopped: " << e.what() << '\n';
    }
    messages = err.str() + out.str();
    return status;
}

EMSCRIPTEN_KEEPALIVE const char *tarvex_web_messages() {
    return messages.c_str();
}
}
