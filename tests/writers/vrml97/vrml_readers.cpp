#include "vrml_readers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tarvex::vrml97::testing {
namespace {

#ifdef TARVEX_VRML_CHECK
constexpr const char *kCoinCheck = TARVEX_VRML_CHECK;
#else
constexpr const char *kCoinCheck = nullptr;
#endif
#ifdef TARVEX_TOVRMLX3D_CHECK
constexpr const char *kTovrmlx3dCheck = TARVEX_TOVRMLX3D_CHECK;
#else
constexpr const char *kTovrmlx3dCheck = nullptr;
#endif

// Runs `command`; its output and a failing status come back as the complaint.
std::string run(const std::string &command) {
    std::FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "cannot run " + command;
    std::string output;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0) output.append(block, n);
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return "";  // reader not installed
    if (status != 0 && output.empty()) output = "failed without a message";
    return status == 0 ? std::string() : output;
}

}  // namespace

bool coin_check_available() {
    return kCoinCheck != nullptr;
}

bool tovrmlx3d_check_available() {
    static const bool available =
        kTovrmlx3dCheck && std::system("command -v tovrmlx3d >/dev/null 2>&1") == 0;
    return available;
}

std::string vrml_reader_complaints(const std::string &text, const std::string &name) {
    static bool noted = false;
    if (!noted) {
        noted = true;
        if (!coin_check_available()) {
            std::printf("Coin not found: VRML files are not checked with Coin\n");
        }
        if (!tovrmlx3d_check_available()) {
            std::printf("tovrmlx3d not installed: VRML files are not checked with it\n");
        }
    }
    const std::string path = ::testing::TempDir() + name + ".wrl";
    std::ofstream(path, std::ios::binary) << text;
    std::string complaints;
    if (kCoinCheck) complaints += run(std::string(kCoinCheck) + " '" + path + "'");
    if (tovrmlx3d_check_available())
        complaints += run(std::string(kTovrmlx3dCheck) + " '" + path + "'");
    if (complaints.empty()) std::remove(path.c_str());
    return complaints;
}

}  // namespace tarvex::vrml97::testing
