# Packs the ZarvoAC NuGet package into PACKAGE_DIR under a version no earlier build shadows:
# the project's version for a release (HEAD tagged v<version>, no tracked file changed), else
# <version>-dev.<UTC seconds of this pack>. A NuGet cache keeps a package by name and version
# for good, so a package rebuilt under the same version would never reach an application that
# had restored the earlier one; the seconds sort every later pack above every earlier one, on
# any branch, which a count of commits since the tag would not. Earlier packs are removed from
# PACKAGE_DIR, and PACKAGE_DIR/version.txt names the version packed.
# Usage: cmake -DDOTNET=... -DPROJECT=...csproj -DVERSION=x.y.z -DSOURCE_DIR=... -DARTIFACTS=...
#              -DPACKAGE_DIR=... -DBUILD_DIR=... -DNATIVE_LINUX_X64=... -P pack.cmake
cmake_minimum_required(VERSION 3.20)

function(zarvo_is_release out)
  set(${out} FALSE PARENT_SCOPE)
  find_program(git git)
  if(NOT git)
    return()
  endif()
  execute_process(COMMAND ${git} -C ${SOURCE_DIR} describe --exact-match --tags --match v${VERSION} HEAD
                  RESULT_VARIABLE tagged OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${git} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                  RESULT_VARIABLE status_failed OUTPUT_VARIABLE changes ERROR_QUIET)
  if(tagged EQUAL 0 AND status_failed EQUAL 0 AND changes STREQUAL "")
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

zarvo_is_release(release)
if(release)
  set(package_version ${VERSION})
else()
  string(TIMESTAMP seconds "%s" UTC)
  set(package_version ${VERSION}-dev.${seconds})
endif()

file(GLOB earlier ${PACKAGE_DIR}/ZarvoAC.*.nupkg ${PACKAGE_DIR}/ZarvoAC.*.snupkg)
if(earlier)
  file(REMOVE ${earlier})
endif()
execute_process(
  COMMAND ${DOTNET} pack ${PROJECT} -c Release --nologo -v quiet --artifacts-path ${ARTIFACTS}
          -o ${PACKAGE_DIR} -p:ZarvoVersion=${package_version} -p:ZarvoBuildDir=${BUILD_DIR}
          -p:ZarvoNativeLinuxX64=${NATIVE_LINUX_X64}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "dotnet pack failed")
endif()
file(WRITE ${PACKAGE_DIR}/version.txt "${package_version}\n")
message(STATUS "ZarvoAC.${package_version}.nupkg")
