// The console program's command line: which arguments are options and which name files.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// An option the console program takes: its name with the leading "--", and the text --help shows.
struct OptionInfo {
    std::string_view name;
    std::string_view help;
};

// Every option, in the order --help lists them. A new on/off option is one more line here; the
// program then asks CommandLine::has() for it.
inline constexpr OptionInfo kConsoleOptions[] = {
    {"--help", "print this help and exit"},
    {"--version", "print the program's name and version and exit"},
    {"--full", "read every object of the file and write all that VRML 97 can show"},
    {"--verbose", "in full mode, list every warning and skipped object with its place"},
};

struct CommandLine {
    std::vector<std::string_view> options;  // names from kConsoleOptions, as given
    std::vector<std::string> files;         // the other arguments, "-" already replaced
    std::string unknownOption;              // the first argument that is no option, if any
    bool firstFileAsksForHelp = false;      // the classic "-h..." or "-?..." in first place

    bool has(std::string_view option) const;
};

// Sorts `args` (without the program name): an argument beginning with "--" is an option until a
// bare "--" ends the options; every other argument names a file. "-" stands for "stdin" as the
// first file and for "stdout" as the second.
CommandLine parse_command_line(std::span<const std::string> args);

// The usage line followed by one line per option.
std::string help_text();

}  // namespace tarvex
