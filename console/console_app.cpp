#include "console/console_app.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "console/batch.h"
#include "console/command_line.h"
#include "console/conversion.h"
#include "console/message_texts.h"
#include "console/messages.h"
#include "conversion/conversion.h"
#include "conversion/input_kind.h"
#include "conversion/skip_hint.h"
#include "core/convert.h"
#include "core/file_names.h"
#include "core/output_guard.h"
#include "core/scene_store.h"
#include "tarvex/version.h"
#include "tree/diagnostics.h"

namespace tarvex {
namespace {

void usage(std::ostream &err) {
    err << text(Text::usage) << '\n';
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

// Anything read as 3DMF that is not gives an empty world that looks like success: full mode
// refuses it, the default mode warns a person. Inputs that cannot be looked at are left to the
// reader, which says why.
bool sayIfNot3dmf(const std::string &input, std::ostream &err) {
    InputKind kind;
    if (!look_at_input(input, kind) || kind.empty || kind.is_3dmf) return false;
    say(err, kind.looks_like.empty() ? text(Text::not3dmf, {input})
                                     : text(Text::not3dmfLooksLike, {input, kind.looks_like}));
    return true;
}

// The extension of `output` when it names a 3D format this program does not write, so that a
// VRML world written there would mislead; "" otherwise.
std::string otherFormatExtension(const std::string &output) {
    const std::size_t dot = output.find_last_of("./\\");
    if (dot == std::string::npos || output[dot] != '.') return {};
    std::string extension = output.substr(dot);
    for (char &c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char *other : {".obj", ".stl", ".ply", ".dae", ".fbx", ".3ds"})
        if (extension == other) return extension;
    return extension.starts_with(".usd") ? extension : std::string();
}

// A file for the world in the --verbose command, so that the warnings are not scrolled away by
// the world itself: the output named, or the input's name with the format's extension.
std::string hintOutput(const std::string &input, const std::string &output,
                       conversion::Format format) {
    if (output != "stdout") return output;
    const std::string_view extension = conversion::extension_of(format);
    if (input == "stdin") return "out" + std::string(extension);
    const std::size_t dot = input.find_last_of("./\\");
    std::string named =
        dot != std::string::npos && input[dot] == '.' ? input.substr(0, dot) : input;
    named += extension;
    return named == input ? named + std::string(extension) : named;
}

// Nothing is dropped or mended in silence: each kind of warning once with its first place and a
// count, or with --verbose every one.
void sayWarnings(const tree::Diagnostics &diagnostics, const std::string &input, bool verbose,
                 std::ostream &err) {
    const char *at = diagnostics.position_kind == tree::PositionKind::byte ? ": byte " : ":";
    if (verbose) {
        for (const tree::Diagnostics::Entry &entry : diagnostics.entries())
            say(err, input + at + std::to_string(entry.position) + ": " + entry.text);
        return;
    }
    for (const tree::Diagnostics::Kind &kind : diagnostics.kinds()) {
        std::string line = input + at + std::to_string(kind.position) + ": ";
        line.append(kind.text);
        if (kind.count > 1) line += " (and " + std::to_string(kind.count - 1) + " more like it)";
        say(err, line);
    }
}

// The system's reason for a failed open or read, "" where there is none to give.
std::string readReason(const conversion::Result &result, const std::string &input) {
    if (result.status == conversion::Status::cant_open)
        return open_failure_reason(input, result.system_error);
    if (result.status == conversion::Status::read_error) return system_reason(result.system_error);
    return {};
}

bool stdoutIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

// A stream that keeps nothing: mesh lines a batch does not show.
std::ostream &nowhere() {
    static std::ostream stream(nullptr);
    return stream;
}

// The default mode reads into the one scene store.
std::mutex defaultModeLock;

}  // namespace

conversion::Format output_format(const ConversionSettings &settings, const std::string &output) {
    return settings.format.value_or(
        conversion::format_from_file_name(output).value_or(conversion::Format::vrml97));
}

int convert_one(const std::string &input, const std::string &output,
                const ConversionSettings &settings, std::ostream &err, DefaultModeLoss *loss) {
    const conversion::Format format = output_format(settings, output);
    if (!conversion::format_available(format)) {
        say(err, text(Text::noGltf, {output}));
        return 1;
    }
    conversion::Options options;
    // The default mode writes VRML 97 only; every other format is written from a full read.
    options.full = settings.full || format != conversion::Format::vrml97;
    options.max_output = settings.maxOutput;
    const bool full = conversion::mode_for(input, options) == conversion::Mode::full;
    if (full && sayIfNot3dmf(input, err)) return 1;
    std::unique_lock<std::mutex> storeLock(defaultModeLock, std::defer_lock);
    if (!full) storeLock.lock();

    // The default mode's classic messages keep their exact text for scripts; the system's reason
    // is a line of its own, for a person or when asked. Full mode always gives it.
    const bool reasons = full || settings.reasons || settings.errIsTerminal;
    conversion::Conversion conversion;
    const conversion::Result &result = conversion.read(
        input, options,
        update_display(settings.meshLines ? err : nowhere(), settings.errIsTerminal));
    if (result.status == conversion::Status::cant_open && !mayWriteEmptyWorld(output)) {
        full ? say(err, result.message) : void(err << result.message << '\n');
        if (reasons) sayReason(err, readReason(result, input));
        return 1;
    }
    if (full) {
        sayWarnings(conversion.diagnostics(), input, settings.verbose, err);
        if (!result.ok()) say(err, result.message);
    } else if (!result.message.empty()) {
        err << result.message << '\n';
    }
    if (reasons) sayReason(err, readReason(result, input));
    // A person is told why the world is empty; scripts keep the default mode's bytes. A file the
    // default mode took meshes from is not called anything else.
    if (!full && settings.errIsTerminal && input != "stdin" && numberOfShapes() == 0 &&
        result.status != conversion::Status::cant_open)
        sayIfNot3dmf(input, err);
    const std::string summary = conversion.diagnostics().summary();
    if (!summary.empty()) say(err, summary);
    // The summary names neither the file nor where to learn more; a person is told.
    if (!summary.empty() && settings.errIsTerminal && !settings.verbose)
        say(err, text(Text::verboseHint, {input, hintOutput(input, output, format)}));

    // Whatever was read before a failure is still written, so that nothing read is lost.
    std::vector<std::string> repairs;
    errno = 0;
    if (conversion.write(output, format, OutputMode::text, &repairs) != 0) {
        const int writeErrno = errno;
        const std::string message = text(Text::errorWriting, {output});
        err << (full ? escape_for_terminal(message) : message) << '\n';
        if (reasons) sayReason(err, system_reason(writeErrno));
        return 1;
    }
    for (const std::string &repair : repairs) say(err, output + ": " + repair);
    if (!full && (settings.errIsTerminal || loss) &&
        result.status != conversion::Status::cant_open) {
        const std::string skipped = default_mode_skipped(input);
        if (!skipped.empty() && settings.errIsTerminal) say(err, text(Text::skipHint, {skipped}));
        if (loss) *loss = {skipped, numberOfShapes() == 0};
    }
    const std::string extension = otherFormatExtension(output);
    if (settings.errIsTerminal && !settings.format && !extension.empty())
        say(err, text(Text::notThatFormat, {output, extension}));
    // A script must be able to tell that the output may be incomplete.
    return result.ok() ? 0 : 1;
}

namespace {

// --jobs=N: a whole number of files at once.
std::optional<unsigned> parseJobs(std::string_view text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > 1024)
        return std::nullopt;
    return jobs;
}

}  // namespace

int run_tarvex(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               bool errIsTerminal) {
    const CommandLine line = parse_command_line(args);
    if (!line.unknownOption.empty()) {
        err << text(Text::unknownOption, {line.unknownOption}) << '\n' << help_text();
        return 1;
    }
    ConversionSettings settings;
    settings.full = line.has("--full");
    settings.verbose = line.has("--verbose");
    settings.errIsTerminal = errIsTerminal;
    if (const std::string *size = line.value("--max-output")) {
        const std::optional<std::uint64_t> bytes = parse_size(*size);
        if (!bytes) {
            err << text(Text::badSize, {escape_for_terminal(*size)}) << '\n';
            return 1;
        }
        settings.maxOutput = *bytes;
    }
    if (const std::string *name = line.value("--format")) {
        settings.format = conversion::format_from_name(*name);
        if (!settings.format) {
            err << text(Text::badFormat, {escape_for_terminal(*name)}) << '\n';
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
            err << text(Text::jobsNeedOutDir) << '\n';
            return 1;
        }
        BatchSettings batch;
        batch.outDir = *outDir;
        batch.conversion = settings;
        batch.jobs = std::max(1u, std::thread::hardware_concurrency());
        if (jobsText != nullptr) {
            const std::optional<unsigned> jobs = parseJobs(*jobsText);
            if (!jobs) {
                err << text(Text::badJobs, {escape_for_terminal(*jobsText)}) << '\n';
                return 1;
            }
            batch.jobs = *jobs;
        }
        return run_batch(line.files, batch, err, errIsTerminal);
    }

    if (line.files.size() > 2) {
        usage(err);
        if (errIsTerminal) err << text(Text::tooManyFiles) << '\n';
        return 1;
    }
    const std::string mffilename = !line.files.empty() ? line.files[0] : "stdin";
    const std::string wrlfilename = line.files.size() > 1 ? line.files[1] : "stdout";

    // A binary asset would garble a terminal and help nobody there.
    if (wrlfilename == "stdout" &&
        output_format(settings, wrlfilename) == conversion::Format::glb && stdoutIsTerminal()) {
        err << text(Text::glbToTerminal) << '\n';
        return 1;
    }
    // Refused before anything is read: the answer does not depend on the input's content.
    const OutputHazard hazard = output_hazard(mffilename, wrlfilename);
    if (hazard != OutputHazard::none) {
        err << text(Text::errorWriting, {wrlfilename}) << '\n';
        if (errIsTerminal) err << "  " << output_hazard_reason(hazard) << '\n';
        return 1;
    }
    settings.full = settings.full || conversion::is_binary_input(mffilename) ||
                    output_format(settings, wrlfilename) != conversion::Format::vrml97;
    if (settings.verbose && !settings.full) {
        err << text(Text::verboseNeedsFull, {escape_for_terminal(mffilename)}) << '\n';
        return 1;
    }
    return convert_one(mffilename, wrlfilename, settings, err);
}

}  // namespace tarvex
