# tarvex_add_test(NAME SOURCES file... LIBS target... [DEFINES def...] [EXE] [TIMEOUT s])
# One GoogleTest program: built against the targets its sources include, told where the project
# (TARVEX_SOURCE_DIR) and the real files beside it (TARVEX_CORPUS_DIR) are, its cases registered
# with ctest. Tests that need the real files skip, with the reason, when they are not there.
# EXE: the test also runs the console program, named by TARVEX_EXE.
function(tarvex_add_test name)
  cmake_parse_arguments(arg "EXE" "TIMEOUT" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main tarvex_warnings)
  target_compile_definitions(${name} PRIVATE TARVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             TARVEX_CORPUS_DIR="${TARVEX_CORPUS_DIR}" ${arg_DEFINES})
  if(arg_EXE)
    target_compile_definitions(${name} PRIVATE TARVEX_EXE="$<TARGET_FILE:tarvex>")
    add_dependencies(${name} tarvex)
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 600)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${arg_TIMEOUT})
endfunction()
