// The console program's command line: which arguments are options and which name files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex {

// An option the console program takes: its name with the leading "--", the text --help shows,
// and for an option written --name=VALUE what its value is called ("" for on/off options).
struct OptionInfo {
    std::string_view name;
    std::string_view help;
    std::string_view value = {};
};

// Every option, in the order --help lists them. A new on/off option is one more line here; the
// program then asks CommandLine::has() for it, or CommandLine::value() for one with a value.
inline constexpr OptionInfo kConsoleOptions[] = {
    {"--help", "print this help and exit"},
    {"--version", "print the program's name and version and exit"},
    {"--full", "read every object of the file and write all that VRML 97 can show"},
    {"--verbose", "in full mode, list every warning and skipped object with its place"},
    {"--max-output", "in full mode, let surfaces write up to SIZE (300M, 2G) before coarsening",
     "SIZE"},
    {"--out-dir", "convert every file named, and every 3DMF file in the folders named, into DIR",
     "DIR"},
    {"--jobs", "with --out-dir, convert N files at once (default: one per processor)", "N"},
    {"--format", "write vrml, x3d, gltf or glb (default: by the output's extension, else vrml)",
     "F"},
};

struct CommandLine {
    std::vector<std::string_view> options;  // names from kConsoleOptions, as given
    std::vector<std::pair<std::string_view, std::string>> values;  // --name=VALUE, in order
    std::vector<std::string> files;     // the other arguments, "-" already replaced
    std::string unknownOption;          // the first argument that is no option, if any
    bool firstFileAsksForHelp = false;  // the classic "-h..." or "-?..." in first place

    bool has(std::string_view option) const;
    // The value last given to `option`, nullptr when none was.
    const std::string *value(std::string_view option) const;
};

// Sorts `args` (without the program name): an argument beginning with "--" is an option until a
// bare "--" ends the options; every other argument names a file. "-" stands for "stdin" as the
// first file and for "stdout" as the second.
CommandLine parse_command_line(std::span<const std::string> args);

// A size in bytes: digits, optionally followed by K, M or G (binary multiples, either case).
// nullopt for anything else, for 0 and for sizes past 2^64.
std::optional<std::uint64_t> parse_size(std::string_view text);

// The usage line, the formats the output's extension chooses, and one line per option.
std::string help_text();

}  // namespace tarvex
