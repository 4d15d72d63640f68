# The header-only libraries from Debian (fast_float, fmt, stb, nlohmann-json), reached through a
# folder of links to them alone: a cross build (WebAssembly, Windows) must not see the build
# machine's C library headers, which sit beside them in /usr/include.
set(TARVEX_HEADER_LIBRARIES ${CMAKE_BINARY_DIR}/header-libraries)
foreach(header fast_float/fast_float.h fmt/format.h stb/stb_image_write.h nlohmann/json.hpp)
  string(MAKE_C_IDENTIFIER ${header} variable)
  find_path(TARVEX_${variable}_DIR ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH)
  get_filename_component(folder ${header} DIRECTORY)
  if(TARVEX_${variable}_DIR AND NOT EXISTS ${TARVEX_HEADER_LIBRARIES}/${folder})
    file(MAKE_DIRECTORY ${TARVEX_HEADER_LIBRARIES})
    file(CREATE_LINK ${TARVEX_${variable}_DIR}/${folder} ${TARVEX_HEADER_LIBRARIES}/${folder}
         SYMBOLIC)
  endif()
endforeach()
if(NOT TARVEX_fast_float_fast_float_h_DIR OR NOT TARVEX_fmt_format_h_DIR)
  message(FATAL_ERROR "fast_float and fmt are needed (Debian: libfast-float-dev libfmt-dev)")
endif()
add_library(tarvex_header_libraries INTERFACE)
target_include_directories(tarvex_header_libraries SYSTEM INTERFACE ${TARVEX_HEADER_LIBRARIES})
target_compile_definitions(tarvex_header_libraries INTERFACE FMT_HEADER_ONLY=1)
