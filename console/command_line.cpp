#include "console/command_line.h"

#include <algorithm>

namespace tarvex {

bool CommandLine::has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
}

CommandLine parse_command_line(std::span<const std::string> args) {
    CommandLine line;
    bool optionsEnded = false;
    bool firstFile = true;
    for (const std::string &arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.starts_with("--")) {
            const auto known =
                std::find_if(std::begin(kConsoleOptions), std::end(kConsoleOptions),
                             [&](const OptionInfo &option) { return option.name == arg; });
            if (known != std::end(kConsoleOptions)) {
                line.options.push_back(known->name);
            } else if (line.unknownOption.empty()) {
                line.unknownOption = arg;
            }
            continue;
        }
        // After "--" a name is taken as it is written, even "-h".
        if (firstFile && !optionsEnded) {
            line.firstFileAsksForHelp = arg.starts_with("-h") || arg.starts_with("-?");
        }
        firstFile = false;
        if (arg == "-") {
            line.files.emplace_back(line.files.empty() ? "stdin" : "stdout");
        } else {
            line.files.push_back(arg);
        }
    }
    return line;
}

std::string help_text() {
    std::string text = "usage: tarvex [3dmffile] [wrlfile]\n";
    std::size_t width = 2;  // "--"
    for (const OptionInfo &option : kConsoleOptions) width = std::max(width, option.name.size());
    const auto addLine = [&](std::string_view name, std::string_view help) {
        text.append("  ").append(name).append(width + 2 - name.size(), ' ');
        text.append(help).push_back('\n');
    };
    for (const OptionInfo &option : kConsoleOptions) addLine(option.name, option.help);
    addLine("--", "end the options: every later argument names a file");
    addLine("-", "standard input as 3dmffile, standard output as wrlfile");
    return text;
}

}  // namespace tarvex
