# Strict warnings for every target of the project; errors only with ZARVO_WERROR
# (CI and the dev preset), so a newer compiler never breaks a user's build.
set(ZARVO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough -Wnull-dereference)
# gcc 12 at -O3 reports overlapping copies inside std::string's own
# concatenation (a false positive fixed in gcc 13), in code that only adds
# strings together.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND ZARVO_WARNINGS -Wno-restrict)
endif()
if(ZARVO_WERROR)
  list(APPEND ZARVO_WARNINGS -Werror)
endif()

function(zarvo_set_warnings target)
  target_compile_options(${target} PRIVATE ${ZARVO_WARNINGS})
endfunction()
