# The WebAssembly build (scripts/build-web, through emcmake): the one place where it differs
# from a native build. Debian's emcc ignores exceptions unless told, and the geometry throws;
# WebAssembly's own exceptions (Chromium 95, Node 17 and later) cost nothing until one is thrown,
# where emscripten's JavaScript ones send every call that may throw through JavaScript.
add_compile_options(-fwasm-exceptions)
add_link_options(-fwasm-exceptions)
# Optimised across files at the link, where the readers' number parsers, called for every token,
# can be inlined: about 15% less time in the default mode, 7% in full mode.
add_compile_options(-flto)
add_link_options(-flto)
set(TARVEX_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(TARVEX_BUILD_BENCH OFF CACHE BOOL "" FORCE)
set(TARVEX_BUILD_GUI OFF CACHE BOOL "" FORCE)
# Debian has no libpng for WebAssembly; stb's encoder has its own deflate.
set(TARVEX_PNG_ENCODER stb CACHE STRING "" FORCE)
