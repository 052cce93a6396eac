#!/usr/bin/env bash
# The DLL's export table must hold exactly the functions the header declares,
# under their plain names (no @N decoration, also in the 32-bit build).
set -euo pipefail
dll=$1
header=$2
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
exported=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[/{print $NF} on && !/^\t\[/{on=0}' | sort -u)
declared=$(grep -oE 'ZARVO_CALL Zarvo_[A-Za-z]+' "$header" | awk '{print $2}' | sort -u)
if [ "$exported" != "$declared" ]; then
  echo "exports of $dll differ from the header:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
echo "$(basename "$dll"): $(echo "$exported" | wc -l) Zarvo_ functions exported, nothing else"
