# A test program is made of many *_test.cc files. GoogleTest and the standard
# headers most of them include are parsed once for the program (a precompiled
# header) rather than once per file; that and linking one program instead of
# one per file is most of what the test build costs.
function(zarvo_precompile_test_headers target)
  target_precompile_headers(${target} PRIVATE
    <gtest/gtest.h> <algorithm> <array> <chrono> <cstdint> <cstring> <functional>
    <memory> <string> <thread> <vector> ${ARGN})
endfunction()
