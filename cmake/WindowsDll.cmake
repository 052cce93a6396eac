# Cross-compiles ZarvoAC.dll and zarvoctl.exe (64-bit and 32-bit) with
# mingw-w64 as part of the normal build, where Debian's mingw-w64 compilers
# are installed, and packs them into the Windows zip.
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
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/windows-${arch}/src/ZarvoAC.dll
                     ${CMAKE_BINARY_DIR}/windows-${arch}/src/libZarvoAC.dll.a
                     ${CMAKE_BINARY_DIR}/windows-${arch}/tools/zarvoctl.exe
    USES_TERMINAL_BUILD ON)
  list(APPEND ZARVO_WINDOWS_ARCHES ${arch})
endforeach()
if(NOT ZARVO_WINDOWS_ARCHES)
  message(STATUS "mingw-w64 not found: ZarvoAC.dll is not built")
endif()
if(ZARVO_WINDOWS_ARCHES STREQUAL "x86_64;i686")
  set(ZARVO_WINDOWS_ARCH_DIRS x64 x86)  # the zip's folder for each
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsZip.cmake)
endif()
