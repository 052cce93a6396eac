# Debian packages through CPack, one per install component (cmake/Install.cmake):
#   libzarvoac0      the shared library (SONAME libzarvoac.so.0)
#   libzarvoac-dev   header, .so link, CMake package, pkg-config file
#   zarvoac-tools    zarvoctl, zarvo-sim, the Wireshark dissector
# Configure with -DCMAKE_INSTALL_PREFIX=/usr (the deb preset) for Debian's
# multiarch library folder, then: cpack -G DEB
set(CPACK_PACKAGE_NAME zarvoac)
set(CPACK_PACKAGE_VENDOR "ZarvoAC")
set(CPACK_PACKAGE_CONTACT "ZarvoAC maintainers <maintainers@zarvoac.invalid>"
    CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development tools)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzarvoac${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Each description's first line is the package's summary.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Host-side library for door access controllers on an RS-485 line
A plain C interface for probing controllers, setting their clocks, reading
event logs, enrolling cards, writing time tables and opening doors.")
# A shlibs file lets packages built against the library depend on it, and
# the ldconfig trigger refreshes the loader's cache.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzarvoac-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "Development files of the door access controller library
The C header, the CMake package (find_package(ZarvoAC)) and the
pkg-config file (zarvoac).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zarvoac-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "Command-line tool and virtual controller for door access controllers
zarvoctl runs every controller operation from the shell, against a serial
line, a device server or its built-in virtual controller; zarvo-sim serves
virtual controllers on a pseudo-terminal for applications under development.")

# The C and C++ runtime dependencies come from the binaries themselves where
# Debian's dpkg-shlibdeps is available.
find_program(ZARVO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZARVO_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

# The loader's cache is refreshed by dpkg's ldconfig trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian ships binaries without their symbol tables.
set(CPACK_STRIP_FILES ON)

# Every package carries the copyright file and the changelog (compressed,
# with no time stamp inside) in its documentation folder.
set(ZARVO_DEB_MAINTAINER ${CPACK_PACKAGE_CONTACT})
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog
  @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
foreach(component runtime development tools)
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component})
endforeach()

include(CPack)
