#include "core/output_file.h"

#include <cerrno>
#include <random>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include "core/file_names.h"
#include "core/interrupt_cleanup.h"
#include "core/recognise_3dmf.h"

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

// Replacing a file we may not write would get round its protection.
bool mayWrite(const fs::path &path) {
    std::FILE *probe = open_file(path, "ab");  // opens for writing without truncating
    if (probe) std::fclose(probe);
    return probe != nullptr;
}

// A new file that nobody else has: created exclusively, readable from its first byte only as
// the file it replaces is (or as a new file is under the umask), never more widely.
std::FILE *createExclusive(const fs::path &path, bool binary, bool keepPermissions,
                           fs::perms permissions) {
#if defined(_WIN32)
    (void)keepPermissions;
    (void)permissions;
    return open_file(path, binary ? "wbx" : "wx");
#else
    (void)binary;
    const mode_t mode =
        keepPermissions ? static_cast<mode_t>(permissions & fs::perms::all) : mode_t{0666};
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return nullptr;
    std::FILE *stream = fdopen(fd, "w");
    if (stream == nullptr) {
        const int saved = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = saved;
    }
    return stream;
#endif
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
        if (fs::is_regular_file(status)) {
            // An existing file is only ever replaced whole: when it may not be written, holds a
            // scene of the kind we read, or no temporary can be made beside it, nothing is
            // written and the file stays as it was.
            if (holds_3dmf(target) || !mayWrite(target)) return;
            targetExisted_ = true;
            targetPermissions_ = status.permissions();
            openTemporary(target, binary);
            return;
        }
        if (!fs::exists(status) && openTemporary(target, binary)) return;
    }
    // Standard output's kin (devices, FIFOs), and a new file whose directory takes no temporary:
    // nothing there can be destroyed by writing in place.
    stream_ = open_file(path, binary ? "wb" : "w");
}

bool OutputFile::openTemporary(const fs::path &target, bool binary) {
    std::random_device seed;
    std::mt19937 random(seed());
    const fs::path directory = target.parent_path();
    // The target's name makes a leftover recognisable, unless it would make the name too long.
    const fs::path stem = target.filename().native().size() <= 100 ? target.filename() : "";
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path name = ".";
        name += stem;
        name += ".tarvex-" + std::to_string(random() % 1000000000u);
        fs::path candidate = directory / name;
        // Exclusive: never open a file that is already there, ours or anybody's.
        stream_ = createExclusive(candidate, binary, targetExisted_, targetPermissions_);
        if (stream_) {
            target_ = target;
            temporary_ = std::move(candidate);
            cleanupSlot_ = register_temporary(temporary_);
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
        forgetTemporary();
        return false;
    }
    forgetTemporary();
    return true;
}

void OutputFile::forgetTemporary() {
    unregister_temporary(cleanupSlot_);
    cleanupSlot_ = -1;
    temporary_.clear();
}

OutputFile::~OutputFile() {
    if (stream_ && stream_ != stdout) std::fclose(stream_);
    if (!temporary_.empty()) {
        std::error_code error;
        fs::remove(temporary_, error);
        forgetTemporary();
    }
}

}  // namespace tarvex
