// The public conversion calls: one path for every pairing of bytes or a file in with bytes or a
// file out, saying what the console program says.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <new>
#include <span>
#include <system_error>

#include "conversion/conversion.h"
#include "conversion/input_kind.h"
#include "conversion/warnings.h"
#include "core/file_names.h"
#include "core/output_guard.h"
#include "core/scene_store.h"
#include "library/internal.h"
#include "readers/binary/binary_reader.h"
#include "tarvex/tarvex.h"

namespace tarvex {
inline namespace v1 {
namespace {

std::string systemReason(int errorNumber) {
    return errorNumber == 0 ? std::string() : std::generic_category().message(errorNumber);
}

std::string openReason(const std::string &name, int errorNumber) {
    std::error_code error;
    if (name != "stdin" && std::filesystem::is_directory(path_from_utf8(name), error))
        return "it is a directory";
    return systemReason(errorNumber);
}

conversion::Format internalFormat(Format format) {
    switch (format) {
        case Format::x3d:
            return conversion::Format::x3d;
        case Format::gltf:
            return conversion::Format::gltf;
        case Format::glb:
            return conversion::Format::glb;
        case Format::vrml:
            break;
    }
    return conversion::Format::vrml97;
}

// Full mode reads anything as 3DMF; what is not would give an empty output that looks like
// success. An input that cannot be looked at is left to the reader, which says why.
bool refuseNot3dmf(const detail::Source &source, Result &result) {
    InputKind kind;
    if (source.path == nullptr)
        kind = input_kind(source.bytes);
    else if (!look_at_input(*source.path, kind))
        return false;
    if (kind.empty || kind.is_3dmf) return false;
    result.status = Status::not_3dmf;
    result.message = source.name + " is not a 3DMF file";
    if (!kind.looks_like.empty())
        result.message.append(" (it looks like ").append(kind.looks_like).append(")");
    return true;
}

Result convert(const detail::Source &source, const std::string *outputPath, std::string *output,
               const Options &options) {
    Result result;
    const std::string outputName = outputPath                    ? *outputPath
                                   : options.output_name.empty() ? "output"
                                                                 : options.output_name;
    const conversion::Format format = internalFormat(options.format);
    if (!conversion::format_available(format)) {
        result.status = Status::format_unavailable;
        result.message = "This build of tarvex writes no glTF: " + outputName + " is not written";
        return result;
    }
    if (source.path != nullptr && outputPath != nullptr) {
        const OutputHazard hazard = output_hazard(*source.path, *outputPath);
        if (hazard != OutputHazard::none) {
            result.status = Status::write_failed;
            result.message = "Error writing to " + outputName;
            result.reason = output_hazard_reason(hazard);
            return result;
        }
    }
    conversion::Options internal;
    // The default mode writes VRML 97 only; every other format is written from a full read.
    internal.full = options.mode == Mode::full || format != conversion::Format::vrml97;
    internal.max_output = options.max_output;
    conversion::Conversion conversion;
    std::unique_lock<std::mutex> storeLock(scene_store_mutex(), std::defer_lock);
    if (!detail::read(conversion, source, internal, options, storeLock, result)) return result;

    // Whatever was read before a failure is still written, so that nothing read is lost.
    std::vector<std::string> repairs;
    errno = 0;
    const int written = outputPath
                            ? conversion.write(*outputPath, format, OutputMode::text, &repairs)
                            : conversion.write_bytes(*output, format, &repairs);
    if (written != 0) {
        result.status = output ? Status::out_of_memory : Status::write_failed;
        if (!result.message.empty()) result.message += '\n';
        result.message += "Error writing to " + outputName;
        result.reason = output ? "out of memory" : systemReason(errno);
        return result;
    }
    for (const std::string &repair : repairs) result.warnings.push_back(outputName + ": " + repair);
    return result;
}

Result guarded(const detail::Source &source, const std::string *outputPath, std::string *output,
               const Options &options) {
    try {
        return convert(source, outputPath, output, options);
    } catch (const std::bad_alloc &) {
        return detail::out_of_memory();
    }
}

}  // namespace

namespace detail {

Source bytes_source(std::string_view bytes, const Options &options) {
    return {nullptr, bytes, options.input_name.empty() ? "input" : options.input_name};
}

Source file_source(const std::string &path) {
    return {&path, {}, path};
}

bool read(conversion::Conversion &conversion, const Source &source,
          const conversion::Options &internal, const Options &options,
          std::unique_lock<std::mutex> &storeLock, Result &result) {
    bool full = internal.full;
    if (source.path != nullptr) {
        full = conversion::mode_for(*source.path, internal) == conversion::Mode::full;
    } else if (!full) {
        full = binary::looks_binary(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t *>(source.bytes.data()),
            std::min<std::size_t>(source.bytes.size(), 4)));
    }
    result.mode = full ? Mode::full : Mode::default_mode;
    if (full && refuseNot3dmf(source, result)) return false;
    if (!full) storeLock.lock();

    const conversion::Result &read =
        source.path ? conversion.read(*source.path, internal, options.progress)
                    : conversion.read_bytes(source.bytes, source.name, internal, options.progress);
    if (read.status == conversion::Status::cant_open) {
        result.status = Status::cant_open;
        result.message = read.message;
        result.reason = openReason(source.name, read.system_error);
        return false;
    }
    if (full)
        result.warnings =
            conversion::warning_lines(conversion.diagnostics(), source.name, options.verbose);
    if (!read.ok()) {
        result.status = Status::incomplete;
        result.message = read.message;
        if (read.status == conversion::Status::read_error)
            result.reason = systemReason(read.system_error);
    }
    const std::string summary = conversion.diagnostics().summary();
    if (!summary.empty()) result.warnings.push_back(summary);
    return true;
}

Result out_of_memory() {
    Result result;
    result.status = Status::out_of_memory;
    result.message = "Out of memory";
    return result;
}

}  // namespace detail

Result convert_bytes(std::string_view input, std::string &output, const Options &options) {
    return guarded(detail::bytes_source(input, options), nullptr, &output, options);
}

Result convert_file(const std::string &input_path, std::string &output, const Options &options) {
    return guarded(detail::file_source(input_path), nullptr, &output, options);
}

Result convert_bytes_to_file(std::string_view input, const std::string &output_path,
                             const Options &options) {
    return guarded(detail::bytes_source(input, options), &output_path, nullptr, options);
}

Result convert_file_to_file(const std::string &input_path, const std::string &output_path,
                            const Options &options) {
    return guarded(detail::file_source(input_path), &output_path, nullptr, options);
}

bool format_from_name(std::string_view name, Format &format) {
    const auto found = conversion::format_from_name(name);
    if (found) format = detail::public_format(*found);
    return found.has_value();
}

bool format_from_file_name(std::string_view file_name, Format &format) {
    const auto found = conversion::format_from_file_name(file_name);
    if (found) format = detail::public_format(*found);
    return found.has_value();
}

bool format_available(Format format) {
    return conversion::format_available(internalFormat(format));
}

const char *version() {
    return TARVEX_VERSION;
}

}  // namespace v1
}  // namespace tarvex
