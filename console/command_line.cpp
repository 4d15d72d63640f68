#include "console/command_line.h"

#include <algorithm>

namespace tarvex {

bool CommandLine::has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
}

const std::string *CommandLine::value(std::string_view option) const {
    for (auto it = values.rbegin(); it != values.rend(); ++it)
        if (it->first == option) return &it->second;
    return nullptr;
}

std::optional<std::uint64_t> parse_size(std::string_view text) {
    std::uint64_t unit = 1;
    if (!text.empty()) {
        switch (text.back()) {
            case 'k':
            case 'K':
                unit = std::uint64_t{1} << 10;
                break;
            case 'm':
            case 'M':
                unit = std::uint64_t{1} << 20;
                break;
            case 'g':
            case 'G':
                unit = std::uint64_t{1} << 30;
                break;
            default:
                break;
        }
        if (unit != 1) text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (n == 0 || n > UINT64_MAX / unit) return std::nullopt;
    return n * unit;
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
            const std::size_t equals = arg.find('=');
            const std::string_view name = std::string_view(arg).substr(0, equals);
            const auto known =
                std::find_if(std::begin(kConsoleOptions), std::end(kConsoleOptions),
                             [&](const OptionInfo &option) { return option.name == name; });
            // An option with a value is only known written with it, and an on/off one only
            // without.
            const bool fits = known != std::end(kConsoleOptions) &&
                              known->value.empty() == (equals == std::string::npos);
            if (fits && equals != std::string::npos) {
                line.values.emplace_back(known->name, arg.substr(equals + 1));
            } else if (fits) {
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
    std::string text =
        "usage: tarvex [3dmffile] [wrlfile]\n"
        "Converts a 3DMF file into VRML 97, X3D or glTF 2.0, as the output's extension says:\n"
        "  .wrl VRML 97 (also any other extension, and standard output), .x3d X3D,\n"
        "  .gltf glTF 2.0 (JSON), .glb glTF 2.0 (binary). Options:\n";
    std::size_t width = 2;  // "--"
    const auto shown = [](const OptionInfo &option) {
        return option.value.empty() ? std::string(option.name)
                                    : std::string(option.name) + "=" + std::string(option.value);
    };
    for (const OptionInfo &option : kConsoleOptions) width = std::max(width, shown(option).size());
    const auto addLine = [&](std::string_view name, std::string_view help) {
        text.append("  ").append(name).append(width + 2 - name.size(), ' ');
        text.append(help).push_back('\n');
    };
    for (const OptionInfo &option : kConsoleOptions) addLine(shown(option), option.help);
    addLine("--", "end the options: every later argument names a file");
    addLine("-", "standard input as 3dmffile, standard output as wrlfile");
    return text;
}

}  // namespace tarvex
