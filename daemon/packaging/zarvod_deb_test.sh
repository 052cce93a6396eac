#!/usr/bin/env bash
# Builds the zarvod Debian package of a build tree and checks it: its files,
# control fields and maintainer scripts, that every library the daemon needs
# comes from a package it depends on, that the example site file passes
# `zarvod check-config` from the unpacked package, that the postinst warns
# of nothing and enables the service only where an admin had, and that
# lintian reports no error.
# Usage: zarvod_deb_test.sh BUILD_DIR  (exit 77 where dpkg-deb is missing)
set -euo pipefail
build=$(cd "$1" && pwd)
command -v dpkg-deb >/dev/null || { echo "dpkg-deb not found: skipped"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "zarvod_deb_test: $*" >&2; exit 1; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" \
  -D CPACK_COMPONENTS_ALL="runtime;daemon" >cpack.log 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack -G DEB failed"; }
deb="$scratch/out/zarvod_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no zarvod package was made: $(ls "$scratch/out")"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort)
for expected in usr/bin/zarvod lib/systemd/system/zarvod.service etc/zarvod/zarvod.toml \
  usr/share/doc/zarvod/copyright usr/share/doc/zarvod/changelog.gz \
  usr/share/man/man1/zarvod.1.gz; do
  grep -qx "$expected" <<<"$files" || fail "the package lacks $expected"
done
stray=$(echo "$files" | grep -Ev '^(usr/|etc/zarvod/|lib/systemd/system/)' || true)
[ -z "$stray" ] || fail "files outside /usr, /etc/zarvod and the unit folder: $stray"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
for needed in "libzarvoac0 (= $version)" adduser tzdata; do
  [[ ", $depends," == *", $needed,"* ]] || fail "Depends lacks '$needed': $depends"
done

control="$scratch/control"
dpkg-deb -e "$deb" "$control"
grep -qx /etc/zarvod/zarvod.toml "$control/conffiles" || fail "the site file is no conffile"
for script in postinst prerm postrm; do
  [ -x "$control/$script" ] || fail "$script missing or not executable"
  sh -n "$control/$script" || fail "$script has a syntax error"
done
grep -q 'adduser zarvod dialout' "$control/postinst" || fail "postinst does not put zarvod in dialout"
grep -q 'install -d -o zarvod -g zarvod -m 0750 /var/lib/zarvod' "$control/postinst" ||
  fail "postinst does not make the journal's folder"

# The postinst against stubs of the system's tools: deb-systemd-helper as it
# answers (was-enabled says yes for a unit it has never seen), adduser with
# the warnings it prints. Neither a first install nor an upgrade warns; the
# service is enabled on an upgrade only where it was enabled before.
stubs="$scratch/stubs" state="$scratch/state"
mkdir "$stubs" "$state"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$stubs/$1" && chmod +x "$stubs/$1"; }
stub getent '[ -f "$STATE/user" ]'
stub id 'cat "$STATE/groups"'
stub adduser 'if [ $# -eq 2 ]; then
  grep -qx "$2" "$STATE/groups" && echo "The user $1 is already a member of $2." >&2
  echo "$2" >>"$STATE/groups"; exit 0
fi
case " $* " in *" --no-create-home "*) [ -d /var/lib/zarvod ] ||
  echo "Warning: The home dir /var/lib/zarvod you specified cannot be accessed" >&2 ;; esac
touch "$STATE/user"; echo zarvod >"$STATE/groups"'
stub deb-systemd-helper 'echo "deb-systemd-helper $*" >>"$STATE/calls"
[ "$1" = --quiet ] && shift
case $1 in
  debian-installed) [ -f "$STATE/unit" ] ;;
  was-enabled) [ ! -f "$STATE/unit" ] || [ -f "$STATE/enabled" ] ;;
  update-state) touch "$STATE/unit" ;;
esac'
for tool in install chgrp chmod deb-systemd-invoke systemctl; do stub "$tool" 'true'; done
# Rows: what the admin did before, postinst's arguments, whether it enables.
while IFS='|' read -r before arguments enables; do
  [ "$before" = enabled ] && touch "$state/enabled"
  rm -f "$state/calls"
  # shellcheck disable=SC2086  # the arguments are words
  STATE=$state PATH="$stubs:$PATH" sh "$control/postinst" $arguments 2>"$scratch/postinst.err" ||
    fail "postinst $arguments failed: $(cat "$scratch/postinst.err")"
  [ ! -s "$scratch/postinst.err" ] ||
    fail "postinst $arguments ($before) warns: $(cat "$scratch/postinst.err")"
  enabled=no
  grep -qx 'deb-systemd-helper enable zarvod.service' "$state/calls" && enabled=yes
  [ "$enabled" = "$enables" ] || fail "postinst $arguments ($before) enables the service: $enabled"
done <<'ROWS'
nothing|configure|no
nothing|configure 0.0.9|no
enabled|configure 0.0.9|yes
ROWS

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$scratch/out/libzarvoac0_${version}_${arch}.deb" "$root"
unit="$root/lib/systemd/system/zarvod.service"
grep -qx 'User=zarvod' "$unit" || fail "the unit does not run as zarvod"
grep -qx 'ExecStart=/usr/bin/zarvod run --config /etc/zarvod/zarvod.toml' "$unit" ||
  fail "the unit does not start the packaged daemon on the packaged site file"
grep -qx 'Type=notify' "$unit" && grep -q '^WatchdogSec=' "$unit" ||
  fail "the unit does not let systemd watch the daemon"

# Every library the daemon needs comes from a package in Depends.
libdir=$(dirname "$(find "$root" -name 'libzarvoac.so.0' | head -n 1)")
export LD_LIBRARY_PATH="$libdir"
for soname in $(readelf -d "$root/usr/bin/zarvod" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  [ "$soname" = libzarvoac.so.0 ] && continue
  # The dynamic loader (named when thread-local storage is used) is libc6's.
  [[ "$soname" == ld-linux* ]] && soname=libc.so.6
  path=$(ldd "$root/usr/bin/zarvod" | awk -v so="$soname" '$1 == so { print $3 }')
  package=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1) ||
    package=$(dpkg -S "$path" | head -n 1 | cut -d: -f1)
  [[ ", $depends," == *", $package"[,\ ]* ]] || fail "$soname comes from $package, not in Depends"
done

"$root/usr/bin/zarvod" check-config "$root/etc/zarvod/zarvod.toml" >"$scratch/check.log" 2>&1 ||
  { cat "$scratch/check.log"; fail "the example site file does not pass check-config"; }

if command -v lintian >/dev/null; then
  lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log"; fail "lintian reports errors"; }
  grep '^W:' "$scratch/lintian.log" || true
fi
echo "zarvod $version: files, fields, maintainer scripts, libraries, example site file work"
