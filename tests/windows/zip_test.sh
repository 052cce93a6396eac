#!/usr/bin/env bash
# Checks the Windows zip as a Windows user meets it: the files it holds;
# zarvoctl.exe under wine on its built-in virtual controller, on COM5 (a
# zarvo-sim pseudo-terminal) and on tcp:// (zarvo-sim as a device server);
# and a program built with the zip's CMake package for each architecture.
# Usage: zip_test.sh ZIP ZARVO_SIM WINE_PREFIX CMAKE_DIR
set -uo pipefail
zip=$(realpath -m "$1")
zarvo_sim=$(realpath -m "$2")
prefix=$(realpath -m "$3")
cmake_dir=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"

if ! find_wine; then
  echo "SKIPPED: wine is not installed (Debian packages wine, wine64, wine32:i386)"
  exit 77
fi
[ -f "$zip" ] || { echo "missing $zip"; exit 1; }

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
seconds_since() {  # seconds since a `date +%s%N` time, to a tenth
  local tenths=$((($(date +%s%N) - $1) / 100000000))
  echo "$((tenths / 10)).$((tenths % 10))"
}
check() {  # check WHAT COMMAND...: runs it, reports its time, counts a failure
  local what=$1 start output status
  shift
  start=$(date +%s%N)
  output=$("$@" 2>&1)
  status=$?
  printf '%-44s %5s s  %s\n' "$what" "$(seconds_since "$start")" \
    "$([ $status -eq 0 ] && echo ok || echo "FAILED ($status)")"
  if [ $status -ne 0 ]; then
    echo "$output" | tail -n 20
    failures=$((failures + 1))
  fi
}

(cd "$work" && cmake -E tar xf "$zip") || { echo "cannot unpack $zip"; exit 1; }
root=$(echo "$work"/ZarvoAC-*-windows)
expected="README.txt
include/zarvoac.h
lib/cmake/ZarvoAC/ZarvoACConfig.cmake
lib/cmake/ZarvoAC/ZarvoACConfigVersion.cmake
x64/bin/ZarvoAC.dll
x64/bin/zarvoctl.exe
x64/lib/ZarvoAC.lib
x86/bin/ZarvoAC.dll
x86/bin/zarvoctl.exe
x86/lib/ZarvoAC.lib"
check "zip holds exactly the expected files" \
  diff <(echo "$expected") <(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)

start=$(date +%s%N)
use_prefix "$prefix"
printf '%-44s %5s s\n' "wine prefix ready" "$(seconds_since "$start")"

demo_passes() {
  "$wine" "$1" --sim demo >"$work/demo.log" 2>&1 &&
    grep -Eq '^demo finished: [0-9]+ steps, 0 failed' "$work/demo.log"
}
arches="x64 x86"
builds="x86_64 i686"
if ! have_wine32; then
  echo "32-bit programs not run: no 32-bit wine (Debian package wine32:i386)"
  arches=x64
  builds=x86_64
fi
for arch in $arches; do
  check "$arch zarvoctl --sim demo" demo_passes "$root/$arch/bin/zarvoctl.exe"
done

if start_sim "$zarvo_sim" "$work/sim.log" --address 1; then
  link_com_port 5 "$sim_port"
  check "x64 zarvoctl --port COM5 probe 1" \
    "$wine" "$root/x64/bin/zarvoctl.exe" --port COM5 probe 1
  kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; sim_pid=""
else
  echo "zarvo-sim did not start"; failures=$((failures + 1))
fi

if start_sim "$zarvo_sim" "$work/tcp.log" --address 1 --tcp 127.0.0.1:0; then
  check "x64 zarvoctl --port tcp://... probe 1" \
    "$wine" "$root/x64/bin/zarvoctl.exe" --port "$sim_port" probe 1

  # A program of the user's own, found through the package.
  mkdir -p "$work/app"
  cat >"$work/app/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(app C)
find_package(ZarvoAC 0.1 REQUIRED)
add_executable(app main.c)
target_link_libraries(app PRIVATE ZarvoAC::zarvoac)
target_link_options(app PRIVATE -static-libgcc)
add_custom_command(TARGET app POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:ZarvoAC::zarvoac> $<TARGET_FILE_DIR:app>)
CMAKE
  cat >"$work/app/main.c" <<'C'
#include <stdio.h>
#include "zarvoac.h"
int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int32_t opened = Zarvo_OpenCom(argv[1], 9600);
  const int32_t found = opened == ZARVO_OK ? Zarvo_SearchAR(1) : opened;
  Zarvo_CloseCom();
  printf("%s: %d\n", argv[1], (int)found);
  return found == ZARVO_OK ? 0 : 1;
}
C
  build_app() {
    cmake -S "$work/app" -B "$work/app-$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$cmake_dir/mingw-w64-$1.cmake" -DCMAKE_PREFIX_PATH="$root" &&
      cmake --build "$work/app-$1"
  }
  for arch in $builds; do
    check "$arch program built with the CMake package" build_app "$arch"
    check "$arch program on tcp:// under wine" "$wine" "$work/app-$arch/app.exe" "$sim_port"
  done
else
  echo "zarvo-sim --tcp did not start"; failures=$((failures + 1))
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
