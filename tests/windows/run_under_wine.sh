#!/usr/bin/env bash
# Runs the Windows probe program under wine against the virtual controller:
# zarvo-sim serves a pseudo-terminal, and wine's COM5 is linked to it.
set -uo pipefail
windows_build=$1
zarvo_sim=$2
prefix=$3

wine=$(command -v wine64 || command -v wine || ls /usr/lib/wine/wine64 2>/dev/null || true)
if [ -z "$wine" ]; then
  echo "SKIPPED: wine is not installed (Debian package wine64)"
  exit 77
fi
exe="$windows_build/tests/windows/zarvo_wine_probe.exe"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
cp "$windows_build/src/ZarvoAC.dll" "$(dirname "$exe")/"

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
if [ ! -d "$prefix/dosdevices" ]; then
  "$wine" wineboot --init >/dev/null 2>&1
fi

log=$(mktemp)
"$zarvo_sim" --address 1 >"$log" 2>/dev/null &
sim=$!
cleanup() {
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  rm -f "$log"
}
trap cleanup EXIT
for _ in $(seq 50); do
  [ -s "$log" ] && break
  sleep 0.1
done
device=$(head -n 1 "$log")
[ -n "$device" ] || { echo "zarvo-sim did not start"; exit 1; }
ln -sfn "$device" "$prefix/dosdevices/com5"
"$wine" "$exe" COM5 2>/dev/null
