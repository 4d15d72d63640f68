#include "tests/core_test_support.h"

#include "core/convert.h"
#include "core/progress.h"

namespace tarvex_test {

std::vector<ProgressCall> &progress_calls() {
    static std::vector<ProgressCall> calls;
    return calls;
}

int read_bytes(const std::filesystem::path &dir, const std::string &input) {
    const auto in = dir / "input.3dmf";
    write_file(in, input);
    progress_calls().clear();
    return tarvex::read_in(in.string());
}

std::string write_store(const std::filesystem::path &dir, int *result) {
    const auto out = dir / "output.wrl";
    progress_calls().clear();
    const int rc = tarvex::write_out(out.string());
    if (result != nullptr) *result = rc;
    return read_file(out);
}

}  // namespace tarvex_test

namespace tarvex {

void update_display(int pct, std::string_view outputLine) {
    tarvex_test::progress_calls().push_back({pct, std::string(outputLine)});
}

}  // namespace tarvex
