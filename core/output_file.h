// Where write_out's text goes, chosen so that a failed write never destroys a file the user
// already had.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace tarvex {

// An output for one write. For a regular file, or a path that names nothing yet, the text goes
// to a temporary file in the same directory, created with the permissions of the file it
// replaces, which takes the target's place only once everything was written; SIGINT, SIGTERM and
// SIGHUP remove it. A symbolic link is followed, so the file it points to is replaced and the
// link stays. An existing file is never written in place: when no temporary can be made beside
// it, or it holds a 3DMF scene, nothing is opened. Standard output, devices, FIFOs, and new
// files in directories where no temporary can be made are written in place.
class OutputFile {
  public:
    // Opens the output for `fileName` ("stdout" is standard output); `binary` selects binary
    // mode where the platform distinguishes it. stream() is null when nothing could be opened.
    OutputFile(const std::string &fileName, bool binary);
    // Removes a temporary that was not committed.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    std::FILE *stream() const { return stream_; }
    // Hands the stream over to whoever closes it; commit() must follow that close.
    std::FILE *release();

    // Called after the stream was closed: when `written` is true, puts the temporary in the
    // target's place with the old file's permission bits. False when that fails; the temporary
    // is then removed and the old file is untouched.
    bool commit(bool written);

  private:
    bool openTemporary(const std::filesystem::path &target, bool binary);
    void forgetTemporary();

    std::FILE *stream_ = nullptr;
    std::filesystem::path target_;
    std::filesystem::path temporary_;  // empty when writing in place
    bool targetExisted_ = false;
    std::filesystem::perms targetPermissions_{};
    int cleanupSlot_ = -1;  // register_temporary's slot for temporary_
};

}  // namespace tarvex
