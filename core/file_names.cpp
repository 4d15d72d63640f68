#include "core/file_names.h"

#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#endif

namespace tarvex {

#if defined(_WIN32)

std::wstring wide_from_utf8(const std::string &text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string utf8_from_wide(const std::wstring &text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::filesystem::path path_from_utf8(const std::string &name) {
    return std::filesystem::path(wide_from_utf8(name));
}

std::FILE *open_file(const std::filesystem::path &path, const char *mode) {
    const bool binary = std::strchr(mode, 'b') != nullptr;
    if (std::strchr(mode, 'x') != nullptr) {
        // The C runtime may not know "x"; creating the file exclusively does the same.
        const int flags =
            _O_WRONLY | _O_CREAT | _O_EXCL | _O_TRUNC | (binary ? _O_BINARY : _O_TEXT);
        const int fd = _wopen(path.c_str(), flags, _S_IREAD | _S_IWRITE);
        if (fd < 0) return nullptr;
        std::FILE *stream = _fdopen(fd, binary ? "wb" : "w");
        if (!stream) _close(fd);
        return stream;
    }
    return _wfopen(path.c_str(), wide_from_utf8(mode).c_str());
}

#else

std::filesystem::path path_from_utf8(const std::string &name) {
    return std::filesystem::path(name);
}

std::FILE *open_file(const std::filesystem::path &path, const char *mode) {
    return std::fopen(path.c_str(), mode);
}

#endif

}  // namespace tarvex
