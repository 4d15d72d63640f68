// tarvex [options] [3dmffile] [wrlfile]: converts a 3DMF ASCII file (or standard input) into a
// VRML 97 world (or standard output).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "console/console_app.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#if defined(_WIN32)
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include "core/file_names.h"

namespace {

// The narrow argv holds the names in the local code page, which cannot spell every file name;
// the wide command line can.
std::vector<std::string> utf8Arguments() {
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(tarvex::utf8_from_wide(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace
#endif

namespace {

bool stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char **argv) {
#if defined(_WIN32)
    const std::vector<std::string> args = utf8Arguments();
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return tarvex::run_tarvex(args, std::cout, std::cerr, stderrIsTerminal());
}
