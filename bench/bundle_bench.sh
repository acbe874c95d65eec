#!/usr/bin/env bash
# Sizes and unpacking speed of setupkit bundle against 7-Zip (7zz a -mx=9),
# NSIS (a one-file installer made with SetCompressor /SOLID lzma) and
# zip -9, on the sample product and on a mixed 64 MiB corpus made of this
# machine's files: 24 MiB of text (C headers), 24 MiB of Windows programs
# (Wine's 32-bit DLLs), 16 MiB of compressed files (gzip'd documentation and
# PNG images). Each folder also holds the shipped SETUP.EXE, as a product
# does. Then the time of a silent install from a folder and from its bundle.
# Prints the figures; checks nothing.
#
#   bench/bundle_bench.sh [BUILD_DIR]      (default: build; after scripts/build.sh)
#
# The native unpacking speed is setupkit extract's into a RAM folder; under
# Wine it is bench/unpack_bench.cpp's (the program's reader on the real
# platform) in the end-to-end tests' Wine session.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
kit=$build/native/setupkit
setup_exe=$build/win32/SETUP.EXE
work=$(mktemp -d /dev/shm/qs-bundle-bench.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
MiB=$((1024 * 1024))

for tool in 7zz makensis zip; do
  command -v $tool >/dev/null || { echo "bundle_bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# Copies files (from stdin, one path a line) into folder until it holds
# limit bytes; names are made from their paths, and a name that differs from
# one taken only in letter case (Linux headers have such) is passed over, as
# Windows would not tell them apart.
fill() {  # folder, limit
  local folder=$1 limit=$2 total=0 path size name
  declare -A taken=()
  mkdir -p "$folder"
  while IFS= read -r path; do
    size=$(stat -c %s "$path")
    name=$(echo "${path#/}" | tr '/' '_')
    [ "$size" -gt 0 ] && [ -z "${taken[${name,,}]:-}" ] || continue
    taken[${name,,}]=1
    if [ $((total + size)) -gt "$limit" ]; then
      head -c $((limit - total)) "$path" >"$folder/$name"
      return
    fi
    cp "$path" "$folder/$name"
    total=$((total + size))
  done
}

make_corpus() {  # folder
  local c=$1
  find /usr/include /usr/share/mingw-w64/include -name '*.h' -type f 2>/dev/null | LC_ALL=C sort \
    >"$work/text.list"
  find /usr/lib/i386-linux-gnu/wine/i386-windows -type f \( -name '*.dll' -o -name '*.exe' \) |
    LC_ALL=C sort >"$work/bin.list"
  find /usr/share/doc /usr/share/man /usr/share/icons /usr/share/pixmaps -type f \
    \( -name '*.gz' -o -name '*.png' \) 2>/dev/null | LC_ALL=C sort >"$work/packed.list"
  fill "$c/TEXT" $((24 * MiB)) <"$work/text.list"
  fill "$c/BIN" $((24 * MiB)) <"$work/bin.list"
  fill "$c/PACKED" $((16 * MiB)) <"$work/packed.list"
  cp "$setup_exe" "$c/SETUP.EXE"
}

# The NSIS installer of folder: every file, into $INSTDIR.
nsis() {  # folder, output
  cat >"$work/product.nsi" <<NSI
SetCompressor /SOLID lzma
Name "Quillo bench"
OutFile "$2"
InstallDir "\$PROGRAMFILES\\Quillo bench"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "$1/*.*"
SectionEnd
NSI
  makensis -V1 "$work/product.nsi" >/dev/null
}

seconds() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
pct() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.1f%%", (a / b - 1) * 100 }'; }

measure() {  # name, title, folder
  local name=$2 folder=$3 out=$work/out-$1
  mkdir -p "$out"
  local t0 t1
  t0=$(seconds)
  "$kit" bundle "$folder" -o "$out/bundle.exe" >/dev/null
  t1=$(seconds)
  (cd "$folder" && 7zz a -mx=9 "$out/product.7z" . >/dev/null)
  (cd "$folder" && zip -9 -r -q "$out/product.zip" .)
  nsis "$folder" "$out/nsis.exe"
  local unpacked bundle program payload sevenzip zipped nsised
  unpacked=$(du -sb --apparent-size "$folder" | cut -f1)
  bundle=$(stat -c %s "$out/bundle.exe")
  program=$("$kit" info "$out/bundle.exe" | sed -n 's/.*bytes from offset \([0-9]*\).*/\1/p')
  payload=$((bundle - program))
  sevenzip=$(stat -c %s "$out/product.7z")
  zipped=$(stat -c %s "$out/product.zip")
  nsised=$(stat -c %s "$out/nsis.exe")
  echo "== $name: $(find "$folder" -type f | wc -l) files, $unpacked bytes"
  printf '  %-34s %12s\n' "setupkit bundle (one file)" "$bundle"
  printf '  %-34s %12s  (%s)\n' "  its program (SETUP.EXE)" "$program" "uncompressed, runs as is"
  printf '  %-34s %12s  (%s)\n' "  its payload (archive part)" "$payload" "$(pct "$payload" "$sevenzip") against 7-Zip"
  printf '  %-34s %12s\n' "7zz a -mx=9 (archive)" "$sevenzip"
  printf '  %-34s %12s  (bundle %s)\n' "NSIS /SOLID lzma (one file)" "$nsised" "$(pct "$bundle" "$nsised")"
  printf '  %-34s %12s  (bundle %s, payload %s)\n' "zip -9 (archive)" "$zipped" \
    "$(pct "$bundle" "$zipped")" "$(pct "$payload" "$zipped")"
  printf '  bundle %s against 7-Zip; bundling took %.1f s\n' "$(pct "$bundle" "$sevenzip")" \
    "$(calc "$t1 - $t0")"
  # Native unpacking: setupkit extract (the program's reader) into RAM.
  local best=999
  for _ in 1 2 3; do
    rm -rf "$out/x"
    t0=$(seconds)
    "$kit" extract "$out/bundle.exe" -d "$out/x" >/dev/null
    t1=$(seconds)
    best=$(calc "($t1 - $t0 < $best) ? $t1 - $t0 : $best")
  done
  diff -r "$folder" "$out/x" >/dev/null || echo "  WRONG: the unpacked folder differs"
  printf '  native unpack (setupkit extract): %.3f s, %.0f MB/s\n' "$best" \
    "$(calc "$unpacked / 1000000 / $best")"
  rm -rf "$out/x"
  wine_unpack "$out/bundle.exe"
}

wine_unpack() {  # bundle
  local session=$root/tests/e2e/session.sh state=$build/native/e2e-state arch
  # Where this machine cannot run 32-bit programs, the 64-bit build of the
  # same sources, as the end-to-end tests do.
  arch=$("$session" arch)
  local bench=$build/$arch/unpack_bench.exe
  cmake --build "$build/$arch" --target unpack_bench >/dev/null
  local started=""
  if ! "$session" run "$state" true 2>/dev/null; then "$session" start "$state" >/dev/null; started=1; fi
  local dir
  dir=$("$session" run "$state" sh -c 'echo $WINEPREFIX')/drive_c/qs-bench
  mkdir -p "$dir" && cp "$1" "$dir/bundle.exe"
  echo "  under Wine ($arch unpack_bench.exe, the program's reader on the real platform):"
  "$session" run "$state" wine "$bench" 'C:\qs-bench\bundle.exe' 'C:\qs-bench\out' 3 | sed 's/^/    /'
  rm -rf "$dir"
  [ -z "$started" ] || "$session" stop "$state" >/dev/null
}

# Installing under Wine with /S: one product (Wine's 32-bit DLLs, as many as
# a SETUP.INI lists, 99) from its folder and from its bundle, each into a
# fresh folder and removed again by its uninstaller; the best of three. The
# bundle's extra time is what unpacking it takes.
install_compare() {
  local session=$root/tests/e2e/session.sh state=$build/native/e2e-state arch product=$work/install
  arch=$("$session" arch)
  cmake --build "$build/$arch" --target SETUP unpack_bench >/dev/null
  mkdir -p "$product"
  {
    printf '[Title]\r\nSetup=Bench Setup\r\nUnSetup=Bench UnSetup\r\nUnSetupKey=Quillo Bench\r\n'
    printf '[DefaultFolder]\r\nFolder=(Prg)\\Quillo Bench\r\n[CopyFile]\r\n'
  } >"$product/SETUP.INI"
  local n=0 file
  while IFS= read -r file && [ $n -lt 99 ]; do
    n=$((n + 1))
    cp "$file" "$product/$(basename "$file" | tr a-z A-Z)"
    printf 'File%d=(App)\\%s\r\n' $n "$(basename "$file" | tr a-z A-Z)" >>"$product/SETUP.INI"
  done <"$work/bin.list"
  cp "$build/$arch/SETUP.EXE" "$product/SETUP.EXE"
  "$kit" bundle "$product" -o "$work/install.exe" >/dev/null
  local started=""
  if ! "$session" run "$state" true 2>/dev/null; then "$session" start "$state" >/dev/null; started=1; fi
  local prefix dir
  prefix=$("$session" run "$state" sh -c 'echo $WINEPREFIX')
  dir=$prefix/drive_c/qs-install
  rm -rf "$dir" && mkdir -p "$dir" && cp -r "$product" "$dir/folder" && cp "$work/install.exe" "$dir/bundle.exe"
  timed_install() {  # program, target folder name; prints seconds
    local t0 t1
    t0=$(seconds)
    "$session" run "$state" wine "$1" /S "/D=C:\\qs-install\\$2" >/dev/null 2>&1
    t1=$(seconds)
    [ -f "$dir/$2/UNSETUP.INI" ] || { echo "install_compare: $1 installed nothing" >&2; exit 1; }
    "$session" run "$state" wine 'C:\windows\APPUNSET.EXE' "C:\\qs-install\\$2\\UNSETUP.INI" /S \
      >/dev/null 2>&1
    calc "$t1 - $t0"
  }
  local folder=999 bundled=999 t
  for _ in 1 2 3; do
    t=$(timed_install 'C:\qs-install\folder\SETUP.EXE' from-folder)
    folder=$(calc "($t < $folder) ? $t : $folder")
    t=$(timed_install 'C:\qs-install\bundle.exe' from-bundle)
    bundled=$(calc "($t < $bundled) ? $t : $bundled")
  done
  local unpack
  unpack=$("$session" run "$state" wine "$build/$arch/unpack_bench.exe" 'C:\qs-install\bundle.exe' \
    'C:\qs-install\unpacked' 3 | sed -n 's/^unpack: .* in \([0-9.]*\) s.*/\1/p')
  echo "== installing with /S under Wine ($arch SETUP.EXE): $n files, $(du -sb --apparent-size "$product" | cut -f1) bytes"
  printf '  from the folder:  %.2f s\n  from the bundle:  %.2f s (%+.2f s)\n  unpacking alone:  %.2f s\n' \
    "$folder" "$bundled" "$(calc "$bundled - $folder")" "$unpack"
  rm -rf "$dir"
  [ -z "$started" ] || "$session" stop "$state" >/dev/null
}

echo "bundle_bench: $(nproc) cores; SETUP.EXE $(stat -c %s "$setup_exe") bytes"
mkdir -p "$work/sample"
cp -r "$build/native/sample/." "$work/sample/" && cp "$setup_exe" "$work/sample/SETUP.EXE"
measure sample "the sample product" "$work/sample"
make_corpus "$work/corpus"
measure corpus "the mixed 64 MiB corpus" "$work/corpus"
install_compare
