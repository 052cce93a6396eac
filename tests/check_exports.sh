#!/usr/bin/env bash
# Compares the dynamic symbol table of the shared library with the functions
# the public header declares: they must be the same set of Zarvo_ names.
set -euo pipefail
library=$1
header=$2
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort -u)
declared=$(grep -oE 'ZARVO_CALL Zarvo_[A-Za-z]+' "$header" | awk '{print $2}' | sort -u)
if [ "$exported" != "$declared" ]; then
  echo "exported and declared functions differ:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
echo "$(echo "$exported" | wc -l) Zarvo_ functions exported, nothing else"
