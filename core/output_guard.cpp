#include "core/output_guard.h"

#include <system_error>

#include "core/file_names.h"
#include "core/recognise_3dmf.h"

namespace tarvex {
namespace fs = std::filesystem;

OutputHazard output_hazard(const std::string &input, const std::string &output) {
    if (output == "stdout") return OutputHazard::none;
    const fs::path out = path_from_utf8(output);
    std::error_code error;
    if (input != "stdin" && fs::equivalent(path_from_utf8(input), out, error) && !error)
        return OutputHazard::is_input;
    if (holds_3dmf(out)) return OutputHazard::holds_3dmf;
    return OutputHazard::none;
}

const char *output_hazard_reason(OutputHazard hazard) {
    switch (hazard) {
        case OutputHazard::none:
            return "";
        case OutputHazard::is_input:
            return "it is the input file itself, which the conversion would destroy";
        case OutputHazard::holds_3dmf:
            return "it holds a 3DMF scene; give a new name for the VRML world";
    }
    return "";
}

}  // namespace tarvex
