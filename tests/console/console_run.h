// The console program run in-process as a new process would run it (with an empty scene store),
// in a fresh directory, keeping what it said.
#pragma once

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_app.h"
#include "tests/core/core_test_support.h"

namespace tarvex_test {

class ConsoleRun : public TempDirTest {
  protected:
    int run(const std::vector<std::string> &args, bool terminal = false) {
        tarvex::clean_up();
        std::ostringstream out, err;
        const int status = tarvex::run_tarvex(args, out, err, terminal);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    std::string out() const { return path("out.wrl").string(); }
    // Every file below `folder` with its bytes, by its path relative to it: whatever a run left
    // behind shows here.
    std::map<std::string, std::string> files(const std::filesystem::path &folder) const {
        std::map<std::string, std::string> all;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
            if (!entry.is_directory())
                all[entry.path().lexically_relative(folder).generic_string()] =
                    entry.is_regular_file() ? read_file(entry.path()) : "(not a file)";
        return all;
    }
    std::string out_, err_;
};

}  // namespace tarvex_test
