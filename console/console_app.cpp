#include "console/console_app.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>

#include "console/batch.h"
#include "console/command_line.h"
#include "console/conversion.h"
#include "console/input_kind.h"
#include "console/messages.h"
#include "console/skip_hint.h"
#include "conversion/full_conversion.h"
#include "core/convert.h"
#include "core/file_names.h"
#include "core/output_guard.h"

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

// Every line of `text` escaped, so that bytes read from the input cannot steer the terminal.
void say(std::ostream &err, std::string_view text) {
    err << escape_for_terminal(text) << '\n';
}

void sayReason(std::ostream &err, const std::string &reason) {
    if (!reason.empty()) say(err, "  " + reason);
}

int runFullMode(const std::string &input, const std::string &output,
                const ConversionSettings &settings, std::ostream &err) {
    // Full mode reads anything as 3DMF; what is not would give an empty world that looks like
    // success. Inputs that cannot be looked at are left to the reader, which says why.
    std::string head;
    if (read_input_head(input, head) && !head.empty()) {
        const InputKind kind = input_kind(head);
        if (!kind.is_3dmf) {
            std::string message = input + " is not a 3DMF file";
            if (!kind.looks_like.empty())
                message.append(" (it looks like ").append(kind.looks_like).append(")");
            say(err, message);
            return 1;
        }
    }
    conversion::Conversion conversion;
    conversion.set_max_output(settings.maxOutput);
    errno = 0;
    const conversion::ReadResult result = conversion.read(input);
    const int readErrno = errno;
    const std::string readReason =
        result == conversion::ReadResult::cant_open    ? open_failure_reason(input, readErrno)
        : result == conversion::ReadResult::read_error ? system_reason(readErrno)
                                                       : std::string();
    if (result == conversion::ReadResult::cant_open && !mayWriteEmptyWorld(output)) {
        say(err, conversion.error());
        sayReason(err, readReason);
        return 1;
    }
    const tree::Diagnostics &diagnostics = conversion.diagnostics();
    // Nothing is dropped or mended in silence: each kind of warning once with its first place
    // and a count, or with --verbose every one.
    const char *at = diagnostics.position_kind == tree::PositionKind::byte ? ": byte " : ":";
    if (settings.verbose) {
        for (const tree::Diagnostics::Entry &entry : diagnostics.entries())
            say(err, input + at + std::to_string(entry.position) + ": " + entry.text);
    } else {
        for (const tree::Diagnostics::Kind &kind : diagnostics.kinds()) {
            std::string line = input + at + std::to_string(kind.position) + ": ";
            line.append(kind.text);
            if (kind.count > 1)
                line += " (and " + std::to_string(kind.count - 1) + " more like it)";
            say(err, line);
        }
    }
    if (result != conversion::ReadResult::ok) {
        say(err, conversion.error());
        sayReason(err, readReason);
    }
    const std::string summary = diagnostics.summary();
    if (!summary.empty()) say(err, summary);
    // The summary names neither the file nor where to learn more; a person is told.
    if (!summary.empty() && settings.errIsTerminal && !settings.verbose)
        say(err, "hint: tarvex --full --verbose " + input + " lists each one with its place");
    // Whatever was read before a failure is still written, so that nothing read is lost.
    std::vector<std::string> repairs;
    errno = 0;
    const conversion::OutputFormat format =
        settings.format.value_or(conversion::output_format_of(output));
    if (conversion.write(output, format, &repairs) != 0) {
        const int writeErrno = errno;
        say(err, "Error writing to " + output);
        sayReason(err, system_reason(writeErrno));
        return 1;
    }
    for (const std::string &repair : repairs) say(err, output + ": " + repair);
    return result == conversion::ReadResult::ok ? 0 : 1;
}

// The default mode reads into the one scene store and reports through the one progress hook.
std::mutex defaultModeLock;

// A stream that keeps nothing: mesh lines a batch does not show.
std::ostream &nowhere() {
    static std::ostream stream(nullptr);
    return stream;
}

int runDefaultMode(const std::string &input, const std::string &output,
                   const ConversionSettings &settings, std::ostream &err) {
    const std::lock_guard<std::mutex> lock(defaultModeLock);
    const bool reasons = settings.reasons || settings.errIsTerminal;
    set_console_message_stream(settings.meshLines ? &err : &nowhere());
    errno = 0;
    const int result = read_in(input);
    const int readErrno = errno;
    const std::string message = read_result_message(result, input);
    // The classic messages keep their exact text for scripts; the reason is a line of its own.
    if (!message.empty()) err << message << '\n';
    if (reasons && result == CNV_CANT_OPEN) sayReason(err, open_failure_reason(input, readErrno));
    if (reasons && result == CNV_READ_ERROR) sayReason(err, system_reason(readErrno));
    if (result == CNV_CANT_OPEN && !mayWriteEmptyWorld(output)) {
        set_console_message_stream(nullptr);
        return 1;
    }
    // Whatever was read before a failure is still written, so that nothing read is lost.
    errno = 0;
    const int written = write_out(output);
    const int writeErrno = errno;
    set_console_message_stream(nullptr);
    if (written != 0) {
        err << "Error writing to " << output << '\n';
        if (reasons) sayReason(err, system_reason(writeErrno));
        return 1;
    }
    if (settings.errIsTerminal && result != CNV_CANT_OPEN) {
        const std::string hint = default_mode_skip_hint(input);
        if (!hint.empty()) say(err, hint);
    }
    // A script must be able to tell that the output may be incomplete.
    return result == CNV_OK ? 0 : 1;
}

// --jobs=N: a whole number of files at once.
std::optional<unsigned> parseJobs(std::string_view text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > 1024)
        return std::nullopt;
    return jobs;
}

}  // namespace

int convert_one(const std::string &input, const std::string &output,
                const ConversionSettings &settings, std::ostream &err) {
    const conversion::OutputFormat format =
        settings.format.value_or(conversion::output_format_of(output));
    if (settings.full || format != conversion::OutputFormat::vrml ||
        conversion::is_binary_input(input))
        return runFullMode(input, output, settings, err);
    return runDefaultMode(input, output, settings, err);
}

int run_tarvex(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               bool errIsTerminal) {
    const CommandLine line = parse_command_line(args);
    if (!line.unknownOption.empty()) {
        err << "Unknown option " << line.unknownOption << "!\n" << help_text();
        return 1;
    }
    ConversionSettings settings;
    settings.full = line.has("--full");
    settings.verbose = line.has("--verbose");
    settings.errIsTerminal = errIsTerminal;
    if (const std::string *size = line.value("--max-output")) {
        const std::optional<std::uint64_t> bytes = parse_size(*size);
        if (!bytes) {
            err << "Bad size for --max-output: \"" << escape_for_terminal(*size)
                << "\" (a number of bytes, or followed by K, M or G)\n";
            return 1;
        }
        settings.maxOutput = *bytes;
    }
    if (const std::string *name = line.value("--format")) {
        settings.format = conversion::output_format_named(*name);
        if (!settings.format) {
            err << "Bad format for --format: \"" << escape_for_terminal(*name)
                << "\" (vrml, x3d, gltf or glb)\n";
            return 1;
        }
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

    const std::string *outDir = line.value("--out-dir");
    const std::string *jobsText = line.value("--jobs");
    if (outDir != nullptr || jobsText != nullptr) {
        if (outDir == nullptr) {
            err << "--jobs converts many files: give the folder for them with --out-dir=DIR\n";
            return 1;
        }
        BatchSettings batch;
        batch.outDir = *outDir;
        batch.conversion = settings;
        batch.jobs = std::max(1u, std::thread::hardware_concurrency());
        if (jobsText != nullptr) {
            const std::optional<unsigned> jobs = parseJobs(*jobsText);
            if (!jobs) {
                err << "Bad number for --jobs: \"" << escape_for_terminal(*jobsText)
                    << "\" (how many files at once, 1 to 1024)\n";
                return 1;
            }
            batch.jobs = *jobs;
        }
        return run_batch(line.files, batch, err, errIsTerminal);
    }

    if (line.files.size() > 2) {
        usage(err);
        if (errIsTerminal)
            err << "  too many file names: tarvex converts one 3DMF file into one VRML file; "
                   "--out-dir=DIR converts many\n";
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
    settings.full = settings.full || conversion::is_binary_input(mffilename) ||
                    settings.format.value_or(conversion::output_format_of(wrlfilename)) !=
                        conversion::OutputFormat::vrml;
    if (settings.verbose && !settings.full) {
        err << "--verbose lists full mode's warnings, and " << escape_for_terminal(mffilename)
            << " would be read in the default mode: add --full\n";
        return 1;
    }
    return convert_one(mffilename, wrlfilename, settings, err);
}

}  // namespace tarvex
