#!/usr/bin/env bash
# The reference's examples: each one packs, checks and plans (those named
# mistakes* are refused by pack), and each snippet in the reference is the
# example file itself; a "check" block's lines are what pack printed.
# Usage: docs_test.sh SETUPKIT DOCS_DIR WORK_DIR
set -u
kit=$1
docs=$2
work=$3
rm -rf "$work" && mkdir -p "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for example in "$docs"/examples/*/; do
  name=$(basename "$example")
  "$kit" pack "$example" -o "$work/$name" --no-setup-exe >"$work/$name.pack" 2>&1
  code=$?
  case $name in
    mistakes*) [ "$code" = 3 ] || fail "$name: pack exit $code, expected a refusal"; continue ;;
  esac
  if [ "$code" != 0 ]; then fail "$name: pack exit $code"; cat "$work/$name.pack"; continue; fi
  "$kit" check "$work/$name" >"$work/$name.check" 2>&1 || { fail "$name: check"; cat "$work/$name.check"; }
  "$kit" plan "$work/$name" >"$work/$name.plan" 2>&1 || { fail "$name: plan"; cat "$work/$name.plan"; }
done

verify() {  # doc, mode, target: the block just read from doc
  case $2 in
    file)
      cmp -s "$work/block" "$docs/$3" || { fail "$1: the snippet of $3 differs from the file"; diff "$work/block" "$docs/$3"; } ;;
    check)
      while IFS= read -r expected; do
        grep -qF -- "$expected" "$work/$(basename "$3").pack" || fail "$1: pack of $3 did not print: $expected"
      done <"$work/block" ;;
  esac
}

# The references hold the tested snippets; ARCHITECTURE.md holds none.
for doc in "$docs"/reference-*.md; do
  target="" mode="" blocks=0
  while IFS= read -r line; do
    if [ -z "$target" ]; then
      case $line in
        '```ini '*) target=${line#'```ini '}; mode=file; : >"$work/block" ;;
        '```text check '*) target=${line#'```text check '}; mode=check; : >"$work/block" ;;
      esac
    elif [ "$line" = '```' ]; then
      verify "$(basename "$doc")" "$mode" "$target"
      blocks=$((blocks + 1))
      target=""
    else
      printf '%s\n' "$line" >>"$work/block"
    fi
  done <"$doc"
  [ "$blocks" -gt 0 ] || fail "$(basename "$doc"): no example snippets"
done

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "docs: all examples and snippets checked"
