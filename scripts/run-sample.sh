#!/usr/bin/env bash
# The main job: builds SETUP.EXE and launches it beside the sample product
# under Wine. With DISPLAY set it opens on that display and waits until the
# program ends; otherwise it runs on a virtual display (Xvfb), leaves a
# screenshot in the build folder, and ends the program again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QS_BUILD_DIR:-$root/build}
session=$root/tests/e2e/session.sh

# Only what this needs; the test command builds the rest.
"$root/scripts/build.sh" --sample

arch=$("$session" arch)
exe_dir=$build/win32
[ "$arch" = win64 ] && exe_dir=$build/win64

# The product folder, packed from examples/sample: SETUP.EXE, its definition
# file and the product's files, texts in Shift-JIS with CR LF line ends, the
# manual compressed.
sample=$build/sample
"$build/native/setupkit" pack "$root/examples/sample" -o "$sample" --force \
  --setup-exe "$exe_dir/SETUP.EXE"

state=$build/sample-state
drive() { "$session" run "$state" wine "$exe_dir/qdrive.exe" "$@"; }
if [ -n "${DISPLAY:-}" ]; then
  "$session" start "$state" "$DISPLAY"
  echo "run-sample: SETUP.EXE is open on $DISPLAY; close it to finish."
  "$session" run "$state" wine "$sample/SETUP.EXE" || true
  "$session" stop "$state"
  exit 0
fi

"$session" start "$state"
trap '"$session" stop "$state"' EXIT
"$session" run "$state" wine "$sample/SETUP.EXE" &
setup_pid=$!
drive wait class:TfrmMain -t 30000
sleep 1
shot=$build/sample-screenshot.png
drive screenshot "Z:${shot//\//\\}"
echo "run-sample: the sample product's installer is up; screenshot: $shot"
# Nobody can use a virtual display: end the program through its close question.
drive close class:TfrmMain
drive answer "終了確認" 6 >/dev/null
wait "$setup_pid"
echo "run-sample: SETUP.EXE ended with exit code $?"
