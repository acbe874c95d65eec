#!/usr/bin/env bash
# Checks a built SETUP.EXE without running it: a GUI program, stripped, that
# imports only DLLs from the system's KnownDLLs list, with the manifest that
# asks for administrator rights and common controls 6, relocatable (ASLR)
# and non-executable data, within the size budget.
# Usage: check_exe.sh OBJDUMP SETUP.EXE
set -u -o pipefail
objdump=$1
exe=$2
failures=0
# The program was 146,944 bytes before the deployment switches (/S, /LOG=
# and the rest), the elevated installer's own working folder and shell open,
# and the early loading of system DLLs came in; with them it is 169,984, and
# about 171,000 with the codec built for speed (-O2 makes the 32-bit expansion 1.7
# times as fast: 1,790 against 1,030 MB/s, Wine's LZCopy 160). Lists instead of
# trees for the controls and the record's lists, and the file-name routines out
# of the fast-built codec, bring it to 167,936, under a budget of 170,000.
# Text inside became UTF-8 for every Windows and every user name: the
# program's own profile reader and writer (Shift-JIS, UTF-8 and UTF-16LE
# files, code page 932 named explicitly), every system call with text in its
# W form behind one conversion, and the program's texts in UTF-8 (a Japanese
# character takes three bytes where Shift-JIS took two). That took it to
# 181,248, and the budget moved by the same 13,312 bytes. The one-file
# SETUP.EXE (a product packed into the program, checked by its SHA-256 digest
# and unpacked at start-up) adds 22,528 bytes: the LZMA SDK's decoder about
# 6 KiB of it, the rest the checks of the payload's sizes and names, the
# digest and the branch converter; the budget moved by as much.
# An elevated run trusting nothing users can write (removal by handle that
# never follows a link, registry deletion that opens every step as itself,
# the record's SHA-256, the places and the system's keys an uninstall keeps
# to, the rights of the process, the administrators' work folder, the log
# opened only as a plain file, the held SETUP.EXE, the checks of /D=) adds
# 20,992 bytes more; the budget moved by as much. Leaving unwinding tables
# out of the routines below the runs that never throw took 7,680 bytes off;
# decoding a bundle on a second thread while its files are written, and a
# SHA-256 that keeps its working values in registers, took about 2 KB of
# that back, and making a bundle's files ahead while its decoder is behind
# 1 KB more. The budget did not move for any of them.
budget=226832  # bytes
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Both listings are read whole first: a check on the output of an objdump
# that failed, or printed nothing, would pass having seen nothing.
headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump -p cannot read $exe"; exit 1; }
sections=$("$objdump" -h "$exe") || { echo "FAIL: $objdump -h cannot read $exe"; exit 1; }
grep -q "Subsystem.*(Windows GUI)" <<<"$headers" || fail "not a GUI program"
known=" advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll "
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
[ -n "$imports" ] || fail "no imported DLL listed"
while read -r dll; do
  [ -n "$dll" ] || continue
  lower=$(tr 'A-Z' 'a-z' <<<"$dll")
  [[ "$known" == *" $lower "* ]] || fail "imports $dll, which is not a KnownDLL"
done <<<"$imports"
grep -q "\.text" <<<"$sections" || fail "no section list"
if grep -qE "\.debug|\.symtab" <<<"$sections"; then fail "not stripped"; fi
grep -aq 'requireAdministrator' "$exe" || fail "no manifest asking for administrator rights"
grep -aq 'Microsoft.Windows.Common-Controls' "$exe" || fail "no common controls 6 in the manifest"
grep -q "DYNAMIC_BASE" <<<"$headers" || fail "no DYNAMIC_BASE (address space layout randomisation)"
grep -q "NX_COMPAT" <<<"$headers" || fail "no NX_COMPAT (data execution prevention)"
grep -q "\.reloc" <<<"$sections" || fail "no relocations"
size=$(stat -c %s "$exe")
[ "$size" -le "$budget" ] || fail "$size bytes, over the budget of $budget"
echo "$exe: $size bytes (budget $budget), imports: $(tr '\n' ' ' <<<"$imports")"
[ "$failures" -eq 0 ]
