// Temporary files that an interrupted run must not leave behind: SIGINT, SIGTERM and SIGHUP
// remove every registered file, then end the process as the signal would have. A temporary can
// grow to the size of a whole world, and its hidden name would keep the user from noticing it.
#pragma once

#include <filesystem>

namespace tarvex {

// Registers `path` for removal on those signals, installing the handlers for any of them still
// at its default action (a signal the program ignores or handles itself is left to it). Returns a
// slot for unregister_temporary, or -1 when the path could not be registered (too long): the file
// then merely stays on a signal. There is a slot for every file, however many are written at once.
int register_temporary(const std::filesystem::path &path);

// Forgets a slot once its file was renamed into place or removed. -1 is ignored.
void unregister_temporary(int slot);

}  // namespace tarvex
