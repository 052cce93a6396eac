# build/ZarvoAC-<version>-windows.zip: both DLLs with their import
# libraries and zarvoctl.exe, the header, a CMake package and a README.
# Redone only when one of its files changed.
include(CMakePackageConfigHelpers)

set(ZARVO_WINDOWS_ZIP_NAME ZarvoAC-${PROJECT_VERSION}-windows)
set(ZARVO_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/${ZARVO_WINDOWS_ZIP_NAME}.zip)
set(stage ${CMAKE_BINARY_DIR}/windows-zip)
set(root ${stage}/${ZARVO_WINDOWS_ZIP_NAME})
set(generated ${CMAKE_BINARY_DIR}/windows-zip-files)
file(MAKE_DIRECTORY ${stage})

# The package picks the architecture itself, so one version file serves both.
write_basic_package_version_file(${generated}/ZarvoACConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/README.txt.in ${generated}/README.txt @ONLY
  NEWLINE_STYLE CRLF)
set(package_files ${CMAKE_CURRENT_LIST_DIR}/windows/ZarvoACConfig.cmake
                  ${generated}/ZarvoACConfigVersion.cmake)

set(copy_commands "")
set(inputs ${PROJECT_SOURCE_DIR}/include/zarvoac.h ${generated}/README.txt ${package_files})
foreach(arch dir IN ZIP_LISTS ZARVO_WINDOWS_ARCHES ZARVO_WINDOWS_ARCH_DIRS)
  set(built ${CMAKE_BINARY_DIR}/windows-${arch})
  list(APPEND inputs ${built}/src/ZarvoAC.dll ${built}/src/libZarvoAC.dll.a
                     ${built}/tools/zarvoctl.exe)
  list(APPEND copy_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${root}/${dir}/bin ${root}/${dir}/lib
    COMMAND ${CMAKE_COMMAND} -E copy ${built}/src/ZarvoAC.dll ${built}/tools/zarvoctl.exe
            ${root}/${dir}/bin
    COMMAND ${CMAKE_COMMAND} -E copy ${built}/src/libZarvoAC.dll.a ${root}/${dir}/lib/ZarvoAC.lib)
endforeach()

add_custom_command(OUTPUT ${ZARVO_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${root}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${root}/include ${root}/lib/cmake/ZarvoAC
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/zarvoac.h ${root}/include
  COMMAND ${CMAKE_COMMAND} -E copy ${generated}/README.txt ${root}
  COMMAND ${CMAKE_COMMAND} -E copy ${package_files} ${root}/lib/cmake/ZarvoAC
  ${copy_commands}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${ZARVO_WINDOWS_ZIP} --format=zip ${ZARVO_WINDOWS_ZIP_NAME}
  WORKING_DIRECTORY ${stage}
  DEPENDS ${inputs} zarvoac_windows_x86_64 zarvoac_windows_i686
  COMMENT "Packing ${ZARVO_WINDOWS_ZIP_NAME}.zip"
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${ZARVO_WINDOWS_ZIP})
