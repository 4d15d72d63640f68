#include "console/console_app.h"

#include <filesystem>
#include <span>
#include <system_error>

#include "console/command_line.h"
#include "core/convert.h"
#include "core/file_names.h"
#include "core/output_guard.h"
#include "full/full_conversion.h"

namespace tarvex {
namespace {

void usage(std::ostream &err) {
    err << "usage: tarvex [3dmffile] [wrlfile]\n";
}

// An input that could not be opened still gives the empty world, but only where that destroys
// nothing: on standard output or in a file that does not exist yet.
bool mayWriteEmptyWorld(const std::string &output) {
    std::error_code error;
    return output == "stdout" || !std::filesystem::exists(path_from_utf8(output), error);
}

int runFullMode(const std::string &input, const std::string &output, bool verbose,
                std::uint64_t maxOutput, std::ostream &err) {
    full::Conversion conversion;
    conversion.set_max_output(maxOutput);
    const full::ReadResult result = conversion.read(input);
    if (result == full::ReadResult::cant_open && !mayWriteEmptyWorld(output)) {
        err << conversion.error() << '\n';
        return 1;
    }
    const format::Diagnostics &diagnostics = conversion.diagnostics();
    // Nothing is dropped or mended in silence: each kind of warning once with its first place
    // and a count, or with --verbose every one.
    const char *at = diagnostics.position_kind == format::PositionKind::byte ? ": byte " : ":";
    if (verbose) {
        for (const format::Diagnostics::Entry &entry : diagnostics.entries())
            err << input << at << entry.position << ": " << entry.text << '\n';
    } else {
        for (const format::Diagnostics::Kind &kind : diagnostics.kinds()) {
            err << input << at << kind.position << ": " << kind.text;
            if (kind.count > 1) err << " (and " << kind.count - 1 << " more like it)";
            err << '\n';
        }
    }
    if (result != full::ReadResult::ok) err << conversion.error() << '\n';
    const std::string summary = diagnostics.summary();
    if (!summary.empty()) err << summary << '\n';
    // Whatever was read before a failure is still written, so that nothing read is lost.
    std::vector<std::string> repairs;
    if (conversion.write(output, OutputMode::text, &repairs) != 0) {
        err << "Error writing to " << output << '\n';
        return 1;
    }
    for (const std::string &repair : repairs) err << output << ": " << repair << '\n';
    return result == full::ReadResult::ok ? 0 : 1;
}

}  // namespace

int run_tarvex(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               bool errIsTerminal) {
    const CommandLine line = parse_command_line(args);
    if (!line.unknownOption.empty()) {
        err << "Unknown option " << line.unknownOption << "!\n" << help_text();
        return 1;
    }
    std::uint64_t maxOutput = 0;  // the default budget
    if (const std::string *size = line.value("--max-output")) {
        const std::optional<std::uint64_t> bytes = parse_size(*size);
        if (!bytes) {
            err << "Bad size for --max-output: \"" << *size
                << "\" (a number of bytes, or followed by K, M or G)\n";
            return 1;
        }
        maxOutput = *bytes;
    }
    if (line.has("--help")) {
        out << help_text();
        return 0;
    }
    if (line.has("--version")) {
        out << "tarvex " TARVEX_VERSION "\n";
        return 0;
    }
    if (line.firstFileAsksForHelp) {
        usage(err);
        return 0;
    }
    if (line.files.size() > 2) {
        usage(err);
        return 1;
    }
    const std::string mffilename = !line.files.empty() ? line.files[0] : "stdin";
    const std::string wrlfilename = line.files.size() > 1 ? line.files[1] : "stdout";

    // Refused before anything is read: the answer does not depend on the input's content.
    const OutputHazard hazard = output_hazard(mffilename, wrlfilename);
    if (hazard != OutputHazard::none) {
        err << "Error writing to " << wrlfilename << '\n';
        if (errIsTerminal) err << "  " << output_hazard_reason(hazard) << '\n';
        return 1;
    }

    if (line.has("--full") || full::is_binary_input(mffilename))
        return runFullMode(mffilename, wrlfilename, line.has("--verbose"), maxOutput, err);

    set_console_message_stream(&err);
    const int result = read_in(mffilename);
    const std::string message = read_result_message(result, mffilename);
    if (!message.empty()) err << message << '\n';
    if (result == CNV_CANT_OPEN && !mayWriteEmptyWorld(wrlfilename)) {
        set_console_message_stream(nullptr);
        return 1;
    }
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
