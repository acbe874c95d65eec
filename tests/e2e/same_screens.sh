#!/usr/bin/env bash
# Compares the window captures (capture-*.png, made by the tests through
# qdrive's capture) of the Japanese session with those of the other systems:
# each must be there and equal byte for byte (the PNGs are stored, not
# compressed, so equal pixels give equal files).
# Usage: same_screens.sh REFERENCE_SCREENS OTHER_SCREENS...
set -u
reference=$1
shift
failures=0
captures=$(cd "$reference" 2>/dev/null && ls Shell.ReadmeThenReadyToInstall.*.png 2>/dev/null |
           grep -v '\.readme\.png$\|\.ready-to-install\.png$\|\.folder-browser\.png$')
if [ -z "$captures" ]; then
  echo "FAIL: no captures in $reference (run e2e.Shell.ReadmeThenReadyToInstall first)"
  exit 1
fi
for other in "$@"; do
  for capture in $captures; do
    if ! cmp -s "$reference/$capture" "$other/$capture"; then
      echo "FAIL: $other/$capture differs from $reference/$capture (or is missing)"
      failures=$((failures + 1))
    else
      echo "same: $other/$capture"
    fi
  done
done
[ "$failures" -eq 0 ]
