#!/usr/bin/env bash
# setupkit bundle, info and extract on the sample product with the shipped
# SETUP.EXE, and signing: a bundle signed with osslsigncode (a throwaway
# self-signed certificate made here) verifies, still lists and unpacks the
# same files, and a SETUP.EXE the packager signed before bundling comes out
# byte for byte. Cut, altered and hostile bundles are refused with exit 1.
# Usage: bundle_test.sh SETUPKIT SETUP.EXE SAMPLE_DIR WORK_DIR
set -u
kit=$1
setup_exe=$2
sample=$3
work=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # description, expected exit code, command...
  local what=$1 want=$2; shift 2
  "$@" >out.txt 2>&1
  local got=$?
  [ "$got" = "$want" ] || { fail "$what: exit $got, expected $want; it printed:"; cat out.txt; }
}
expect_output() {  # description, text the last command must have printed
  grep -qF -- "$2" out.txt || { fail "$1: no '$2' in:"; cat out.txt; }
}
same_tree() {  # description, folder, folder
  diff -r "$2" "$3" >/dev/null || { fail "$1: $2 and $3 differ"; diff -r "$2" "$3" | head; }
}

cp -r "$sample" product && cp "$setup_exe" product/SETUP.EXE || exit 1
mkdir -p product/DOCS && printf 'deeper\r\n' >product/DOCS/NOTE.TXT
check "bundle" 0 "$kit" bundle product -o Sample.exe
expect_output "bundle reports sizes" "%"
check "bundle refuses to replace a file" 1 "$kit" bundle product -o Sample.exe
expect_output "the refusal names the way out" "--force"
check "bundle --force" 0 "$kit" bundle product -o Sample.exe --force
check "info of a bundle" 0 "$kit" info Sample.exe
expect_output "info lists a file in a folder" 'DOCS\NOTE.TXT'
expect_output "info marks SETUP.EXE as the program itself, held once" "prg SETUP.EXE"
check "extract" 0 "$kit" extract Sample.exe -d unpacked
same_tree "extract gives the folder back" product unpacked
check "extract never replaces files" 1 "$kit" extract Sample.exe -d unpacked
check "extract of a plain program" 3 "$kit" extract product/SETUP.EXE -d plain

# Signing the finished bundle.
openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem -days 2 -nodes \
  -subj "/CN=Quillo throwaway test signer" >/dev/null 2>&1 || fail "openssl made no certificate"
sign() { rm -f "$2" && osslsigncode sign -certs cert.pem -key key.pem -n "Quillo Sample" -in "$1" -out "$2" >/dev/null; }
sign Sample.exe Signed.exe || fail "osslsigncode could not sign the bundle"
check "the signed bundle verifies" 0 osslsigncode verify -in Signed.exe -CAfile cert.pem
check "info of the signed bundle" 0 "$kit" info Signed.exe
check "extract of the signed bundle" 0 "$kit" extract Signed.exe -d signed
same_tree "the signed bundle unpacks the same" product signed

# A SETUP.EXE signed by the packager: the bundle's program goes without the
# signature (the bundle is signed whole), the file inside keeps it.
mkdir -p presigned && cp -r product/. presigned/ && sign "$setup_exe" presigned/SETUP.EXE
check "the packager's signed SETUP.EXE verifies" 0 osslsigncode verify -in presigned/SETUP.EXE -CAfile cert.pem
check "bundle of a signed SETUP.EXE" 0 "$kit" bundle presigned -o Presigned.exe
check "info of it" 0 "$kit" info Presigned.exe
expect_output "the signed SETUP.EXE is held on its own, for the branch converter" "x86 SETUP.EXE"
sign Presigned.exe PresignedSigned.exe || fail "osslsigncode could not sign a bundle of a signed SETUP.EXE"
check "that bundle, signed, verifies" 0 osslsigncode verify -in PresignedSigned.exe -CAfile cert.pem
check "extract of it" 0 "$kit" extract PresignedSigned.exe -d presigned-out
cmp -s presigned/SETUP.EXE presigned-out/SETUP.EXE || fail "the signed SETUP.EXE did not come out byte for byte"
cp Sample.exe unpacked/SETUP.EXE
check "a bundle as SETUP.EXE is refused" 1 "$kit" bundle unpacked -o Again.exe
expect_output "says why" "after its sections"

# Cut, altered, hostile.
size=$(stat -c %s Sample.exe)
head -c $((size - 1000)) Sample.exe >Cut.exe
check "a cut bundle" 1 "$kit" extract Cut.exe -d cut
expect_output "a cut bundle is damaged" "damaged"
[ ! -e cut ] || [ -z "$(ls -A cut)" ] || fail "a cut bundle left files"
cp Sample.exe Flipped.exe
printf '\xAA' | dd of=Flipped.exe bs=1 seek=$((size - 2000)) conv=notrunc 2>/dev/null
check "an altered bundle" 1 "$kit" info Flipped.exe
expect_output "an altered bundle is damaged" "damaged"
mkdir -p hostile && cp "$setup_exe" hostile/SETUP.EXE && printf 'x' >'hostile/A:B'
check "a name the program would refuse" 1 "$kit" bundle hostile -o Hostile.exe
expect_output "names the file" "A:B"
rm 'hostile/A:B' && printf 'a' >hostile/Readme.txt && printf 'b' >hostile/README.TXT
check "names alike but for letter case" 1 "$kit" bundle hostile -o Hostile.exe
expect_output "names one" "letter case"
rm hostile/Readme.txt hostile/README.TXT && ln -s /etc/passwd hostile/LINK.TXT
check "a link" 1 "$kit" bundle hostile -o Hostile.exe
check "no SETUP.EXE" 1 "$kit" bundle product/DOCS -o None.exe
check "bundle without -o" 2 "$kit" bundle product

if [ "$failures" -ne 0 ]; then echo "$failures failed"; exit 1; fi
echo "bundle: all checks passed"
