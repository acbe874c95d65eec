#!/usr/bin/env bash
# Installs the build and test prerequisites on Debian 12 when they are missing.
# Idempotent and quiet when everything is already present. Needs root.
set -euo pipefail

pkgs=(cmake g++ make libgtest-dev libgmock-dev g++-mingw-w64-i686 g++-mingw-w64-i686-win32
      g++-mingw-w64-x86-64 googletest
      wine wine32:i386 wine64 xvfb xauth fonts-wine fonts-ipafont-gothic
      locales mscompress libmspack-dev clang libclang-rt-14-dev
      lzma-dev 7zip nsis zip osslsigncode openssl)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages: ${missing[*]} (run as root to install)" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync can fail one index (seen: bookworm-security's
  # i386 list); the install below then decides whether what came is enough.
  apt-get update -qq || echo "install-deps: apt-get update reported errors; going on" >&2
  # Without one architecture's security index, amd64 and i386 candidates of
  # the same library differ and the resolver gives up: then take the
  # release's own versions, which exist for both.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    apt-get install -y -qq -t bookworm --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's ANSI code page follows the locale: the Japanese one gives code page
# 932, the English one 1252. The end-to-end tests run under both.
generate=0
for wanted in ja_JP en_US; do
  locale -a 2>/dev/null | grep -qiE "^$wanted\.utf-?8$" && continue
  if [ "$(id -u)" != 0 ]; then
    echo "install-deps: locale $wanted.UTF-8 is missing (run as root to generate it)" >&2
    exit 1
  fi
  sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
  grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" >> /etc/locale.gen
  generate=1
done
[ "$generate" = 0 ] || locale-gen >/dev/null
