# Cross-compiles ZarvoAC.dll (64-bit and 32-bit) with mingw-w64 as part of the
# normal build, where Debian's mingw-w64 compilers are installed.
include(ExternalProject)
set(ZARVO_WINDOWS_ARCHES "")
foreach(arch x86_64 i686)
  find_program(ZARVO_MINGW_CXX_${arch} ${arch}-w64-mingw32-g++-posix)
  if(NOT ZARVO_MINGW_CXX_${arch})
    continue()
  endif()
  ExternalProject_Add(zarvoac_windows_${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${arch}.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DZARVO_WERROR=${ZARVO_WERROR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  list(APPEND ZARVO_WINDOWS_ARCHES ${arch})
endforeach()
if(NOT ZARVO_WINDOWS_ARCHES)
  message(STATUS "mingw-w64 not found: ZarvoAC.dll is not built")
endif()
