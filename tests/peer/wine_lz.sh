#!/usr/bin/env bash
# Files that setupkit compressed expand to their original bytes and names
# through the Windows LZ API (GetExpandedNameA, LZOpenFileA, LZCopy) under
# Wine, in the session of the end-to-end tests; and the Windows build of
# setupkit, run under Wine, writes the same bytes as the native one.
#
#   wine_lz.sh SESSION_SH STATE_DIR SZDD_PEER SETUPKIT LZPEER_EXE WORK_DIR
set -euo pipefail
abs() { realpath -m "$1"; }
session=$(abs "$1") state=$(abs "$2") peer=$(abs "$3") setupkit=$(abs "$4") lzpeer=$(abs "$5")
work=$(abs "$6")

rm -rf "$work"
mkdir -p "$work/src" "$work/packed" "$work/out"
"$peer" samples "$work/src" >/dev/null
"$setupkit" compress "$work"/src/* -d "$work/packed" >/dev/null

cd "$work/packed"
"$session" run "$state" wine "$lzpeer" expand '..\out' * | tr -d '\r' >"$work/lzpeer.log"

passed=0 failed=0
for original in "$work"/src/*; do
  name=$(basename "$original")
  # Windows drops a trailing dot: noext._ expands to "noext.", made as noext.
  if line=$(grep -F -e "-> $name " -e "-> $name. " "$work/lzpeer.log"); then
    if cmp -s "$original" "$work/out/$name"; then
      passed=$((passed + 1))
    else
      echo "FAILED: $name: LZCopy output differs"; failed=$((failed + 1))
    fi
  else
    echo "FAILED: $name: no file expanded under its name"; failed=$((failed + 1))
  fi
done

setupkit_exe=$(dirname "$lzpeer")/setupkit.exe
mkdir -p "$work/packed-win"
(cd "$work/src" && "$session" run "$state" wine "$setupkit_exe" compress * -d '..\packed-win' >/dev/null)
for packed in "$work"/packed/*; do
  if cmp -s "$packed" "$work/packed-win/$(basename "$packed")"; then
    passed=$((passed + 1))
  else
    echo "FAILED: setupkit.exe under Wine: $(basename "$packed") differs"; failed=$((failed + 1))
  fi
done

cat "$work/lzpeer.log"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
