# Strict warnings for every target of the project; errors unless ZARVO_WERROR is off.
set(ZARVO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wformat=2 -Wimplicit-fallthrough -Wnull-dereference)
if(ZARVO_WERROR)
  list(APPEND ZARVO_WARNINGS -Werror)
endif()

function(zarvo_set_warnings target)
  target_compile_options(${target} PRIVATE ${ZARVO_WARNINGS})
endfunction()
