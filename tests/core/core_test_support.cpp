#include "tests/core/core_test_support.h"

#include "core/progress.h"

std::vector<tarvex_test::ProgressCall> &tarvex_test::progress_calls() {
    static std::vector<ProgressCall> calls;
    return calls;
}

void tarvex::update_display(int pct, std::string_view outputLine) {
    tarvex_test::progress_calls().push_back({pct, std::string(outputLine)});
}
