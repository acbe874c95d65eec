#!/usr/bin/env bash
# Runs every test: the native unit tests and the Wine end-to-end tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QS_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"
cd "$build/native"
ctest --output-on-failure --timeout 600 "$@"
