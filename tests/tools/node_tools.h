// Running the Node test tools of tests/tools/node from a GoogleTest case: a script's exit status
// 77 means the tool (or Node itself) is not installed, and the case skips with its output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvex::test {

struct NodeRun {
    int status = -1;  // the script's exit status; 77: not installed
    std::string output;
};

inline std::string shellQuoted(const std::string &text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline NodeRun run_node_tool(const std::string &script, const std::vector<std::string> &files) {
    NodeRun run;
    const std::filesystem::path folder =
        std::filesystem::path(TARVEX_SOURCE_DIR) / "tests/tools/node";
    std::string command(
        "command -v node >/dev/null 2>&1 || { echo 'node is not installed'; exit 77; }; node ");
    command.append(shellQuoted((folder / script).string()));
    for (const std::string &file : files) command.append(" ").append(shellQuoted(file));
    command.append(" 2>&1");
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> chunk;
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;)
        run.output.append(chunk.data(), got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace tarvex::test
