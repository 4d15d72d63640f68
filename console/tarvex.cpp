// tarvex [3dmffile] [wrlfile]: converts a 3DMF ASCII file (or standard input) into a VRML 97
// world (or standard output).
#include <iostream>
#include <string>
#include <vector>

#include "console/console_app.h"

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tarvex::run_tarvex(args, std::cerr);
}
