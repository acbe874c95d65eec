#!/usr/bin/env bash
# The packager's tool from the command line: outputs, refusals, messages and
# exit codes of every command.
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

# check and plan from the command line: exit codes 0 clean, 1 findings,
# 2 a bad command line, 3 no product to read.
check "version" 0 "$kit" --version
expect_output "the version" "setupkit 1."
mkdir -p product
head='[Title]\r\nSetup=Acme\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n'
printf "$head"'[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\A.TXT\r\n' >product/SETUP.INI
printf 'a' >product/A.TXT
check "plan of a product in the window" 0 "$kit" plan product --folder 'C:\Tools'
expect_output "plan names the file" 'C:\Tools\A.TXT'
check "plan of the same under /S" 0 "$kit" plan --silent product --folder 'C:\Tools'
expect_output "/S keeps the second copy's file and lists it" '<File> C:\Tools\A.TXT'
check "plan as JSON" 0 "$kit" plan --format json product
expect_output "JSON steps" '{"kind": "file", "path": "C:\\Program Files\\Acme\\A.TXT"'
printf "$head"'[CopyFile]\r\nFile1=(App)\\A.TXT\r\n' >product/SETUP.INI
check "check of a clean product" 0 "$kit" check product
printf "$head"'[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[Titel]\r\n' >product/SETUP.INI
check "check with a warning" 1 "$kit" check product/SETUP.INI
expect_output "compiler-style line" "product/SETUP.INI:7: warning:"
expect_output "did you mean" "did you mean [Title]?"
printf "$head"'[CopyFile]\r\nFile1=(app)\\A.TXT\r\n' >product/SETUP.INI
check "check with an error" 1 "$kit" check --format json product
expect_output "json counts" '"errors": 2'
check "an unknown format" 2 "$kit" check --format xml product
check "an unknown option" 2 "$kit" check --frobnicate product
check "check of a folder without SETUP.INI" 3 "$kit" check out
expect_output "says why" "no SETUP.INI"
check "plan of a folder without SETUP.INI" 3 "$kit" plan out
printf "$head"'[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=X\\Y\\A\r\n' >product/SETUP.INI
check "a plan whose run ends in an error" 1 "$kit" plan product
expect_output "the error report" "ends with the error report"
check "check of the same" 1 "$kit" check product
expect_output "the run's error at the entry's line" "SETUP.INI:9: error: the install run ends early"
# pack: exactly the product, refusals with a non-zero exit and the reason.
expect_absent() {  # description, path that must not be there
  [ ! -e "$2" ] || { echo "FAIL: $1: $2 is there"; failures=$((failures + 1)); }
}
expect_file() {  # description, path that must be there
  [ -f "$2" ] || { echo "FAIL: $1: no $2"; failures=$((failures + 1)); }
}
mkdir -p src/files src/docs
printf '[Title]\nSetup=Acme\n[DefaultFolder]\nFolder=(Prg)\\Acme\n[Readme]\nFile=docs\\README.TXT\n[CopyFile]\nFile1=(App)\\B.TX_\nFile2=(App)\\C.TXT\n' >src/SETUP.INI
printf 'bbbb' >src/files/B.TXT
printf 'read me\n' >src/docs/README.TXT
printf 'MZ' >SETUP.EXE
check "pack refuses a product with errors" 3 "$kit" pack src -o packed --setup-exe SETUP.EXE
expect_absent "pack left a refused product" packed
printf 'c' >src/C.TXT
printf 'SECRET=1\n' >src/.env
printf 'make\n' >src/build.sh
cp src/SETUP.INI src/SETUP.INI.bak
check "pack refuses without SETUP.EXE" 3 "$kit" pack src -o packed
expect_output "says how to give one" "--setup-exe"
expect_absent "pack left a refused product" packed
check "pack" 0 "$kit" pack src -o packed --setup-exe SETUP.EXE
for f in SETUP.INI SETUP.EXE B.TX_ C.TXT docs/README.TXT; do expect_file "pack made it" "packed/$f"; done
for f in .env build.sh SETUP.INI.bak files docs/B.TXT; do expect_absent "pack ships only the product" "packed/$f"; done
[ "$(ls -A packed | wc -l)" = 5 ] || { echo "FAIL: pack shipped more:"; ls -A packed; failures=$((failures + 1)); }
cmp -s packed/docs/README.TXT <(printf 'read me\r\n') || { echo "FAIL: the readme in its sub-folder is not written out"; failures=$((failures + 1)); }
check "pack refuses to replace a folder" 3 "$kit" pack src -o packed --setup-exe SETUP.EXE
check "pack never replaces its source" 3 "$kit" pack src -o . --force --setup-exe SETUP.EXE
expect_file "pack removed its source" src/SETUP.INI
check "pack without SETUP.EXE as asked" 0 "$kit" pack src -o bare --no-setup-exe
expect_absent "no SETUP.EXE asked for" bare/SETUP.EXE
check "both ways of SETUP.EXE" 2 "$kit" pack src -o bare2 --no-setup-exe --setup-exe SETUP.EXE
mkdir -p src/more && printf 'other b' >src/more/B.TXT
check "pack refuses two originals of one file" 3 "$kit" pack src -o twice --force --setup-exe SETUP.EXE
expect_output "names both" "files/B.TXT"
expect_output "names both" "more/B.TXT"
expect_absent "pack left a refused product" twice
rm -r src/more
printf '[Title]\nSetup=Acme\n[DefaultFolder]\nFolder=(Prg)\\Acme\n[CopyFile]\nFile1=(App)\\C.TXT\n; caf\xc3\xa9 \x82 \n' >src/SETUP.INI
check "pack refuses a source that is no text" 3 "$kit" pack src -o broken --setup-exe SETUP.EXE
expect_output "file, line, column and bytes" "SETUP.INI:7:8: the bytes 82 20 are no UTF-8 character"
printf '[Title]\nSetup=\x83A\x83N\x83\x81\n[DefaultFolder]\nFolder=(Prg)\\Acme\n[CopyFile]\nFile1=(App)\\C.TXT\n' >src/SETUP.INI
check "pack of a Shift-JIS source" 0 "$kit" pack src -o sjis --setup-exe SETUP.EXE
cmp -s sjis/SETUP.INI <(printf '[Title]\r\nSetup=\x83A\x83N\x83\x81\r\n[DefaultFolder]\r\nFolder=(Prg)\\Acme\r\n[CopyFile]\r\nFile1=(App)\\C.TXT\r\n') || { echo "FAIL: the Shift-JIS source is not written out as it is"; failures=$((failures + 1)); }
printf '[Title]\nSetup=Acme\n[DefaultFolder]\nFolder=(Prg)\xc2\xa5Acme\n[CopyFile]\nFile1=(App)\\C.TXT\n' >src/SETUP.INI
check "pack warns of a yen sign" 1 "$kit" pack src -o yen --setup-exe SETUP.EXE
expect_output "where the yen sign is" "SETUP.INI:4:13: warning:"
expect_output "what it is to the program" "no path separator"

# compress: one output per name in one call; a file made bigger is named.
mkdir -p one two both/expanded
printf 'first\r\n' >one/Same.txt
printf 'second\r\n' >two/Same.txt
check "compress of two files to one name" 1 "$kit" compress one/Same.txt two/Same.txt -d both --force
expect_output "says which came first" "was written from one/Same.txt"
"$kit" expand both/Same.tx_ -d both/expanded >/dev/null 2>&1
cmp -s both/expanded/Same.txt one/Same.txt || { echo "FAIL: the first file was overwritten"; failures=$((failures + 1)); }
printf 'x' >Tiny.txt
check "compress of a tiny file" 0 "$kit" compress Tiny.txt
expect_output "says it grew" "bigger than the original"

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "setupkit: all checks passed"
