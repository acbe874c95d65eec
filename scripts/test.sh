#!/usr/bin/env bash
# Runs every test: the native unit tests and the Wine end-to-end tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QS_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"
cd "$build/native"
# Two at a time: each Wine session's tests one after another (a resource
# lock per session), beside another session's or the native ones (unit
# tests, fuzzers, the sanitized build).
ctest --output-on-failure --timeout 600 -j"${QS_JOBS:-2}" "$@"
