#include "tests/core/core_test_support.h"

std::vector<tarvex_test::ProgressCall> &tarvex_test::progress_calls() {
    static std::vector<ProgressCall> calls;
    return calls;
}

tarvex::Progress tarvex_test::recording() {
    return [](int pct, std::string_view outputLine) {
        progress_calls().push_back({pct, std::string(outputLine)});
    };
}
