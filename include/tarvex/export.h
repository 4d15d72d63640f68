// TARVEX_API marks what the library exports; everything else in it is hidden. A program that
// links the static library on Windows defines TARVEX_STATIC (the CMake package does so).
#pragma once

#if defined(TARVEX_STATIC)
#define TARVEX_API
#elif defined(_WIN32)
#if defined(TARVEX_BUILDING)
#define TARVEX_API __declspec(dllexport)
#else
#define TARVEX_API __declspec(dllimport)
#endif
#else
#define TARVEX_API __attribute__((visibility("default")))
#endif
