#!/usr/bin/env bash
# Builds everything: the native tree (logic, unit tests, tools, end-to-end
# tests), SETUP.EXE for 32-bit Windows, and, where this machine's Wine cannot
# run 32-bit programs, the same sources for 64-bit Windows for the Wine tests.
# Prints where SETUP.EXE is, its size and the DLLs it imports.
#
#   build.sh            everything the tests need
#   build.sh --sample   only what launching the sample needs: SETUP.EXE (and
#                       the build Wine runs here), the driver, setupkit
set -euo pipefail
sample_only=0
[ "${1:-}" = --sample ] && sample_only=1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QS_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"

arch=$("$root/tests/e2e/session.sh" arch)
jobs=${QS_JOBS:-2}

configure() {  # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

compile() {  # dir [cmake --build options]: builds quietly; on failure shows the compiler's output
  local log=$1/build.log
  if ! cmake --build "$@" -j"$jobs" >"$log" 2>&1; then
    grep -E "error|Error" -A3 "$log" | head -60 >&2
    echo "build: failed in $1 (full output: $log)" >&2
    exit 1
  fi
  grep -E "warning:|SETUP.EXE" "$log" || true
}

configure "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
test_dir=$build/win32
if [ "$sample_only" = 1 ]; then
  if [ "$arch" = win32 ]; then
    compile "$build/win32" --target SETUP qdrive
  else
    compile "$build/win32" --target SETUP
    configure "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
    compile "$build/win64" --target SETUP qdrive
    test_dir=$build/win64
  fi
  configure "$build/native" -DQS_WINDOWS_TEST_DIR="$test_dir" -DQS_SHIP_DIR="$build/win32" \
    -DQS_SANITIZE_DIR="$build/sanitize"
  compile "$build/native" --target setupkit
  echo "build: $build/win32/SETUP.EXE ($(stat -c %s "$build/win32/SETUP.EXE") bytes); the sample runs $test_dir"
  exit 0
fi
if [ "$arch" = win32 ]; then
  compile "$build/win32"
else
  # Nothing 32-bit runs here: only what ships (the program and the
  # packager's tool); the test programs come from the 64-bit build.
  compile "$build/win32" --target SETUP setupkit
  configure "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
  compile "$build/win64"
  test_dir=$build/win64
fi
configure "$build/native" -DQS_WINDOWS_TEST_DIR="$test_dir" -DQS_SHIP_DIR="$build/win32" \
  -DQS_SANITIZE_DIR="$build/sanitize"
compile "$build/native"
# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
# The sanitizers' build at -O1 (their own advice): half the compile time of
# -O3 on two cores, about the same time to run.
configure "$build/sanitize" -DQS_SANITIZE=ON -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_C_FLAGS=-O1 \
  -DCMAKE_CXX_FLAGS=-O1
compile "$build/sanitize" --target unit_tests

[ -f "$build/win32/SETUP.EXE" ] || { echo "build: SETUP.EXE was not built" >&2; exit 1; }
echo "build: $build/win32/SETUP.EXE ($(stat -c %s "$build/win32/SETUP.EXE") bytes); Wine tests use $test_dir"
