#!/usr/bin/env bash
# The references and their examples. Each example packs, checks clean and
# plans (those named mistakes* are refused by pack). Every code block of a
# reference is checked, by the kind its opening line names; a block of any
# other kind, or an indented one, fails the test:
#   ```ini FILE             the block is the example file FILE
#   ```text check EXAMPLE   the block is what pack printed of EXAMPLE's
#                           findings, line for line
#   ```text plan EXAMPLE OPTIONS...
#                           the block's lines come out of setupkit plan of the
#                           packed EXAMPLE in that order; "..." stands for
#                           any lines
#   ```text tree EXAMPLE    each path of the block (first word of a line,
#                           below the first) is a file or folder of EXAMPLE
#   ```sh                   each line runs, as a packager would type it, in a
#                           folder holding the example notes/ and a
#                           path/to/SETUP.EXE (the shipped one where given:
#                           a bundle needs a real program), and succeeds
# Usage: docs_test.sh SETUPKIT DOCS_DIR WORK_DIR [SETUP.EXE]
set -u
kit=$1
docs=$2
work=$3
setup_exe=${4:-}
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

# The lines of $work/block (but "...") in $1, in that order.
in_order() {
  local expected at=0 found
  while IFS= read -r expected; do
    [ "$expected" = "..." ] && continue
    found=$(tail -n +$((at + 1)) "$1" | grep -nxF -- "$expected" | head -1 | cut -d: -f1)
    [ -n "$found" ] || { echo "$expected"; return 1; }
    at=$((at + found))
  done <"$work/block"
}

verify() {  # doc, kind, arguments: the block just read from doc
  local doc=$1 kind=$2; shift 2
  case $kind in
    ini)
      cmp -s "$work/block" "$docs/$1" || { fail "$doc: the snippet of $1 differs from the file"; diff "$work/block" "$docs/$1"; } ;;
    check)
      local printed="$work/$(basename "$1").pack"
      grep -E '^[^ ]+:[0-9]+(:[0-9]+)?: (error|warning): ' "$printed" | sed -E 's|^[^ ]*SETUP\.INI:|SETUP.INI:|' >"$work/printed"
      diff "$work/block" "$work/printed" >/dev/null || { fail "$doc: the check block of $1 is not what pack printed"; diff "$work/block" "$work/printed"; } ;;
    plan)
      local example
      example=$(basename "$1"); shift
      "$kit" plan "$work/$example" "$@" >"$work/plan.out" 2>&1 || fail "$doc: plan of $example $*"
      missing=$(in_order "$work/plan.out") || { fail "$doc: the plan of $example does not print, in order: $missing"; cat "$work/plan.out"; } ;;
    tree)
      local root="$docs/$1" path
      tail -n +2 "$work/block" | while read -r path _; do
        [ -e "$root/$path" ] || echo "$path"
      done >"$work/absent"
      [ -s "$work/absent" ] && fail "$doc: the tree names what $1 lacks: $(cat "$work/absent")" ;;
    sh)
      local line
      while IFS= read -r line; do
        (cd "$work/sandbox" && setupkit() { "$kit" "$@"; } && eval "$line") >"$work/sh.out" 2>&1 ||
          { fail "$doc: the command failed: $line"; cat "$work/sh.out"; }
      done <"$work/block" ;;
  esac
}

# The references hold the tested snippets; ARCHITECTURE.md holds none.
for doc in "$docs"/reference-*.md; do
  rm -rf "$work/sandbox" && mkdir -p "$work/sandbox/path/to" && cp -r "$docs/examples/notes" "$work/sandbox/notes"
  if [ -n "$setup_exe" ]; then cp "$setup_exe" "$work/sandbox/path/to/SETUP.EXE"; else printf 'MZ' >"$work/sandbox/path/to/SETUP.EXE"; fi
  kind="" blocks=0 blank=1 number=0 indent=0
  while IFS= read -r line; do
    number=$((number + 1))
    trimmed=${line#"${line%%[! ]*}"}
    lead=$((${#line} - ${#trimmed}))
    if [ -z "$kind" ]; then
      # A fence may be indented by up to three blanks (a block in a list
      # item); its lines lose as many.
      if [ "$lead" -le 3 ]; then
        indent=$lead
        case $trimmed in
          '```ini '*) kind=ini; args=${trimmed#'```ini '} ;;
          '```text check '*) kind=check; args=${trimmed#'```text check '} ;;
          '```text plan '*) kind=plan; args=${trimmed#'```text plan '} ;;
          '```text tree '*) kind=tree; args=${trimmed#'```text tree '} ;;
          '```sh') kind=sh; args="" ;;
          '```'*) fail "$(basename "$doc"):$number: a code block no test checks: $line" ;;
        esac
      elif [ "$blank" = 1 ]; then
        fail "$(basename "$doc"):$number: an indented code block no test checks"
      fi
      [ -n "$kind" ] && : >"$work/block"
    elif [ "$trimmed" = '```' ]; then
      # shellcheck disable=SC2086 # the arguments are words
      verify "$(basename "$doc")" "$kind" $args
      blocks=$((blocks + 1))
      kind=""
    else
      cut=$((lead < indent ? lead : indent))
      printf '%s\n' "${line:cut}" >>"$work/block"
    fi
    [ -z "$line" ] && blank=1 || blank=0
  done <"$doc"
  [ -z "$kind" ] || fail "$(basename "$doc"): a code block is not closed"
  [ "$blocks" -gt 0 ] || fail "$(basename "$doc"): no example snippets"
done

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "docs: all examples and every code block checked"
