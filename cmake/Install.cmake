# cmake --install: the header, the shared library (with its SONAME), the two
# tools, a CMake package (find_package(ZarvoAC) -> ZarvoAC::zarvoac) and a
# pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

target_include_directories(zarvoac PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS zarvoac EXPORT ZarvoACTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/zarvoac.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS zarvoctl zarvo-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/tools/wireshark/zarvoac.lua
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zarvoac/wireshark)

set(ZARVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZarvoAC)
install(EXPORT ZarvoACTargets NAMESPACE ZarvoAC:: DESTINATION ${ZARVO_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZarvoACConfig.cmake.in
  ${CMAKE_BINARY_DIR}/ZarvoACConfig.cmake INSTALL_DESTINATION ${ZARVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZarvoACConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZarvoACConfig.cmake ${CMAKE_BINARY_DIR}/ZarvoACConfigVersion.cmake
  DESTINATION ${ZARVO_CMAKE_DIR})

# The prefix is only known at install time, so the file is written then.
install(CODE "
  set(CMAKE_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/zarvoac.pc.in\"
                 \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/zarvoac.pc\" @ONLY)
")
