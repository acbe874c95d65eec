#!/usr/bin/env bash
# The packager's tool from the command line: outputs, refusals and messages.
# Usage: setupkit_test.sh SETUPKIT WORK_DIR
set -u
kit=$1
work=$2
rm -rf "$work" && mkdir -p "$work/out" && cd "$work" || exit 1
failures=0
check() {  # description, expected exit code, command...
  local what=$1 want=$2; shift 2
  "$@" >out.txt 2>&1
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: exit $got, expected $want; it printed:"; cat out.txt
    failures=$((failures + 1))
  fi
}
expect_output() {  # description, text the last command must have printed
  grep -qF -- "$2" out.txt || { echo "FAIL: $1: no '$2' in:"; cat out.txt; failures=$((failures + 1)); }
}

printf 'Hello, packager.\r\nHello, packager.\r\nHello again.\r\n' >Manual.txt
check "compress" 0 "$kit" compress Manual.txt
[ -f Manual.tx_ ] || { echo "FAIL: compress wrote no Manual.tx_"; failures=$((failures + 1)); }
expect_output "compress reports sizes" "%"
check "compress refuses to overwrite" 1 "$kit" compress Manual.txt
expect_output "the refusal names the way out" "--force"
check "compress --force" 0 "$kit" compress --force Manual.txt
check "compress into a folder" 0 "$kit" compress Manual.txt -d out
check "info" 0 "$kit" info Manual.tx_
expect_output "info names the expanded file" "Manual.txt"
check "expand into a folder" 0 "$kit" expand Manual.tx_ -d out
cmp -s Manual.txt out/Manual.txt || { echo "FAIL: expanded bytes differ"; failures=$((failures + 1)); }
check "a name already ending in _" 1 "$kit" compress Manual.tx_
check "a missing file" 1 "$kit" compress Missing.txt
check "expand of a file that is not compressed" 3 "$kit" expand Manual.txt
expect_output "says it is not compressed" "not"
printf 'SZDD\x88\xf0\x27\x33\x42\x00\x05\x00\x00\x00abc' >Bad.tx_
check "an unknown compression mode" 1 "$kit" expand Bad.tx_ -d out
check "help" 0 "$kit" compress --help
check "no command" 2 "$kit"

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "setupkit: all checks passed"
