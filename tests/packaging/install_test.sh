#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds a small consumer against
# it with find_package and with pkg-config, and runs both against the
# installed zarvo-sim.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
prefix="$scratch/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libzarvoac.so' | head -n 1)")
test -f "$prefix/include/zarvoac.h"
test -x "$prefix/bin/zarvoctl"
test -x "$prefix/bin/zarvo-sim"
readelf -d "$libdir/libzarvoac.so" | grep 'SONAME.*libzarvoac.so.0' >/dev/null

cmake -S "$here" -B "$scratch/with-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/with-cmake" >/dev/null
PKG_CONFIG_PATH="$libdir/pkgconfig" cc "$here/consumer.c" -o "$scratch/with-pkg-config" \
  $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs zarvoac)

# Served under a stable path, as a host application would configure it.
device="$scratch/ttyZARVO"
"$prefix/bin/zarvo-sim" --address 1 --link "$device" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$device" ] && break; sleep 0.1; done
LD_LIBRARY_PATH="$libdir" "$scratch/with-cmake/consumer" "$device"
LD_LIBRARY_PATH="$libdir" "$scratch/with-pkg-config" "$device"
echo "installed package works with find_package and pkg-config"
