#include "console/console_app.h"

#include "core/convert.h"

namespace tarvex {
namespace {

void usage(std::ostream &err) {
    err << "usage: tarvex [3dmffile] [wrlfile]\n";
}

bool asksForHelp(const std::string &argument) {
    return argument.starts_with("-?") || argument.starts_with("-h");
}

}  // namespace

int run_tarvex(std::span<const std::string> args, std::ostream &err) {
    if (!args.empty() && asksForHelp(args[0])) {
        usage(err);
        return 0;
    }
    if (args.size() > 2) {
        usage(err);
        return 1;
    }
    const std::string mffilename = !args.empty() ? args[0] : "stdin";
    const std::string wrlfilename = args.size() > 1 ? args[1] : "stdout";

    set_console_message_stream(&err);
    const int result = read_in(mffilename);
    const std::string message = read_result_message(result, mffilename);
    if (!message.empty()) err << message << '\n';
    // Whatever was read before a failure is still written, so that nothing read is lost.
    const int written = write_out(wrlfilename);
    set_console_message_stream(nullptr);
    if (written != 0) {
        err << "Error writing to " << wrlfilename << '\n';
        return 1;
    }
    // A script must be able to tell that the output may be incomplete.
    return result == CNV_OK ? 0 : 1;
}

}  // namespace tarvex
