#!/usr/bin/env bash
# Runs the Windows probe program under 64-bit or 32-bit wine against the
# virtual controllers: zarvo-sim serves a pseudo-terminal, and wine's COM5 is
# linked to it. The wine prefix is made once and kept for later runs.
#
#   run_under_wine.sh 64|32 WINDOWS_BUILD_DIR ZARVO_SIM PREFIX_DIR
#
# A second zarvo-sim serves as a TCP device server on loopback, and the probe
# also drives its controllers over tcp://127.0.0.1:PORT (Winsock).
set -uo pipefail
bits=$1
windows_build=$2
zarvo_sim=$3
prefix=$(realpath -m "$4")

case "$bits" in
  64) loader=$(command -v wine64 || ls /usr/lib/wine/wine64 2>/dev/null)
      winearch=win64 package="wine64" ;;
  32) loader=$(ls /usr/lib/wine/wine 2>/dev/null)
      winearch=win32 package="wine32:i386 (after dpkg --add-architecture i386)" ;;
  *) echo "usage: $0 64|32 WINDOWS_BUILD_DIR ZARVO_SIM PREFIX_DIR"; exit 2 ;;
esac
if [ -z "$loader" ]; then
  echo "SKIPPED: $bits-bit wine is not installed (Debian package $package)"
  exit 77
fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
exe="$windows_build/tests/windows/zarvo_wine_probe.exe"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
cp "$windows_build/src/ZarvoAC.dll" "$(dirname "$exe")/"

export WINEPREFIX="$prefix" WINEARCH="$winearch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.made" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  "$loader" wineboot --init >/dev/null 2>&1 || { echo "wineboot failed for $prefix"; exit 1; }
  "$wineserver" -w
  touch "$prefix/.made"
fi

log=$(mktemp)
tcp_log=$(mktemp)
"$zarvo_sim" --address 1 --address 2 >"$log" 2>/dev/null &
sim=$!
"$zarvo_sim" --address 1 --address 2 --tcp 127.0.0.1:0 >"$tcp_log" 2>/dev/null &
tcp_sim=$!
cleanup() {
  kill "$sim" "$tcp_sim" 2>/dev/null
  wait "$sim" "$tcp_sim" 2>/dev/null
  "$wineserver" -k >/dev/null 2>&1
  rm -f "$log" "$tcp_log"
}
trap cleanup EXIT
# Each server prints where it serves once it is ready.
for _ in $(seq 50); do
  [ -s "$log" ] && [ -s "$tcp_log" ] && break
  sleep 0.1
done
device=$(head -n 1 "$log")
tcp_port=$(head -n 1 "$tcp_log" | sed -n 's#^tcp://127\.0\.0\.1:\([0-9]*\)$#\1#p')
[ -n "$device" ] || { echo "zarvo-sim did not start"; exit 1; }
[ -n "$tcp_port" ] || { echo "zarvo-sim --tcp did not start"; exit 1; }
ln -sfn "$device" "$prefix/dosdevices/com5"
"$loader" "$exe" COM5 "$tcp_port" 2>/dev/null
