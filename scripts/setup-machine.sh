#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine (run as root).
# Safe to run again: it only installs what is missing.
# The program we ship is 32-bit, so where the machine runs 32-bit programs, Debian's 32-bit
# Wine goes in beside wine64; scripts/can-run-32bit.sh says whether it does.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  cmake make git ca-certificates binutils
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-utils x11-apps
  locales fonts-ipafont-gothic fonts-wine
  googletest clang-format file
  openssl osslsigncode
  g++ python3
)

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || echo "$p"
  done
}

updated=0
install() {
  [ $# -gt 0 ] || return 0
  export DEBIAN_FRONTEND=noninteractive
  if [ "$updated" = 0 ]; then apt-get update -q; updated=1; fi
  apt-get install -y -q --no-install-recommends "$@"
}

mapfile -t need < <(missing "${packages[@]}")
install "${need[@]}"

if bash "$root/scripts/can-run-32bit.sh"; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=0
  fi
  mapfile -t need < <(missing wine32:i386)
  install "${need[@]}"
else
  echo "this machine does not run 32-bit programs: wine32 is left out" >&2
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "machine ready"
