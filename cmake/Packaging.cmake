# Debian packages through CPack, one per install component (cmake/Install.cmake):
#   libzarvoac0      the shared library (SONAME libzarvoac.so.0)
#   libzarvoac-dev   header, .so link, CMake package, pkg-config file
#   zarvoac-tools    zarvoctl, zarvo-sim, the Wireshark dissector
#   zarvod           the site daemon, its systemd unit and example site file
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

# zarvod, the site daemon, where it is built (Linux, with SQLite and toml++;
# see daemon/CMakeLists.txt). Its files come from daemon/packaging/. It links
# the shared library of libzarvoac0, which dpkg-shlibdeps cannot resolve
# inside one build, so its dependencies are listed here; the package test
# checks them against the libraries the binary needs.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND EXISTS ${PROJECT_SOURCE_DIR}/daemon/packaging)
  find_package(SQLite3 QUIET)
  find_package(tomlplusplus QUIET)
  if(SQLite3_FOUND AND tomlplusplus_FOUND)
    list(APPEND CPACK_COMPONENTS_ALL daemon)
    set(CPACK_DEBIAN_DAEMON_PACKAGE_NAME zarvod)
    set(CPACK_DEBIAN_DAEMON_PACKAGE_SECTION admin)
    set(CPACK_DEBIAN_DAEMON_DESCRIPTION "Site daemon for door access controllers on serial lines
zarvod reads every controller's event log into an SQLite journal, each
event exactly once, keeps the controllers' card lists in step with a CSV
file, and sets their clocks at start, daily and after daylight-saving
changes. On an MQTT broker it publishes events and controller status and
takes commands. It runs as the zarvod system user under systemd.")
    set(CPACK_DEBIAN_DAEMON_PACKAGE_SHLIBDEPS OFF)
    # The MQTT side is built where its libraries are (daemon/mqtt/CMakeLists.txt).
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_check_modules(ZARVOD_PACKAGE_MOSQUITTO QUIET libmosquitto)
    endif()
    find_package(OpenSSL QUIET COMPONENTS Crypto)
    find_package(nlohmann_json 3 QUIET)
    set(ZARVOD_LIBRARY_DEPENDS "")
    if(ZARVOD_PACKAGE_MOSQUITTO_FOUND AND OpenSSL_FOUND AND nlohmann_json_FOUND)
      set(ZARVOD_LIBRARY_DEPENDS ", libmosquitto1, libssl3")
    endif()
    # The systemd notices and watchdog (daemon/CMakeLists.txt).
    if(PkgConfig_FOUND)
      pkg_check_modules(ZARVOD_PACKAGE_SYSTEMD QUIET libsystemd)
    endif()
    if(ZARVOD_PACKAGE_SYSTEMD_FOUND)
      string(APPEND ZARVOD_LIBRARY_DEPENDS ", libsystemd0")
    endif()
    set(CPACK_DEBIAN_DAEMON_PACKAGE_DEPENDS
        "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${PROJECT_VERSION}), libc6, libgcc-s1, libstdc++6, libsqlite3-0, libtomlplusplus3${ZARVOD_LIBRARY_DEPENDS}, adduser, tzdata, init-system-helpers (>= 1.54~)")
    set(ZARVOD_DEBIAN ${PROJECT_SOURCE_DIR}/daemon/packaging/debian)
    set(CPACK_DEBIAN_DAEMON_PACKAGE_CONTROL_EXTRA
        ${ZARVOD_DEBIAN}/conffiles ${ZARVOD_DEBIAN}/postinst ${ZARVOD_DEBIAN}/prerm
        ${ZARVOD_DEBIAN}/postrm)
    set(CPACK_DEBIAN_DAEMON_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
  endif()
endif()

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
