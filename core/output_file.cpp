#include "core/output_file.h"

#include <cerrno>
#include <random>
#include <system_error>

#include "core/file_names.h"

namespace tarvex {
namespace fs = std::filesystem;

namespace {

// The file a path finally names: links are followed, so that replacing it leaves them in place.
// A dangling link resolves to nothing usable; it is then written through in place.
bool resolveTarget(const fs::path &path, fs::path &target) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
        target = path;
        return true;
    }
    target = fs::canonical(path, error);
    return !error;
}

// Replacing a file we may not write would get round its protection: such a file is opened in
// place instead, and fails there as it always did.
bool mayWrite(const fs::path &path) {
    std::FILE *probe = open_file(path, "r+b");  // opens without truncating
    if (probe) std::fclose(probe);
    return probe != nullptr;
}

}  // namespace

OutputFile::OutputFile(const std::string &fileName, bool binary) {
    if (fileName == "stdout") {
        stream_ = stdout;
        return;
    }
    fs::path target;
    std::error_code error;
    const fs::path path = path_from_utf8(fileName);
    if (resolveTarget(path, target)) {
        const fs::file_status status = fs::status(target, error);
        const bool replaceable =
            fs::is_regular_file(status) ? mayWrite(target) : !fs::exists(status);
        if (replaceable && openTemporary(target, binary)) {
            targetExisted_ = fs::exists(status);
            targetPermissions_ = status.permissions();
            return;
        }
    }
    stream_ = open_file(path, binary ? "wb" : "w");
}

bool OutputFile::openTemporary(const fs::path &target, bool binary) {
    std::random_device seed;
    std::mt19937 random(seed());
    const fs::path directory = target.parent_path();
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path name = ".";
        name += target.filename();
        name += ".tarvex-" + std::to_string(random() % 1000000000u);
        fs::path candidate = directory / name;
        // "x": never open a file that is already there, ours or anybody's.
        stream_ = open_file(candidate, binary ? "wbx" : "wx");
        if (stream_) {
            target_ = target;
            temporary_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) return false;  // no temporary can be made in that directory
    }
    return false;
}

std::FILE *OutputFile::release() {
    std::FILE *stream = stream_;
    stream_ = nullptr;
    return stream;
}

bool OutputFile::commit(bool written) {
    if (temporary_.empty()) return written;
    std::error_code error;
    if (written && targetExisted_) fs::permissions(temporary_, targetPermissions_, error);
    if (written && !error) fs::rename(temporary_, target_, error);
    if (!written || error) {
        fs::remove(temporary_, error);
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

OutputFile::~OutputFile() {
    if (stream_ && stream_ != stdout) std::fclose(stream_);
    if (!temporary_.empty()) {
        std::error_code error;
        fs::remove(temporary_, error);
    }
}

}  // namespace tarvex
