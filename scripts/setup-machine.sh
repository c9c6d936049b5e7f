#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine (run as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake make git ca-certificates
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-utils
  locales fonts-ipafont-gothic fonts-wine
  googletest clang-format file
  g++ python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # Recommends would pull in wine32 through the wine wrapper on some releases: keep them out.
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'ok installed'; then
  echo "wine32 is installed; it cannot run here and shadows wine64. Remove it: apt-get remove wine32" >&2
  exit 1
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "machine ready"
