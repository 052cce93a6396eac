#!/usr/bin/env bash
# Builds the Debian packages of a build tree with cpack, checks each one's
# files and control fields, unpacks them together into a scratch root and
# runs what they hold from there: the tools' demo against the built-in
# virtual controller, and a program built with the -dev package's pkg-config
# file against the packaged library and zarvo-sim. Where lintian is
# installed, none of the packages may have an error.
# Usage: deb_test.sh BUILD_DIR  (exit 77 where dpkg-deb is missing)
set -euo pipefail
# (grep reads all its input here: with pipefail, grep -q quitting early would
# fail the pipeline when the writer gets SIGPIPE.)
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
command -v dpkg-deb >/dev/null || { echo "dpkg-deb not found: skipped"; exit 77; }

scratch=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "deb_test: $*" >&2; exit 1; }
# Checks read all their input (grep without -q): under pipefail, a writer cut
# off by an early exit would fail the check although it matched.

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
libdir=usr/$(cache_value CMAKE_INSTALL_LIBDIR)
config=$(cache_value CMAKE_BUILD_TYPE | tr '[:upper:]' '[:lower:]')
arch=$(dpkg --print-architecture)

(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack -G DEB failed"; }
deb() { echo "$scratch/out/$1_${version}_${arch}.deb"; }

# Files and links of a package, one a line, sorted; folders left out.
contents() {
  dpkg-deb -c "$(deb "$1")" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); sub(/^\.\//, ""); print }' | sort
}
expect_contents() {
  local package=$1
  shift
  local expected actual
  expected=$(printf '%s\n' "$@" | sort)
  actual=$(contents "$package")
  [ "$actual" = "$expected" ] ||
    fail "$package holds other files than expected:$(diff <(echo "$expected") <(echo "$actual") | sed 's/^/\n  /')"
}
expect_field() {  # PACKAGE FIELD EXTENDED-REGEX
  local value
  value=$(dpkg-deb -f "$(deb "$1")" "$2")
  echo "$value" | grep -Eq "$3" || fail "$1: $2 is '$value', expected to match '$3'"
}

expect_contents libzarvoac0 \
  usr/share/doc/libzarvoac0/copyright usr/share/doc/libzarvoac0/changelog.gz \
  "$libdir/libzarvoac.so.$version" \
  "$libdir/libzarvoac.so.0 -> libzarvoac.so.$version"
expect_contents libzarvoac-dev \
  usr/share/doc/libzarvoac-dev/copyright usr/share/doc/libzarvoac-dev/changelog.gz \
  usr/include/zarvoac.h \
  "$libdir/libzarvoac.so -> libzarvoac.so.0" \
  "$libdir/pkgconfig/zarvoac.pc" \
  "$libdir/cmake/ZarvoAC/ZarvoACConfig.cmake" \
  "$libdir/cmake/ZarvoAC/ZarvoACConfigVersion.cmake" \
  "$libdir/cmake/ZarvoAC/ZarvoACTargets.cmake" \
  "$libdir/cmake/ZarvoAC/ZarvoACTargets-${config:-noconfig}.cmake"
tools=(usr/bin/zarvoctl usr/bin/zarvo-sim usr/share/man/man1/zarvoctl.1.gz
       usr/share/man/man1/zarvo-sim.1.gz usr/share/doc/zarvoac-tools/copyright
       usr/share/doc/zarvoac-tools/changelog.gz)
if [ -e "$source_dir/tools/wireshark/zarvoac.lua" ]; then
  tools+=("$libdir/wireshark/plugins/zarvoac.lua")
fi
expect_contents zarvoac-tools "${tools[@]}"

expect_field libzarvoac0 Section '^libs$'
expect_field libzarvoac0 Depends '(^|, )libc6( |,|$)'
expect_field libzarvoac-dev Depends "(^|, )libzarvoac0 \\(= ${version//./\\.}\\)(,|$)"
expect_field zarvoac-tools Depends '(^|, )libc6( |,|$)'
expect_field zarvoac-tools Depends '(^|, )libstdc\+\+6( |,|$)'
dpkg-deb -I "$(deb libzarvoac0)" shlibs | grep "^libzarvoac 0 libzarvoac0 " >/dev/null ||
  fail "libzarvoac0 has no shlibs entry for libzarvoac.so.0"

if command -v lintian >/dev/null; then
  for package in libzarvoac0 libzarvoac-dev zarvoac-tools; do
    lintian --fail-on error --tag-display-limit 0 "$(deb "$package")" >"$scratch/lintian.log" 2>&1 ||
      { cat "$scratch/lintian.log"; fail "lintian found errors in $package"; }
  done
else
  echo "lintian not found: the packages' policy check is skipped"
fi

root="$scratch/root"
for package in libzarvoac0 libzarvoac-dev zarvoac-tools; do
  dpkg-deb -x "$(deb "$package")" "$root"
done
readelf -d "$root/$libdir/libzarvoac.so.$version" | grep 'SONAME.*\[libzarvoac\.so\.0\]' >/dev/null ||
  fail "the packaged library's SONAME is not libzarvoac.so.0"

export LD_LIBRARY_PATH="$root/$libdir"
"$root/usr/bin/zarvoctl" --sim demo >"$scratch/demo.log" 2>&1 ||
  { cat "$scratch/demo.log"; fail "zarvoctl --sim demo failed from the unpacked packages"; }

export PKG_CONFIG_PATH="$root/$libdir/pkgconfig"
# shellcheck disable=SC2046
cc "$here/consumer.c" -o "$scratch/consumer" $(pkg-config --cflags --libs zarvoac)
device="$scratch/ttyZARVO"
"$root/usr/bin/zarvo-sim" --address 1 --link "$device" >/dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$device" ] && break; sleep 0.1; done
"$scratch/consumer" "$device" >/dev/null || fail "a program built against libzarvoac-dev cannot probe zarvo-sim"
ldd "$scratch/consumer" | grep "$root/$libdir/libzarvoac.so.0" >/dev/null ||
  fail "the consumer did not load the packaged library"
echo "Debian packages libzarvoac0, libzarvoac-dev, zarvoac-tools $version: contents, fields and programs work"
