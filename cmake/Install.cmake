# cmake --install: the header, the shared library (with its SONAME), the two
# tools, a CMake package (find_package(ZarvoAC) -> ZarvoAC::zarvoac) and a
# pkg-config file. Each file belongs to one component, which cmake/Packaging.cmake
# turns into one Debian package:
#   runtime      the shared library and its SONAME link
#   development  the header, the .so link, the CMake package, the pkg-config file
#   tools        zarvoctl, zarvo-sim and the Wireshark dissector
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

target_include_directories(zarvoac PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zarvoac EXPORT ZarvoACTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
          NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/include/zarvoac.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development)
install(TARGETS zarvoctl zarvo-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

# The tools' manual pages, compressed as Debian wants them (-n: no name or
# time stamp inside, so the same page always packs the same).
set(ZARVO_MAN_PAGES "")
foreach(page zarvoctl zarvo-sim)
  set(source ${PROJECT_SOURCE_DIR}/tools/man/${page}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${source} > ${packed}
    DEPENDS ${source} VERBATIM)
  list(APPEND ZARVO_MAN_PAGES ${packed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${ZARVO_MAN_PAGES})
install(FILES ${ZARVO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)

# Wireshark loads Lua dissectors from its global plugin folder. The folder is
# watched so that adding the dissector configures the build again.
set(ZARVO_DISSECTOR ${PROJECT_SOURCE_DIR}/tools/wireshark/zarvoac.lua)
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/wireshark)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/wireshark)
else()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools)
endif()
if(EXISTS ${ZARVO_DISSECTOR})
  install(FILES ${ZARVO_DISSECTOR} DESTINATION ${CMAKE_INSTALL_LIBDIR}/wireshark/plugins
    COMPONENT tools)
endif()

set(ZARVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZarvoAC)
install(EXPORT ZarvoACTargets NAMESPACE ZarvoAC:: DESTINATION ${ZARVO_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZarvoACConfig.cmake.in
  ${CMAKE_BINARY_DIR}/ZarvoACConfig.cmake INSTALL_DESTINATION ${ZARVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZarvoACConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZarvoACConfig.cmake ${CMAKE_BINARY_DIR}/ZarvoACConfigVersion.cmake
  DESTINATION ${ZARVO_CMAKE_DIR} COMPONENT development)

# The pkg-config file finds the prefix from its own folder, so the same file
# is right for any prefix, a DESTDIR staging tree and the Debian package.
set(ZARVO_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZARVO_PKGCONFIG_TO_PREFIX /prefix/${ZARVO_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" ZARVO_PKGCONFIG_TO_PREFIX "${ZARVO_PKGCONFIG_TO_PREFIX}")
set(ZARVO_PC_PREFIX "\${pcfiledir}/${ZARVO_PKGCONFIG_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zarvoac.pc.in ${CMAKE_BINARY_DIR}/zarvoac.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zarvoac.pc DESTINATION ${ZARVO_PKGCONFIG_DIR}
  COMPONENT development)
