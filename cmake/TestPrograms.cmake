# What the tests' own code costs to build. The code under test keeps the
# build type's optimisation; the tests and their scaffolding are compiled
# for debugging (-Og), which takes about a third less time than -O2 and keeps
# the warnings that need data-flow analysis.
function(zarvo_compile_for_tests target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Og)
  endif()
endfunction()

# A test program is made of many *_test.cc files. GoogleTest and the standard
# headers most of them include are parsed once for the program (a precompiled
# header) rather than once per file; that and linking one program instead of
# one per file is most of what the test build costs.
function(zarvo_precompile_test_headers target)
  zarvo_compile_for_tests(${target})
  target_precompile_headers(${target} PRIVATE
    <gtest/gtest.h> <algorithm> <array> <chrono> <cstdint> <cstring> <functional>
    <memory> <string> <thread> <vector> ${ARGN})
  # Through a precompiled header gcc 12 no longer treats the standard
  # library's inlined string code as a system header's, and its known false
  # array-bounds and stringop findings there (std::string operator+ chains)
  # would fail the test build. The library's own sources keep both checks.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                             -Wno-stringop-overread)
  endif()
endfunction()
