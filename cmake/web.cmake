# The WebAssembly build (scripts/build-web, through emcmake): the one place where it differs
# from a native build. Debian's emcc ignores exceptions unless told, and the geometry throws.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
set(TARVEX_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(TARVEX_BUILD_BENCH OFF CACHE BOOL "" FORCE)
set(TARVEX_BUILD_GUI OFF CACHE BOOL "" FORCE)
# Debian has no libpng for WebAssembly; stb's encoder has its own deflate.
set(TARVEX_PNG_ENCODER stb CACHE STRING "" FORCE)
