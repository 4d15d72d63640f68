// File names are UTF-8 strings everywhere in tarvex. POSIX systems take their bytes as they are;
// Windows spells names in UTF-16, and its narrow (code page) functions cannot open every file,
// so there the names are converted and the wide functions used.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace tarvex {

// The path a UTF-8 file name stands for.
std::filesystem::path path_from_utf8(const std::string &name);

// fopen for a path, with C's mode letters; "x" (fail if the file exists) works on Windows too.
std::FILE *open_file(const std::filesystem::path &path, const char *mode);

#if defined(_WIN32)
std::wstring wide_from_utf8(const std::string &text);
std::string utf8_from_wide(const std::wstring &text);
#endif

}  // namespace tarvex
